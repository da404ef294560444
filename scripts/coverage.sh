#!/usr/bin/env bash
# Builds pibgen with gcc's coverage instrumentation, runs the whole test suite, and prints line
# and branch coverage of src/ per file and in total. Usage: scripts/coverage.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-coverage

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="--coverage -O0" \
  -DCMAKE_C_FLAGS="--coverage -O0" -DCMAKE_EXE_LINKER_FLAGS="--coverage" >/dev/null
cmake --build "$build" -j"$(nproc)"
find "$build" -name '*.gcda' -delete
ctest --test-dir "$build" -j"$(nproc)" >/dev/null || echo "warning: some tests failed"

python3 scripts/coverage_summary.py "$build" src
