#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for 20 seconds from
# its seed corpus. Run after scripts/install-deps.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DSONVERA_FUZZ=ON -DSONVERA_BENCH=OFF >/dev/null
cmake --build build-fuzz --target fuzzers --parallel "$(nproc)"
cd build-fuzz
ctest --output-on-failure -R '^fuzz_.*_(seeds|run)$' -j "$(nproc)"
