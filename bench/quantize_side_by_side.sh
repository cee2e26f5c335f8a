#!/bin/sh
# Reduces the benchmark's 12-megapixel photograph-like picture to 256
# colours with netpbm's pnmquant, ImageMagick's convert (-colors 256
# +dither) and our median cut (and our network quantiser), each run as a
# whole program from PPM file to PPM file. Reports the median wall time of
# RUNS runs, the ratio of each peer tool's time to ours, and the mean colour
# error (sum of absolute channel differences per pixel) of each result.
#
#   bench/quantize_side_by_side.sh [BUILD_DIR]   (default build-release)
#
# The build directory is configured as Release without sanitizers when it
# does not exist yet. RUNS (default 5), WIDTH and HEIGHT may be set in the
# environment. Needs netpbm and imagemagick.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build-release}
RUNS=${RUNS:-5}
WIDTH=${WIDTH:-4000}
HEIGHT=${HEIGHT:-3000}

for tool in pnmquant ppmhist; do
  command -v "$tool" >/dev/null || { echo "missing $tool: apt-get install netpbm" >&2; exit 1; }
done
# The distribution's binary, not a wrapper that may sit earlier in PATH.
CONVERT=$(command -v convert-im6.q16 || command -v convert-im6 || command -v magick || true)
[ -n "$CONVERT" ] || { echo "missing ImageMagick: apt-get install imagemagick" >&2; exit 1; }

if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMERAK_SANITIZE=OFF \
    -DLUMERAK_TESTS=OFF >/dev/null
fi
cmake --build "$BUILD" --target lumerak >/dev/null
${CXX:-c++} -std=c++20 -O2 -I"$ROOT" "$ROOT/bench/tools/quantize_ppm.cpp" -L"$BUILD/bin" \
  -Wl,-rpath,"$BUILD/bin" -Wl,-rpath-link,"$BUILD/bin" -llumerak -lplatform -o "$BUILD/bin/quantize_ppm"
QPPM=$BUILD/bin/quantize_ppm

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
"$QPPM" make "$WIDTH" "$HEIGHT" "$WORK/photo.ppm"

now() { date +%s.%N; }

# median_time NAME COMMAND...: runs the command RUNS times, prints the median
# seconds and keeps it in $WORK/NAME.time.
median_time() {
  name=$1
  shift
  : >"$WORK/$name.runs"
  i=0
  while [ "$i" -lt "$RUNS" ]; do
    t0=$(now)
    "$@"
    t1=$(now)
    echo "$t1 - $t0" | bc -l >>"$WORK/$name.runs"
    i=$((i + 1))
  done
  sort -g "$WORK/$name.runs" | awk '{ a[NR] = $1 } END { m = (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2; printf "%.3f\n", m }' \
    >"$WORK/$name.time"
}

run_pnmquant() { pnmquant 256 "$WORK/photo.ppm" >"$WORK/pnmquant.ppm" 2>/dev/null; }
run_convert() { "$CONVERT" "$WORK/photo.ppm" +dither -colors 256 "$WORK/convert.ppm"; }
run_mediancut() { "$QPPM" mediancut "$WORK/photo.ppm" "$WORK/mediancut.ppm" 256; }
run_neuquant() { "$QPPM" neuquant "$WORK/photo.ppm" "$WORK/neuquant.ppm" 256; }

median_time pnmquant run_pnmquant
median_time convert run_convert
median_time mediancut run_mediancut
median_time neuquant run_neuquant

ours=$(cat "$WORK/mediancut.time")
echo "Picture: ${WIDTH}x${HEIGHT}, $(ppmhist -noheader "$WORK/photo.ppm" | wc -l) colours; median of $RUNS runs, PPM file to PPM file"
printf '%-34s %9s %8s %8s %11s\n' "tool" "seconds" "colours" "error" "time/ours"
for name in mediancut neuquant pnmquant convert; do
  case $name in
    mediancut) label="ours: median cut" ;;
    neuquant) label="ours: NeuQuant" ;;
    pnmquant) label="pnmquant 256" ;;
    convert) label="convert -colors 256 +dither" ;;
  esac
  t=$(cat "$WORK/$name.time")
  colours=$(ppmhist -noheader "$WORK/$name.ppm" | wc -l)
  err=$("$QPPM" error "$WORK/photo.ppm" "$WORK/$name.ppm")
  printf '%-34s %9s %8s %8s %11.2f\n' "$label" "$t" "$colours" "$err" "$(echo "$t / $ours" | bc -l)"
done
