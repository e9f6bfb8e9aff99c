#!/usr/bin/env bash
# Fuzzes the whole job for SECONDS seconds (default 60) under AddressSanitizer
# and UndefinedBehaviorSanitizer, in the build-asan directory.
#   tools/fuzz.sh [SECONDS] [extra libFuzzer flags...]
# Inputs that crash, hang or break a job's promises go to fuzz-out/ (replay one
# with build-asan/quorlan_fuzz fuzz-out/crash-...); the corpus grown so far is
# kept in build-asan/fuzz-corpus, so later runs start where this one stopped.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
build="$root/build-asan"
jobs=$(nproc); [ "$jobs" -gt 2 ] && jobs=2

cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DQUORLAN_SANITIZE=ON \
  -DQUORLAN_FUZZ=ON >/dev/null
cmake --build "$build" -j"$jobs" --target quorlan_fuzz quorlan_fuzz_seeds

# Seeds are made fresh for every run: the example boards, a few scripts, and
# the real boards when they are on this machine (they stay out of the project).
seeds="$build/fuzz-seeds"
corpus="$build/fuzz-corpus"
out="$root/fuzz-out"
rm -rf "$seeds"
mkdir -p "$seeds" "$corpus" "$out"
"$build/quorlan_fuzz_seeds" "$seeds"
realdata="$root/../shared/realdata"
if [ -d "$realdata" ]; then
  for board in "$realdata"/*/; do
    for f in "$board"*.grb "$board"*.drl; do
      [ -f "$f" ] && cp "$f" "$seeds/$(basename "$board")_$(basename "$f")"
    done
  done
fi

# The scratch directories of the jobs live in the build tree, not in /tmp.
export TMPDIR="$build/fuzz-tmp"
rm -rf "$TMPDIR"
mkdir -p "$TMPDIR"
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

status=0
"$build/quorlan_fuzz" -max_total_time="$seconds" -timeout=10 -max_len=65536 \
  -dict="$root/fuzz/quorlan.dict" -artifact_prefix="$out/" -print_final_stats=1 \
  "$@" "$corpus" "$seeds" || status=$?
rm -rf "$TMPDIR"
if [ "$status" -ne 0 ]; then
  echo "fuzzing failed; crash inputs are in $out" >&2
  exit "$status"
fi
