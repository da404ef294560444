#!/usr/bin/env bash
# Installs what the tests need, builds pibgen and runs every test twice: a Release build, then
# one under AddressSanitizer and UndefinedBehaviorSanitizer, where any report fails the run.
# Warnings are errors in both.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

scripts/install-deps.sh --tests
# Tests on explicitly: the quick start's program-only build leaves them off in build/'s cache.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DPIBGEN_WERROR=ON -DBUILD_TESTING=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DPIBGEN_WERROR=ON -DBUILD_TESTING=ON \
  -DCMAKE_CXX_FLAGS="$sanitize" -DCMAKE_C_FLAGS="$sanitize" \
  -DCMAKE_EXE_LINKER_FLAGS="$sanitize"
cmake --build build-sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-sanitize --output-on-failure -j"$jobs"
