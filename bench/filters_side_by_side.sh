#!/bin/sh
# Filters and rotations side by side on the benchmarks' 6000 x 4000
# photograph-like picture (24 MP, binary PPM), one thread each: our routines
# (bench/tools/filter_ppm, which times the call alone), libvips and
# ImageMagick. A peer's operation cost is its whole run minus a plain copy
# run of the same tool (read and write only), so file I/O counts on neither
# side. Times are processor milliseconds (user + system; our call's process
# time), which a machine busy with other work disturbs far less than wall
# time. Prints medians of RUNS runs and the ratios peer / ours (above 1: we
# are faster).
#
#   bench/filters_side_by_side.sh [BUILD_DIR]   (default build-release)
#
# RUNS (default 3) may be set in the environment. Needs imagemagick and
# libvips-tools.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/bench/peers_lib.sh"
BUILD=${1:-$ROOT/build-release}
RUNS=${RUNS:-3}

im_binary
command -v vips >/dev/null || { echo "missing vips: apt-get install libvips-tools" >&2; exit 1; }

if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMERAK_SANITIZE=OFF \
    -DLUMERAK_TESTS=OFF >/dev/null
fi
cmake --build "$BUILD" --target lumerak >/dev/null
for tool in filter_ppm resample_ppm; do
  ${CXX:-c++} -std=c++20 -O2 -I"$ROOT" "$ROOT/bench/tools/$tool.cpp" -L"$BUILD/bin" \
    -Wl,-rpath,"$BUILD/bin" -Wl,-rpath-link,"$BUILD/bin" -llumerak -lplatform -o "$BUILD/bin/$tool"
done
OURS=$BUILD/bin/filter_ppm

# One thread for every tool.
export VIPS_CONCURRENCY=1 OMP_NUM_THREADS=1 MAGICK_THREAD_LIMIT=1

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM
SRC=$WORK/picture.ppm
"$BUILD/bin/resample_ppm" make 6000 4000 "$SRC"

im_resource_policy "$WORK"
printf '3 3 16 0\n1 2 1\n2 4 2\n1 2 1\n' > "$WORK/mask.mat"

time_cmd() {
  i=0
  while [ "$i" -lt "$RUNS" ]; do
    /usr/bin/time -f "%U %S" -o "$WORK/time.txt" "$@" >/dev/null
    awk '{printf "%.1f\n", ($1 + $2) * 1000}' "$WORK/time.txt"
    i=$((i + 1))
  done | median
}
time_ours() {
  i=0
  while [ "$i" -lt "$RUNS" ]; do
    "$OURS" "$1" "$SRC" "$WORK/ours.ppm"
    i=$((i + 1))
  done | median
}
net() { echo "$1 $2" | awk '{v = $1 - $2; if (v < 0.1) v = 0.1; printf "%.1f", v}'; }
ratio() { echo "$1 $2" | awk '{printf "%.2f", $1 / $2}'; }

vips_copy=$(time_cmd vips copy "$SRC" "$WORK/v.ppm")
im_copy=$(time_cmd "$IM" "$SRC" "$WORK/m.ppm")
echo "picture: 6000x4000 PPM, $RUNS runs, medians of processor ms, one thread"
echo "copy runs subtracted: vips $vips_copy, ImageMagick $im_copy"
printf '%-14s %8s %9s %9s %9s %9s  %s | %s\n' operation ours vips vips/ours im im/ours "vips command" "ImageMagick"

row() {  # name our-op vips-args... -- im-args...
  name=$1 op=$2
  shift 2
  vargs=""
  while [ "$1" != "--" ]; do vargs="$vargs $1"; shift; done
  shift
  ours=$(time_ours "$op")
  # shellcheck disable=SC2086
  v=$(net "$(time_cmd vips $vargs)" "$vips_copy")
  m=$(net "$(time_cmd "$IM" "$SRC" "$@" "$WORK/m.ppm")" "$im_copy")
  printf '%-14s %8s %9s %9s %9s %9s  vips%s | convert %s\n' "$name" "$ours" "$v" "$(ratio "$v" "$ours")" "$m" \
    "$(ratio "$m" "$ours")" "$(echo "$vargs" | sed "s|$WORK/||g")" "$*"
}

row conv3x3 conv3 conv "$SRC" "$WORK/v.ppm" "$WORK/mask.mat" --precision integer -- -define convolve:scale=1/16 -convolve 1,2,1,2,4,2,1,2,1
row gauss_r2 gauss2 gaussblur "$SRC" "$WORK/v.ppm" 2 -- -blur 0x2
row gauss_r10 gauss10 gaussblur "$SRC" "$WORK/v.ppm" 10 -- -blur 0x10
row unsharp sharpen sharpen "$SRC" "$WORK/v.ppm" -- -unsharp 0x1
row median3x3 median3 rank "$SRC" "$WORK/v.ppm" 3 3 4 -- -statistic Median 3x3
row median7x7 median7 rank "$SRC" "$WORK/v.ppm" 7 7 24 -- -statistic Median 7x7
row rotate7_aa rotate7 rotate "$SRC" "$WORK/v.ppm" 7 -- -rotate 7
row rotate7_shear rotate7shear rotate "$SRC" "$WORK/v.ppm" 7 -- -rotate 7
row rotate90 rot90 rot "$SRC" "$WORK/v.ppm" d90 -- -rotate 90
