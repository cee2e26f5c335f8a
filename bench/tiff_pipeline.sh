#!/bin/sh
# The pipeline peers compare themselves with: load an RGB TIFF, crop 100
# pixels from every edge, shrink to 90 % with a bilinear filter, sharpen
# with a 3x3 kernel, save as TIFF. Ours through the library's own calls
# (bench/tools/tiff_tool.cpp; the 3x3 sharpening is written there, the
# library's own has not landed); vips through its C API in one process
# (bench/tools/vips_pipeline.c, built when libvips-dev is present), as its
# own benchmark runs it, and as three commands; GraphicsMagick; ImageMagick
# (its own binary, by name). One thread each, pinned to one processor:
# medians of RUNS paired rounds (default 5) of processor time with the ratio
# peer/ours (above 1: ours is faster), then the peak memory of one run of
# each (MB, and ours over the source picture's size).
#
#   bench/tiff_pipeline.sh [BUILD_DIR]   (default build-release)
#   SIZES="1000 2450 5000 9800" bench/tiff_pipeline.sh   (square sources)
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(realpath -m "${1:-$ROOT/build-release}")
RUNS=${RUNS:-5}
SIZES=${SIZES:-5000}
TIME=/usr/bin/time
[ -x "$TIME" ] || { echo "missing GNU time: apt-get install time" >&2; exit 1; }
export OMP_NUM_THREADS=1 VIPS_CONCURRENCY=1 MAGICK_THREAD_LIMIT=1

if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMERAK_SANITIZE=OFF \
    -DLUMERAK_TESTS=OFF -DLUMERAK_BENCH=ON >/dev/null
fi
cmake --build "$BUILD" --target lumerak >/dev/null
${CXX:-c++} -std=c++20 -O3 -I"$ROOT" "$ROOT/bench/tools/tiff_tool.cpp" -L"$BUILD/bin" \
  -Wl,-rpath,"$BUILD/bin" -Wl,-rpath-link,"$BUILD/bin" -llumerak -lplatform -pthread -o "$BUILD/bin/tiff_tool"
VIPSC=""
if pkg-config --exists vips; then
  # shellcheck disable=SC2046
  ${CC:-cc} -O2 "$ROOT/bench/tools/vips_pipeline.c" $(pkg-config --cflags --libs vips) -o "$BUILD/bin/vips_pipeline"
  VIPSC="$BUILD/bin/vips_pipeline"
else
  echo "libvips-dev is missing: vips runs as three commands only (scripts/setup installs it)" >&2
fi

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM
cd "$WORK"
. "$ROOT/bench/peers_lib.sh"
im_binary
im_resource_policy "$WORK"
has() { command -v "$1" >/dev/null 2>&1; }
printf '3 3 1 0\n0 -1 0\n-1 5 -1\n0 -1 0\n' >sharpen.mat

# peak NAME CMD: one run's peak resident memory in MB.
peak() {
  "$TIME" -f "%M" -o mem.txt sh -c "$2" >/dev/null 2>&1 || { echo "$1 failed"; return; }
  echo "$1 $(($(cat mem.txt) / 1024))"
}

echo "load average before: $(load)"
for size in $SIZES; do
  "$BUILD/bin/tiff_tool" make-rgb "$size" "$size" in.tif
  c=$((size - 200))
  OURS="'$BUILD/bin/tiff_tool' pipeline in.tif out-ours.tif"
  VIPS3="vips crop in.tif t1.v 100 100 $c $c && vips resize t1.v t2.v 0.9 --kernel linear && \
vips conv t2.v out-vips3.tif sharpen.mat --precision integer"
  GM="gm convert in.tif -crop ${c}x$c+100+100 +repage -filter Triangle -resize 90% \
-convolve 0,-1,0,-1,5,-1,0,-1,0 out-gm.tif"
  IMC="$IM in.tif -crop ${c}x$c+100+100 +repage -filter Triangle -resize 90% \
-morphology Convolve '3x3: 0,-1,0 -1,5,-1 0,-1,0' out-im.tif"
  set -- "vips-C-API" "$VIPSC in.tif out-vipsc.tif" "vips-3-commands" "$VIPS3"
  [ -n "$VIPSC" ] || shift 2
  has gm && set -- "$@" gm "$GM"
  set -- "$@" imagemagick "$IMC"
  echo "== $size x $size ($(awk -v n="$size" 'BEGIN { printf "%.1f", n * n / 1e6 }') MP, source $((size * size * 3 / 1048576)) MB)"
  row "pipeline" "$OURS" "$@"
  {
    peak ours "$OURS"
    while [ $# -ge 2 ]; do peak "$1" "$2"; shift 2; done
  } | awk -v src="$((size * size * 3))" '{ printf "  peak %-16s %6s MB", $1, $2; if ($1 == "ours") printf "  (%.2f x the source)", $2 * 1048576 / src; print "" }'
done
echo "load average after: $(load)"
