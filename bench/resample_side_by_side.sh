#!/bin/sh
# Times a peer command-line resizer on a 6000 x 4000 24-bit picture written as
# PPM, for comparison with the figures of lumerak_bench --benchmark_filter=Resample:
# Lanczos and Triangle to 50% and 200%, on one thread and on all threads.
# Prints the median wall time of several runs and the command of each row.
#
# Usage: bench/resample_side_by_side.sh [runs]   (default 5)
# Needs ImageMagick 6 (apt-get install imagemagick).
set -eu
. "$(dirname "$0")/peers_lib.sh"

RUNS=${1:-5}
IM=$(command -v convert-im6.q16 || command -v /usr/bin/convert-im6.q16 || true)
[ -n "$IM" ] || { echo "ImageMagick's convert-im6.q16 not found (apt-get install imagemagick)" >&2; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM
SRC="$WORK/picture.ppm"

im_resource_policy "$WORK"

# The same kind of picture as the benchmark: two gradients and a fine texture.
python3 - "$SRC" <<'EOF'
import sys
w, h = 6000, 4000
with open(sys.argv[1], "wb") as f:
    f.write(b"P6\n%d %d\n255\n" % (w, h))
    xs = range(w)
    for y in range(h):
        g = (y * 255) // h
        row = bytearray(w * 3)
        for x in xs:
            row[3 * x] = ((x ^ y) & 31) * 4 + ((x + y) >> 6) & 255
            row[3 * x + 1] = g
            row[3 * x + 2] = (x * 255) // w
        f.write(row)
EOF


time_one() {  # threads filter percent
  i=0
  while [ "$i" -lt "$RUNS" ]; do
    start=$(date +%s.%N)
    "$IM" -limit thread "$1" "$SRC" -filter "$2" -resize "$3%" "$WORK/out.ppm"
    end=$(date +%s.%N)
    echo "$start $end" | awk '{printf "%.1f\n", ($2 - $1) * 1000}'
    i=$((i + 1))
  done | median
}

# Reading and writing the PPM files alone, to subtract from the rows below.
io_ms=$(i=0; while [ "$i" -lt "$RUNS" ]; do
  start=$(date +%s.%N); "$IM" "$SRC" "$WORK/copy.ppm"; end=$(date +%s.%N)
  echo "$start $end" | awk '{printf "%.1f\n", ($2 - $1) * 1000}'; i=$((i + 1)); done | median)

printf '%-9s %-8s %-7s %10s %12s  %s\n' filter percent threads median_ms minus_io_ms command
printf '%-9s %-8s %-7s %10s %12s  %s\n' "(copy)" "-" "1" "$io_ms" "0" "$IM picture.ppm copy.ppm"
for filter in Lanczos Triangle; do
  for pct in 50 200; do
    for threads in 1 "$(nproc)"; do
      ms=$(time_one "$threads" "$filter" "$pct")
      net=$(echo "$ms $io_ms" | awk '{printf "%.1f", $1 - $2}')
      printf '%-9s %-8s %-7s %10s %12s  %s\n' "$filter" "$pct%" "$threads" "$ms" "$net" \
        "$IM -limit thread $threads picture.ppm -filter $filter -resize $pct% out.ppm"
    done
  done
done
