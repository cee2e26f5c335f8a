#!/bin/sh
# Shrinks the benchmarks' 6000 x 4000 photograph-like picture, written as a
# binary PPM, to 1500 x 1000 with each of our ten resampling filters
# (bench/tools/resample_ppm) and with the nearest kernel of two peer tools:
# ImageMagick's convert (-filter F -resize 1500x1000!) and libvips (vips
# resize, which box-shrinks first while the factor allows, and vips reduce,
# the kernel alone). Every program runs whole, PPM file to PPM file, on one
# thread. Prints the median wall time of RUNS runs, the ratio of each peer's
# time to ours (above 1: we are faster), and our resampling call alone.
#
#   bench/resample_peers.sh [BUILD_DIR]   (default build-release)
#
# The build directory is configured as Release without sanitizers when it
# does not exist yet. RUNS (default 3) may be set in the environment.
# Needs imagemagick and libvips-tools.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/bench/peers_lib.sh"
BUILD=${1:-$ROOT/build-release}
RUNS=${RUNS:-3}

# The distribution's binary, not a wrapper that may sit earlier in PATH.
IM=$(command -v convert-im6.q16 || command -v convert-im6 || true)
[ -n "$IM" ] || { echo "missing ImageMagick: apt-get install imagemagick" >&2; exit 1; }
command -v vips >/dev/null || { echo "missing vips: apt-get install libvips-tools" >&2; exit 1; }

if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMERAK_SANITIZE=OFF \
    -DLUMERAK_TESTS=OFF >/dev/null
fi
cmake --build "$BUILD" --target lumerak >/dev/null
${CXX:-c++} -std=c++20 -O2 -I"$ROOT" "$ROOT/bench/tools/resample_ppm.cpp" -L"$BUILD/bin" \
  -Wl,-rpath,"$BUILD/bin" -Wl,-rpath-link,"$BUILD/bin" -llumerak -lplatform -o "$BUILD/bin/resample_ppm"
RPPM=$BUILD/bin/resample_ppm

# One thread for every peer.
export VIPS_CONCURRENCY=1 OMP_NUM_THREADS=1

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM
SRC=$WORK/picture.ppm
"$RPPM" make 6000 4000 "$SRC"

im_resource_policy "$WORK"


# Median wall milliseconds of RUNS runs of the command given.
time_cmd() {
  i=0
  while [ "$i" -lt "$RUNS" ]; do
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    echo "$start $end" | awk '{printf "%.1f\n", ($2 - $1) * 1000}'
    i=$((i + 1))
  done | median
}

# Median of our resampling call alone, as resample_ppm prints it.
time_call() {
  i=0
  while [ "$i" -lt "$RUNS" ]; do
    "$RPPM" "$1" "$SRC" "$WORK/ours.ppm" 1500 1000
    i=$((i + 1))
  done | median
}

ratio() { [ "$1" = "-" ] && echo "-" || echo "$1 $2" | awk '{printf "%.2f", $1 / $2}'; }

echo "picture: 6000x4000 PPM -> 1500x1000, $RUNS runs, medians in ms, one thread"
echo "ours:   $RPPM FILTER picture.ppm out.ppm 1500 1000"
echo "im:     $IM -limit thread 1 picture.ppm -filter F -resize 1500x1000! out.ppm"
echo "resize: vips resize picture.ppm out.ppm 0.25 --kernel K"
echo "reduce: vips reduce picture.ppm out.ppm 4 4 --kernel K"
echo "(VIPS_CONCURRENCY=1 OMP_NUM_THREADS=1)"
im_copy=$(time_cmd "$IM" -limit thread 1 "$SRC" "$WORK/im.ppm")
vips_copy=$(time_cmd vips copy "$SRC" "$WORK/vips.ppm")
echo "plain read+write, no resize: im $im_copy, vips $vips_copy"
printf '%-10s %8s %8s  %-9s %8s %8s  %-8s %8s %8s %8s %8s\n' filter ours call im_filter im im/ours \
  kernel resize res/ours reduce red/ours

# our name, ImageMagick's filter, libvips' kernel (- when it has none)
for row in triangle:Triangle:linear hermite:Hermite:- bell:Quadratic:- bspline:Spline:- \
  lanczos3:Lanczos:lanczos3 mitchell:Mitchell:mitchell linear:Triangle:linear fastlinear:Triangle:linear \
  bilinear:Triangle:linear bicubic:Catrom:cubic; do
  ours=${row%%:*}; rest=${row#*:}; imf=${rest%%:*}; kernel=${rest#*:}
  ms=$(time_cmd "$RPPM" "$ours" "$SRC" "$WORK/ours.ppm" 1500 1000)
  call=$(time_call "$ours")
  im=$(time_cmd "$IM" -limit thread 1 "$SRC" -filter "$imf" -resize '1500x1000!' "$WORK/im.ppm")
  if [ "$kernel" = "-" ]; then
    rs=-; rd=-
  else
    rs=$(time_cmd vips resize "$SRC" "$WORK/vips.ppm" 0.25 --kernel "$kernel")
    rd=$(time_cmd vips reduce "$SRC" "$WORK/vips.ppm" 4 4 --kernel "$kernel")
  fi
  printf '%-10s %8s %8s  %-9s %8s %8s  %-8s %8s %8s %8s %8s\n' "$ours" "$ms" "$call" "$imf" "$im" \
    "$(ratio "$im" "$ms")" "$kernel" "$rs" "$(ratio "$rs" "$ms")" "$rd" "$(ratio "$rd" "$ms")"
done
