#!/bin/sh
# Load and save of a 24 MP picture as PNG, BMP, TGA and PPM, and of a
# 2000 x 2000 8-bit GIF, through the I/O component beside the peers on the
# same files: netpbm (pngtopnm/pnmtopng, bmptopnm/ppmtobmp, giftopnm/
# pamtogif, ppmtotga), vips pngload/pngsave at the same compression level,
# and ImageMagick (its own binary, by name). One thread each, pinned to one
# processor; every command is a whole process (start, read, write), timed as
# the median of RUNS paired rounds (default 3) of processor time (user plus
# system; WALL=1 for the wall clock). A 24 MP GIF
# (the big picture reduced to 256 colours) is loaded too.
#
#   bench/codecs_side_by_side.sh [BUILD_DIR]   (default build-release)
#
# Columns: case, ours in ms, then for each peer its time and the ratio
# peer/ours (above 1: ours is faster). The load average is printed before
# and after.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build-release}
mkdir -p "$BUILD" && BUILD=$(cd "$BUILD" && pwd)
RUNS=${RUNS:-3}
export OMP_NUM_THREADS=1 VIPS_CONCURRENCY=1 MAGICK_THREAD_LIMIT=1

for tool in pngtopnm pnmtopng bmptopnm ppmtobmp giftopnm pamtogif ppmtotga vips; do
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
. "$ROOT/bench/peers_lib.sh"
im_binary
# A photo-like 24 MP picture (6000 x 4000) and a 2000 x 2000 one reduced to
# 256 colours.
"$IM" -size 6000x4000 plasma:fractal -seed 7 -depth 8 big.ppm
"$IM" -size 2000x2000 plasma:fractal -seed 9 -colors 256 -depth 8 small.ppm
pnmtopng -compression 6 big.ppm >big.png
ppmtobmp big.ppm >big.bmp
ppmtotga -rgb -norle big.ppm >big.tga
pamtogif small.ppm >small.gif 2>/dev/null
pnmquant 256 big.ppm 2>/dev/null | pamtogif >big.gif 2>/dev/null

echo "load before: $(load)"

row "load PNG 24MP" "$OURS load big.png" \
  pngtopnm "pngtopnm big.png" vips "vips copy big.png out.v" convert "$IM big.png ppm:-"
row "save PNG 24MP level 6" "$OURS save big.ppm o.png 6" \
  pnmtopng "pnmtopng -compression 6 big.ppm" vips "vips pngsave big.ppm out.png --compression 6 --filter 0" \
  convert "$IM big.ppm -quality 60 o2.png"
row "load BMP 24MP" "$OURS load big.bmp" bmptopnm "bmptopnm big.bmp" convert "$IM big.bmp ppm:-"
row "save BMP 24MP" "$OURS save big.ppm o.bmp" ppmtobmp "ppmtobmp big.ppm" convert "$IM big.ppm o2.bmp"
row "load TGA 24MP" "$OURS load big.tga" convert "$IM big.tga ppm:-"
row "save TGA 24MP" "$OURS save big.ppm o.tga" ppmtotga "ppmtotga -rgb -norle big.ppm" convert "$IM big.ppm o2.tga"
row "load PPM 24MP" "$OURS load big.ppm" pnmtopnm "pnmtopnm big.ppm" convert "$IM big.ppm ppm:-"
row "save PPM 24MP" "$OURS save big.ppm o.ppm" convert "$IM big.ppm o2.ppm"
row "load GIF 2000x2000" "$OURS load small.gif" giftopnm "giftopnm small.gif" convert "$IM small.gif ppm:-"
row "load GIF 24MP" "$OURS load big.gif" giftopnm "giftopnm big.gif" convert "$IM big.gif ppm:-"
row "save GIF 2000x2000" "$OURS save small.gif o.gif" pamtogif "pamtogif small.ppm" convert "$IM small.ppm o2.gif"

echo "load after: $(load)"
