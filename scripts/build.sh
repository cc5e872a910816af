#!/usr/bin/env bash
# Configures and builds into build/ (extra arguments go to CMake). Uses ccache when it is there.
set -euo pipefail
cd "$(dirname "$0")/.."
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "${BUILD_DIR:-build}" -G Ninja ${launcher[@]+"${launcher[@]}"} "$@" >/dev/null
cmake --build "${BUILD_DIR:-build}" --parallel "$(nproc)"
