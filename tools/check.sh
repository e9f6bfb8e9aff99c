#!/usr/bin/env bash
# Builds quorlan and its tests and runs every test; then builds them again with
# clang under AddressSanitizer and UndefinedBehaviorSanitizer (build-asan),
# runs every test there too, and fuzzes the whole job for 60 seconds
# (QUORLAN_FUZZ_SECONDS changes that). Any failure fails the check.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc); [ "$jobs" -gt 2 ] && jobs=2

build="$root/build"
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j"$jobs"
ctest --test-dir "$build" --output-on-failure -j"$jobs"

asan="$root/build-asan"
cmake -S "$root" -B "$asan" -DCMAKE_CXX_COMPILER=clang++ -DQUORLAN_SANITIZE=ON \
  -DQUORLAN_FUZZ=ON >/dev/null
cmake --build "$asan" -j"$jobs"
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1} \
  ctest --test-dir "$asan" --output-on-failure -j"$jobs"

"$root/tools/fuzz.sh" "${QUORLAN_FUZZ_SECONDS:-60}"
