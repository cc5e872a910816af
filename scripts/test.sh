#!/usr/bin/env bash
# Installs what is missing, builds, fuzzes the parsers briefly and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
# Short libFuzzer runs of the parsers of untrusted input (clang build in build-fuzz/).
[ "${SONVERA_SKIP_FUZZ:-0}" = 1 ] || scripts/fuzz.sh
cd build
ctest --output-on-failure --timeout 600 -j "$(nproc)"
