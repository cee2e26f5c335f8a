#!/bin/sh
# TIFF load and save side by side, one run each, one thread each: a 24 MP
# RGB picture copied uncompressed and with LZW (horizontal predictor), and a
# 24 MP bilevel page copied as G4, through the TIFF codec (page reader and
# writer), tiffcp with the same compression, vips copy and ImageMagick
# convert. Prints wall seconds, peak memory (MB) and our time over each
# peer's.
#
#   bench/tiff_side_by_side.sh [BUILD_DIR]   (default build-release)
#
# Needs tiffcp (libtiff-tools), vips (libvips-tools), convert (imagemagick)
# and GNU time; a missing peer is skipped.
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
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

# run NAME CMD...: prints "NAME seconds MB" (a failed command prints "-").
run() {
  name=$1
  shift
  if "$TIME" -f "%e %M" -o t.txt "$@" >/dev/null 2>&1; then
    read -r s kb <t.txt
    echo "$name $s $((kb / 1024))"
  else
    echo "$name - -"
  fi
}

has() { command -v "$1" >/dev/null 2>&1; }

for c in none lzw g4; do
  case $c in
    none) in=rgb.tif; tc="-c none"; vc=""; ic="-compress None" ;;
    lzw) in=rgb-lzw.tif; tc="-c lzw:2"; vc="[compression=lzw,predictor=horizontal]"; ic="-compress LZW -define tiff:predictor=2" ;;
    g4) in=page.tif; tc="-c g4"; vc="[compression=ccittfax4]"; ic="-compress Group4" ;;
  esac
  {
    run ours "$BUILD/bin/tiff_tool" copy "$in" out-ours.tif $c
    # shellcheck disable=SC2086
    has tiffcp && run tiffcp tiffcp $tc "$in" out-tiffcp.tif
    has vips && run vips vips copy "$in" "out-vips.tif$vc"
    # shellcheck disable=SC2086
    has convert && run convert convert "$in" $ic out-im.tif
  } >"res-$c.txt"
  ours=$(awk '$1 == "ours" { print $2 }' "res-$c.txt")
  echo "== $c ($in)"
  awk -v o="$ours" '{ r = ($2 == "-" || $2 == 0) ? "-" : sprintf("%.2f", o / $2); printf "  %-8s %6ss %6s MB   ours/peer %s\n", $1, $2, $3, r }' "res-$c.txt"
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
