#!/bin/sh
# TIFF load and save side by side, one thread each, pinned to one processor:
# a 24 MP RGB picture copied uncompressed and with LZW (horizontal
# predictor), and a 24 MP bilevel page copied as G4, through the TIFF codec
# (page reader and writer), tiffcp with the same compression, vips copy and
# ImageMagick (its own binary, by name). Prints the medians of RUNS paired
# rounds (default 5) of processor time with the ratio peer/ours (above 1:
# ours is faster), then the peak memory (MB) of one run of each.
#
#   bench/tiff_side_by_side.sh [BUILD_DIR]   (default build-release)
#
# Needs tiffcp (libtiff-tools), vips (libvips-tools), imagemagick and GNU
# time; a missing peer is skipped.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build-release}
mkdir -p "$BUILD" && BUILD=$(cd "$BUILD" && pwd)
TIME=/usr/bin/time
[ -x "$TIME" ] || { echo "missing GNU time: apt-get install time" >&2; exit 1; }

if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMERAK_SANITIZE=OFF \
    -DLUMERAK_TESTS=OFF -DLUMERAK_BENCH=ON >/dev/null
fi
cmake --build "$BUILD" --target lumerak >/dev/null
${CXX:-c++} -std=c++20 -O2 -I"$ROOT" "$ROOT/bench/tools/tiff_tool.cpp" -L"$BUILD/bin" \
  -Wl,-rpath,"$BUILD/bin" -Wl,-rpath-link,"$BUILD/bin" -llumerak -lplatform -pthread -o "$BUILD/bin/tiff_tool"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM
cd "$WORK"
"$BUILD/bin/tiff_tool" make-rgb 6000 4000 rgb.tif
"$BUILD/bin/tiff_tool" make-g4 6000 4000 page.tif
tiffcp -c lzw:2 rgb.tif rgb-lzw.tif 2>/dev/null || "$BUILD/bin/tiff_tool" copy rgb.tif rgb-lzw.tif lzw

export OMP_NUM_THREADS=1 VIPS_CONCURRENCY=1 MAGICK_THREAD_LIMIT=1
RUNS=${RUNS:-5}
. "$ROOT/bench/peers_lib.sh"
im_binary
echo "load average before: $(load)"
has() { command -v "$1" >/dev/null 2>&1; }

# peak NAME CMD: one run's peak resident memory in MB.
peak() {
  "$TIME" -f "%M" -o mem.txt sh -c "$2" >/dev/null 2>&1 || { echo "  peak $1 failed"; return; }
  echo "  peak $1 $(($(cat mem.txt) / 1024)) MB"
}

for c in none lzw g4; do
  case $c in
    none) in=rgb.tif; tc="-c none"; vc=""; ic="-compress None" ;;
    lzw) in=rgb-lzw.tif; tc="-c lzw:2"; vc="[compression=lzw,predictor=horizontal]"; ic="-compress LZW -define tiff:predictor=2" ;;
    g4) in=page.tif; tc="-c g4"; vc="[compression=ccittfax4,bitdepth=1]"; ic="-compress Group4" ;;
  esac
  OURS="'$BUILD/bin/tiff_tool' copy $in out-ours.tif $c"
  set --
  has tiffcp && set -- "$@" tiffcp "tiffcp $tc $in out-tiffcp.tif"
  has vips && set -- "$@" vips "vips copy $in 'out-vips.tif$vc'"
  set -- "$@" imagemagick "$IM $in $ic out-im.tif"
  row "$c ($in)" "$OURS" "$@"
  peak ours "$OURS"
  while [ $# -ge 2 ]; do peak "$1" "$2"; shift 2; done
done
echo "load average after: $(load)"
