#!/bin/sh
# Colour and tone operations on a 24-megapixel photograph-like picture, ours
# against ImageMagick's convert and libvips' vips, one thread each
# (MAGICK_THREAD_LIMIT=1, VIPS_CONCURRENCY=1), side by side in one run.
#
# Each figure is the median of RUNS runs of the operation alone:
#  - ours: the routine on a picture already in memory (bench/tools/color_ppm
#    times the call itself);
#  - ImageMagick: "convert in.mpc OP out.mpc" minus "convert in.mpc out.mpc"
#    (the pixel-cache format is a raw dump: reading and writing it is the
#    copy run);
#  - vips: "vips OP in.v out.v" minus "vips copy in.v out.v".
# Ratios are peer time over ours: above 1 means we are faster.
#
#   bench/color_side_by_side.sh [BUILD_DIR]   (default build-release)
#
# RUNS (default 5), WIDTH (6000) and HEIGHT (4000) may be set in the
# environment. Needs imagemagick and libvips-tools.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
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

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM
# The distribution's resource policy sends a 24-megapixel picture to a disk
# cache; a policy of our own keeps it in memory.
cat > "$WORK/policy.xml" <<'XML'
<policymap>
  <policy domain="resource" name="memory" value="4GiB"/>
  <policy domain="resource" name="map" value="8GiB"/>
  <policy domain="resource" name="area" value="1GP"/>
  <policy domain="resource" name="disk" value="16GiB"/>
</policymap>
XML
export MAGICK_CONFIGURE_PATH="$WORK"

"$OURS" make "$WIDTH" "$HEIGHT" "$WORK/in.ppm"
"$IM" "$WORK/in.ppm" "$WORK/in.mpc"
"$VIPS" copy "$WORK/in.ppm" "$WORK/in.v"

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# Median wall milliseconds of a command run RUNS times.
timed() {
  i=0
  while [ "$i" -lt "$RUNS" ]; do
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    echo "$start $end" | awk '{printf "%.1f\n", ($2 - $1) * 1000}'
    i=$((i + 1))
  done | median
}

im_copy=$(timed "$IM" "$WORK/in.mpc" "$WORK/out.mpc")
vips_copy=$(timed "$VIPS" copy "$WORK/in.v" "$WORK/out.v")
echo "picture ${WIDTH}x${HEIGHT}, $RUNS runs, one thread; copy runs subtracted: convert $im_copy ms, vips $vips_copy ms"
printf '%-20s %9s %9s %9s %8s %8s  %s\n' operation ours_ms im_ms vips_ms im/ours vips/ours peers

row() {  # name, ImageMagick arguments (or -), vips operation and arguments (or -)
  name=$1 im_args=$2 vips_args=$3
  ours=$("$OURS" "$name" "$WORK/in.ppm" "$RUNS")
  if [ "$im_args" = "-" ]; then
    im=-
  else
    # shellcheck disable=SC2086
    im=$(timed "$IM" "$WORK/in.mpc" $im_args "$WORK/out.mpc" | awk -v c="$im_copy" '{printf "%.1f", $1 - c}')
  fi
  if [ "$vips_args" = "-" ]; then
    vp=-
  else
    # shellcheck disable=SC2086
    set -- $vips_args
    op=$1
    shift
    vp=$(timed "$VIPS" "$op" "$WORK/in.v" "$WORK/out.v" "$@" | awk -v c="$vips_copy" '{printf "%.1f", $1 - c}')
  fi
  ratio() { [ "$1" = "-" ] && echo - || echo "$1 $ours" | awk '{printf "%.2f", $1 / $2}'; }
  printf '%-20s %9s %9s %9s %8s %8s  %s | %s\n' "$name" "$ours" "$im" "$vp" "$(ratio "$im")" "$(ratio "$vp")" \
    "convert $im_args" "vips $vips_args"
}

row brightness-contrast "-brightness-contrast 10x20" "linear --uchar 1.2 -10"
row modulate "-modulate 110,130,100" -
row gamma "-gamma 2.2" "gamma --exponent 2.2"
row level "-level 10%,90%" "linear --uchar 1.25 -32"
row linear "-brightness-contrast 0x20" "linear --uchar 1.5 -64"
row equalize "-equalize" "hist_equal"
row negate "-negate" "invert"
row gray "-colorspace gray" "colourspace b-w"
row colors256 "+dither -colors 256" -
row separate "-channel R -separate" "extract_band 0"
