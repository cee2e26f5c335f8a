#!/bin/sh
# The magic wand beside ImageMagick's -floodfill, one thread each, on the
# same 6000 x 4000 picture (background rgb(200,180,160) with a 150 x 150
# black block at 200..349 of every 500 x 500 cell), seed (10, 10),
# tolerance 15 of 255 (ImageMagick: -fuzz 15 in quantum units of 255).
# Usage: bench/wand_side_by_side.sh [build dir]   Prints milliseconds (compare
# the benchmark's CPU column with ImageMagick's fill alone).
set -eu
BUILD="${1:-build-release}"
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
draw=""
for y in $(seq 200 500 3999); do
  for x in $(seq 200 500 5999); do draw="$draw rectangle $x,$y $((x + 149)),$((y + 149))"; done
done
# The picture is kept in ImageMagick's memory-mapped cache format, so that
# reading and writing cost little beside the fill; times are CPU seconds
# (user + system), which a busy machine does not inflate.
MAGICK_THREAD_LIMIT=1 convert -size 6000x4000 'xc:rgb(200,180,160)' -fill black -draw "$draw" "$TMP/pic.mpc"
cpu() { /usr/bin/time -f "%U %S" "$@" 2>&1 >/dev/null | tail -n 1 | awk '{printf "%.0f", ($1 + $2) * 1000}'; }
best() { echo "$@" | awk '{m=$1; for(i=2;i<=NF;i++) if ($i<m) m=$i; print m}'; }
fill="" copy=""
for i in 1 2 3; do
  fill="$fill $(cpu env MAGICK_THREAD_LIMIT=1 convert "$TMP/pic.mpc" -fuzz 15 -fill red -floodfill +10+10 'rgb(200,180,160)' "$TMP/out.mpc")"
  copy="$copy $(cpu env MAGICK_THREAD_LIMIT=1 convert "$TMP/pic.mpc" "$TMP/out.mpc")"
done
f=$(best $fill)
c=$(best $copy)
echo "ImageMagick -floodfill (read + fill + write MPC, CPU, best of 3): $f ms"
echo "ImageMagick read + write MPC alone: $c ms; fill alone about $((f - c)) ms"
"$BUILD/bin/lumerak_bench" --benchmark_filter='Wand|PlainFlood' --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true 2>/dev/null | grep -E "mean|Benchmark"
