#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan and UBSan on) and fuzzes each for a while,
# starting from its seed corpus. Usage: scripts/fuzz.sh [seconds per target, default 60]
# New inputs go to build-fuzz/corpus/<target>, never into the repository; a crash leaves its
# input in build-fuzz/artifacts/ and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPIBGEN_FUZZ=ON
cmake --build build-fuzz -j"$(nproc)" --target pibgen_fuzz_conversion pibgen_fuzz_number_parsing

mkdir -p build-fuzz/artifacts
for target in conversion number_parsing; do
  mkdir -p "build-fuzz/corpus/$target"
  dict=()
  [ -f "fuzz/$target.dict" ] && dict=(-dict="fuzz/$target.dict")
  echo "fuzzing $target for $seconds s"
  "build-fuzz/fuzz/pibgen_fuzz_$target" "${dict[@]}" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -max_len=8192 -print_final_stats=1 \
    -artifact_prefix="build-fuzz/artifacts/$target-" \
    "build-fuzz/corpus/$target" "fuzz/corpus/$target" 2>&1 | tail -n 12
  [ "${PIPESTATUS[0]}" -eq 0 ] || { echo "fuzz target $target failed"; exit 1; }
done
