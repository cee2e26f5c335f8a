#!/bin/sh
# Load and save of a 24 MP picture as PSD (the merged picture, run-length
# channels) and as PCX (24 bits, run-length) through the I/O component
# beside ImageMagick's convert (one thread: -limit thread 1) and netpbm
# (pcxtoppm/ppmtopcx) on the same files. Every command is a whole process
# (start, read, write), timed as the median of RUNS runs (default 3). The
# time is the processor time of the process (user plus system): on a busy
# machine the wall clock mostly measures the wait for a processor; with
# WALL=1 the wall clock is taken instead.
#
#   bench/psd_pcx_side_by_side.sh [BUILD_DIR]   (default build-release)
#
# Columns: case, ours in ms, then for each peer its time and the ratio
# peer/ours (above 1: ours is faster). The load average is printed before
# and after.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(realpath -m "${1:-$ROOT/build-release}")  # the runs happen in a scratch folder
RUNS=${RUNS:-3}
export OMP_NUM_THREADS=1 MAGICK_THREAD_LIMIT=1
# ImageMagick's own program, not a stand-in found first on the path.
IM=/usr/bin/convert

for tool in $IM pcxtoppm ppmtopcx /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/setup installs the peers)" >&2; exit 1; }
done
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMERAK_SANITIZE=OFF \
    -DLUMERAK_TESTS=OFF -DLUMERAK_BENCH=OFF >/dev/null
fi
cmake --build "$BUILD" --target lumerak >/dev/null
${CXX:-c++} -std=c++20 -O2 -I"$ROOT" "$ROOT/bench/tools/codec_io.cpp" -L"$BUILD/bin" \
  -Wl,-rpath,"$BUILD/bin" -Wl,-rpath-link,"$BUILD/bin" -llumerak -lplatform -o "$BUILD/bin/codec_io"
OURS="$BUILD/bin/codec_io"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM
cd "$WORK"
# A photo-like 24 MP picture (6000 x 4000).
$IM -limit thread 1 -size 6000x4000 plasma:fractal -seed 7 -depth 8 big.ppm
$IM -limit thread 1 big.ppm big.psd
ppmtopcx -24bit big.ppm >big.pcx 2>/dev/null

. "$ROOT/bench/peers_lib.sh"
echo "load before: $(load)"

IMT="$IM -limit thread 1"
row "load PSD 24MP" "$OURS load big.psd" convert "$IMT 'big.psd[0]' ppm:-"
row "save PSD 24MP" "$OURS save big.ppm o.psd" convert "$IMT big.ppm o2.psd"
row "load PCX 24MP" "$OURS load big.pcx" pcxtoppm "pcxtoppm big.pcx" convert "$IMT big.pcx ppm:-"
row "save PCX 24MP" "$OURS save big.ppm o.pcx" ppmtopcx "ppmtopcx -24bit big.ppm" convert "$IMT big.ppm o2.pcx"

echo "load after: $(load)"
