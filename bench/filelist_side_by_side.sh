#!/bin/sh
# Listing a folder of 10,000 files sorted in natural order: the program's
# file list (folder scan with each entry's attributes and size, natural
# sort) beside `ls -U | sort -V` on the same folder, in the same run, one
# thread each. The two orders are checked to be the same first.
#
#   bench/filelist_side_by_side.sh [BUILD_DIR]   (default build-release)
#
# Rows: the whole process (start, list, print) of each side, the median of
# RUNS runs (default 5), and the ratio ours/peer (below 1: ours is faster);
# then the scan and sort alone inside our process (median of 20 rescans)
# against the peer's whole pipeline.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build-release}
RUNS=${RUNS:-5}
COUNT=${COUNT:-10000}

if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMERAK_SANITIZE=OFF \
    -DLUMERAK_TESTS=OFF -DLUMERAK_BENCH=ON >/dev/null
fi
cmake --build "$BUILD" --target list_folder >/dev/null
OURS="$BUILD/bin/list_folder"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM
DIR="$WORK/folder"
mkdir "$DIR"
# Names of camera files with numbers of every length, in two series.
( cd "$DIR" && seq 1 "$COUNT" | awk '{ if ($1 % 2) print "img_" $1 ".crw"; else print "shot" $1 "b.nef" }' |
  xargs touch )

"$OURS" "$DIR" >"$WORK/ours.txt" 2>/dev/null
ls -U "$DIR" | sort -V >"$WORK/peer.txt"
if ! cmp -s "$WORK/ours.txt" "$WORK/peer.txt"; then
  echo "the two orders differ:" >&2
  diff "$WORK/ours.txt" "$WORK/peer.txt" | head >&2
  exit 1
fi

# Median wall time of a command in milliseconds.
median_ms() {
  i=0
  : >"$WORK/times"
  while [ $i -lt "$RUNS" ]; do
    s=$(date +%s%N)
    sh -c "$1" >/dev/null 2>&1
    e=$(date +%s%N)
    echo $(( (e - s) / 1000 )) >>"$WORK/times"
    i=$((i + 1))
  done
  sort -n "$WORK/times" | awk '{ a[NR] = $1 } END { printf "%.1f", a[int((NR + 1) / 2)] / 1000 }'
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
ours=$(median_ms "'$OURS' '$DIR'")
peer=$(median_ms "ls -U '$DIR' | sort -V")
inproc=$("$OURS" "$DIR" 20 2>&1 >/dev/null | tail -n 1 | awk '{ printf "%.1f", $1 / 1000 }')
printf '%-40s %10s %10s %8s\n' "case ($COUNT files)" "ours ms" "peer ms" "ratio"
printf '%-40s %10s %10s %8s\n' "whole process vs ls -U | sort -V" "$ours" "$peer" \
  "$(awk -v a="$ours" -v b="$peer" 'BEGIN { printf "%.2f", a / b }')"
printf '%-40s %10s %10s %8s\n' "scan + sort in process vs the same" "$inproc" "$peer" \
  "$(awk -v a="$inproc" -v b="$peer" 'BEGIN { printf "%.2f", a / b }')"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
