#!/usr/bin/env bash
# Renders a finished job to a PNG picture of the board as it will look: the
# board body, the copper of a drilled copy (so its holes are cut), the
# negative solder mask over it in a translucent colour, and the holes clear.
# Needs gerbv. Prints the picture's name.
#
# The colours can be changed through RENDER_BACKGROUND, RENDER_BOARD and
# RENDER_COPPER (#RRGGBB) and RENDER_MASK (#RRGGBBAA, AA its opacity).
set -euo pipefail

usage() {  # exit status
  cat <<'TEXT'
usage: tools/render.sh [-o PICTURE] [-c COPPER] [-m MASK] [-b OUTLINE] [-d HOLES]
                       JOB_DIR [-- GERBV_OPTIONS...]

JOB_DIR is the folder the job ran in; the layers are files in it, by default
outline_poly.gbr, holes.gbr, top_smask_poly.gbr and the first *_drilled copy.
A layer whose file is missing is left out. PICTURE defaults to
JOB_DIR/preview.png. Options after "--" go to gerbv, for example --dpi=400;
for a view from below: -m bottom_smask_poly.gbr -c BOTTOM_COPY -- --mirror=Y.
TEXT
  exit "$1"
}

picture="" copper="" mask="top_smask_poly.gbr" outline="outline_poly.gbr" holes="holes.gbr"
while getopts "o:c:m:b:d:h" opt; do
  case $opt in
    o) picture=$OPTARG ;;
    c) copper=$OPTARG ;;
    m) mask=$OPTARG ;;
    b) outline=$OPTARG ;;
    d) holes=$OPTARG ;;
    h) usage 0 ;;
    *) usage 2 >&2 ;;
  esac
done
shift $((OPTIND - 1))
[ $# -ge 1 ] || usage 2 >&2
dir=$1
shift
if [ "${1:-}" = "--" ]; then shift; fi
[ -d "$dir" ] || { echo "render: $dir is not a folder" >&2; exit 2; }
[ -n "$picture" ] || picture="$dir/preview.png"

if ! command -v gerbv >/dev/null; then
  echo "render: gerbv is not installed (Debian, Ubuntu: sudo apt-get install gerbv)" >&2
  exit 3
fi

if [ -z "$copper" ]; then
  for name in "$dir"/*_drilled "$dir"/*_drilled.*; do
    if [ -f "$name" ]; then copper=${name##*/}; break; fi
  done
fi

background=${RENDER_BACKGROUND:-#f4f4f4}
layers=()
add_layer() {  # colour, file
  if [ -n "$2" ] && [ -f "$dir/$2" ]; then layers+=("--foreground=$1" "$dir/$2"); fi
}
# gerbv draws the first file on top. The holes are painted in the background
# colour over everything, so they show as holes through board and mask.
add_layer "${background}ff" "$holes"
add_layer "${RENDER_MASK:-#127a35b0}" "$mask"
add_layer "${RENDER_COPPER:-#d8a23c}ff" "$copper"
add_layer "${RENDER_BOARD:-#4a3f22}ff" "$outline"
if [ ${#layers[@]} -eq 0 ]; then
  echo "render: none of $outline, $holes, $mask or a drilled copy is in $dir" >&2
  exit 2
fi

# gerbv talks on stderr even when all is well (it takes the region-only
# outline for an old-style file), so its words are shown only on failure.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
rm -f "$picture"
gerbv --export=png --output="$picture" --antialias --dpi=250 --background="$background" \
  "$@" "${layers[@]}" >"$log" 2>&1 || true
if [ ! -s "$picture" ]; then
  cat "$log" >&2
  echo "render: gerbv made no picture" >&2
  exit 1
fi
echo "$picture"
