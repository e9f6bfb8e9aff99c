#!/usr/bin/env bash
# Builds quorlan and runs the example job in a scratch copy under build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target quorlan
scratch="$build/example-run"
rm -rf "$scratch"
cp -r "$root/examples/outline" "$scratch"
cd "$scratch"
"$build/quorlan" Cjob
echo "Output files are in $scratch"
