#!/bin/sh
# The magic wand beside ImageMagick's -floodfill, one thread each, on the
# same 6000 x 4000 picture (background rgb(200,180,160) with a 150 x 150
# black block at 200..349 of every 500 x 500 cell), seed (10, 10),
# tolerance 15 of 255 (ImageMagick: -fuzz 15 in quantum units of 255).
# Usage: bench/wand_side_by_side.sh [build dir]   Prints milliseconds and ratios.
set -eu
BUILD="${1:-build-release}"
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
draw=""
for y in $(seq 200 500 3999); do
  for x in $(seq 200 500 5999); do draw="$draw rectangle $x,$y $((x + 149)),$((y + 149))"; done
done
MAGICK_THREAD_LIMIT=1 convert -size 6000x4000 'xc:rgb(200,180,160)' -fill black -draw "$draw" "$TMP/pic.ppm"
ms() { echo "$1 $2" | awk '{printf "%.1f", ($2 - $1) / 1e6}'; }
best=""
for i in 1 2 3; do
  t0=$(date +%s%N)
  MAGICK_THREAD_LIMIT=1 convert "$TMP/pic.ppm" -fuzz 15 -fill red -floodfill +10+10 'rgb(200,180,160)' "$TMP/out.ppm"
  t1=$(date +%s%N)
  t=$(ms "$t0" "$t1")
  best=$(echo "$best $t" | awk '{m=$NF; for(i=1;i<NF;i++) if ($i<m) m=$i; print m}')
done
echo "ImageMagick -floodfill (read + fill + write PPM, best of 3): $best ms"
t0=$(date +%s%N)
MAGICK_THREAD_LIMIT=1 convert "$TMP/pic.ppm" "$TMP/out.ppm"
t1=$(date +%s%N)
io=$(ms "$t0" "$t1")
echo "ImageMagick read + write PPM alone: $io ms; fill alone about $(echo "$best $io" | awk '{print $1 - $2}') ms"
"$BUILD/bin/lumerak_bench" --benchmark_filter='Wand|PlainFlood' --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true 2>/dev/null | grep -E "mean|Benchmark"
