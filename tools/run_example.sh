#!/usr/bin/env bash
# Builds quorlan, runs the example job (examples/board) in a scratch copy
# under build/ and, when gerbv is installed, renders a picture of the board.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target quorlan
scratch="$build/example-run"
rm -rf "$scratch"
cp -r "$root/examples/board" "$scratch"
cd "$scratch"
"$build/quorlan" Cjob
echo "The job's files are in $scratch"
if command -v gerbv >/dev/null; then
  picture=$("$root/tools/render.sh" "$scratch")
  echo "Picture of the finished board: $picture"
else
  echo "No picture: gerbv is not installed. Install it (sudo apt-get install gerbv) and run"
  echo "this again, or render any job's files with tools/render.sh."
fi
