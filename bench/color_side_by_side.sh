#!/bin/sh
# Colour and tone operations on a 24-megapixel photograph-like picture, ours
# against ImageMagick's convert and libvips' vips, one thread each
# (MAGICK_THREAD_LIMIT=1, VIPS_CONCURRENCY=1), side by side in one run.
#
# Each figure is the median of RUNS runs of the operation alone:
#  - ours: the routine on a picture already in memory (bench/tools/color_ppm
#    times the call itself);
#  - ImageMagick: "convert in.mpc OP null:" minus "convert in.mpc null:"
#    (the pixel-cache format is a raw dump, read by mapping it);
#  - vips: "vips OP in.v out.v" minus "vips copy in.v out.v".
# Ratios are peer time over ours: above 1 means we are faster. Channel
# pictures and grey are 3-byte pixels here and one band in vips, whose
# smaller output the copy run does not account for.
#
#   bench/color_side_by_side.sh [BUILD_DIR]   (default build-release)
#
# RUNS (default 5), WIDTH (6000) and HEIGHT (4000) may be set in the
# environment. Needs imagemagick and libvips-tools.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/bench/peers_lib.sh"
BUILD=${1:-$ROOT/build-release}
RUNS=${RUNS:-5}
WIDTH=${WIDTH:-6000}
HEIGHT=${HEIGHT:-4000}

IM=$(command -v convert-im6.q16 || command -v /usr/bin/convert || true)
[ -n "$IM" ] || { echo "missing ImageMagick: apt-get install imagemagick" >&2; exit 1; }
VIPS=$(command -v vips || true)
[ -n "$VIPS" ] || { echo "missing vips: apt-get install libvips-tools" >&2; exit 1; }
export MAGICK_THREAD_LIMIT=1 VIPS_CONCURRENCY=1 OMP_NUM_THREADS=1

if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMERAK_SANITIZE=OFF \
    -DLUMERAK_TESTS=OFF >/dev/null
fi
cmake --build "$BUILD" --target lumerak >/dev/null
${CXX:-c++} -std=c++20 -O2 -I"$ROOT" "$ROOT/bench/tools/color_ppm.cpp" -L"$BUILD/bin" \
  -Wl,-rpath,"$BUILD/bin" -Wl,-rpath-link,"$BUILD/bin" -llumerak -lplatform -o "$BUILD/bin/color_ppm"
OURS=$BUILD/bin/color_ppm

# Files in memory where the system offers it, so that the copy runs measure
# little more than the tools' own reading and writing.
WORK=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM
im_resource_policy "$WORK"

"$OURS" make "$WIDTH" "$HEIGHT" "$WORK/in.ppm"
"$IM" "$WORK/in.ppm" "$WORK/in.mpc"
"$VIPS" copy "$WORK/in.ppm" "$WORK/in.v"


now() { date +%s.%N; }

# Median over RUNS runs of (operation run - copy run), the two run one after
# the other each time so that the machine's load weighs on both alike.
# $1: "im" or "vips"; the rest: the operation's arguments.
net() {
  tool=$1
  shift
  i=0
  while [ "$i" -lt "$RUNS" ]; do
    if [ "$tool" = im ]; then
      a=$(now); "$IM" "$WORK/in.mpc" null: >/dev/null 2>&1; b=$(now)
      "$IM" "$WORK/in.mpc" "$@" null: >/dev/null 2>&1; c=$(now)
    else
      op=$1
      shift
      a=$(now); "$VIPS" copy "$WORK/in.v" "$WORK/out.v" >/dev/null 2>&1; b=$(now)
      "$VIPS" "$op" "$WORK/in.v" "$WORK/out.v" "$@" >/dev/null 2>&1; c=$(now)
      set -- "$op" "$@"
    fi
    echo "$a $b $c" | awk '{printf "%.1f\n", (($3 - $2) - ($2 - $1)) * 1000}'
    i=$((i + 1))
  done | median
}

echo "picture ${WIDTH}x${HEIGHT}, $RUNS runs, one thread"
printf '%-20s %9s %9s %9s %8s %8s  %s\n' operation ours_ms im_ms vips_ms im/ours vips/ours peers

row() {  # name, ImageMagick arguments (or -), vips operation and arguments (or -)
  name=$1 im_args=$2 vips_args=$3
  ours=$("$OURS" "$name" "$WORK/in.ppm" "$RUNS")
  # shellcheck disable=SC2086
  if [ "$im_args" = "-" ]; then im=-; else im=$(net im $im_args); fi
  # shellcheck disable=SC2086
  if [ "$vips_args" = "-" ]; then vp=-; else vp=$(net vips $vips_args); fi
  ratio() { [ "$1" = "-" ] && echo - || echo "$1 $ours" | awk '{printf "%.2f", $1 / $2}'; }
  printf '%-20s %9s %9s %9s %8s %8s  %s | %s\n' "$name" "$ours" "$im" "$vp" "$(ratio "$im")" "$(ratio "$vp")" \
    "convert $im_args" "vips $vips_args"
}

row brightness-contrast "-brightness-contrast 10x20" "linear --uchar -- 1.2 -10"
row modulate "-modulate 110,130,100" -
row gamma "-gamma 2.2" "gamma --exponent 2.2"
row level "-level 10%,90%" "linear --uchar -- 1.25 -32"
row linear "-brightness-contrast 0x20" "linear --uchar -- 1.5 -64"
row equalize "-equalize" "hist_equal"
row negate "-negate" "invert"
row gray "-colorspace gray" "colourspace b-w"
row colors256 "+dither -colors 256" -
row separate "-channel R -separate" "extract_band 0"
