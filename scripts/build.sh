#!/usr/bin/env bash
# Configures and builds into build/ (extra arguments go to CMake).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B "${BUILD_DIR:-build}" -G Ninja "$@" >/dev/null
cmake --build "${BUILD_DIR:-build}" --parallel "$(nproc)"
