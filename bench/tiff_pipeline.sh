#!/bin/sh
# The pipeline peers compare themselves with: load a 5000 x 5000 RGB TIFF,
# crop 100 pixels from every edge, shrink to 90 % with a bilinear filter,
# sharpen with a 3x3 kernel, save as TIFF. Ours through the library's own
# calls (bench/tools/tiff_tool.cpp; the 3x3 sharpening is written there, the
# library's own has not landed), vips (three commands), GraphicsMagick and
# ImageMagick convert, each with one thread and with all threads, in one
# run: wall seconds and peak memory (MB). The library has no thread setting
# of its own: its row runs in one thread both times.
#
#   bench/tiff_pipeline.sh [BUILD_DIR]   (default build-release)
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build-release}
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
"$BUILD/bin/tiff_tool" make-rgb 5000 5000 in.tif
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

has() { command -v "$1" >/dev/null 2>&1; }

# measure NAME: runs the shell function NAME under GNU time; prints seconds
# and peak MB of the largest process.
measure() {
  if "$TIME" -f "%e %M" -o t.txt sh -c "$1" >/dev/null 2>&1; then
    read -r s kb <t.txt
    printf "%8ss %6s MB" "$s" "$((kb / 1024))"
  else
    printf "%8s  %6s   " "-" "-"
  fi
}

OURS="'$BUILD/bin/tiff_tool' pipeline in.tif out-ours.tif"
VIPS="vips crop in.tif t1.v 100 100 4800 4800 && vips resize t1.v t2.v 0.9 --kernel linear && \
vips conv t2.v out-vips.tif sharpen.mat --precision integer"
GM="gm convert in.tif -crop 4800x4800+100+100 +repage -filter Triangle -resize 90% \
-convolve 0,-1,0,-1,5,-1,0,-1,0 out-gm.tif"
IM="convert in.tif -crop 4800x4800+100+100 +repage -filter Triangle -resize 90% \
-morphology Convolve '3x3: 0,-1,0 -1,5,-1 0,-1,0' out-im.tif"
printf '3 3 1 0\n0 -1 0\n-1 5 -1\n0 -1 0\n' >sharpen.mat

printf "%-10s %-24s %-24s\n" "" "one thread" "all threads ($(nproc))"
for tool in ours vips gm convert; do
  case $tool in
    ours) cmd=$OURS ;;
    vips) has vips || continue; cmd=$VIPS ;;
    gm) has gm || continue; cmd=$GM ;;
    convert) has convert || continue; cmd=$IM ;;
  esac
  one=$(OMP_NUM_THREADS=1 VIPS_CONCURRENCY=1 MAGICK_THREAD_LIMIT=1 measure "$cmd")
  all=$(measure "$cmd")
  printf "%-10s %-24s %-24s\n" "$tool" "$one" "$all"
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
