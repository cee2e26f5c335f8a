#!/bin/sh
# The thumbnail view filling a folder of photographs, beside vipsthumbnail
# making cells of the same size from the same files, in one run.
#
# Folders (made once in $WORK, default /tmp/thumbs_bench): N_EXIF JPEG
# photographs of MP megapixels with an embedded EXIF thumbnail, N_PLAIN
# without one, and for memory 1,000 and 10,000 small pictures. Ours: the
# thumbs_show tool (bench/tools/thumbs_show.cpp) in a 1600 x 1000 window,
# offscreen, with cells of 128 x 128 stored as thumbnails: the time to the
# first full screen of cells, to every cell, and the peak resident memory.
# vipsthumbnail: every file to a 128-pixel JPEG (its write included), with
# the same number of threads. Times are wall clock, the median of RUNS runs;
# ratio = vips/ours (above 1: ours is faster).
#
#   bench/thumbs_side_by_side.sh [BUILD_DIR] [N_EXIF] [N_PLAIN] [MP]
#   (defaults build-rel, 1000, 200, 24; RUNS default 3)
#
# Needs vipsthumbnail (libvips-tools), exiftool (libimage-exiftool-perl) and
# ImageMagick.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build-rel}
N_EXIF=${2:-1000}
N_PLAIN=${3:-200}
MP=${4:-24}
RUNS=${RUNS:-3}
WORK=${WORK:-/tmp/thumbs_bench}
. "$ROOT/bench/peers_lib.sh"
im_binary

for tool in vipsthumbnail exiftool; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done

SHOW="$WORK/thumbs_show"
mkdir -p "$WORK"
# The tool reads the view's fields through the headers: a library older than
# the headers gives it a wrong layout (a view that never reports its first
# screen), so the library is brought up to date first.
cmake --build "$BUILD" --target lumerak platform >/dev/null
# shellcheck disable=SC2046
c++ -std=c++20 -O2 -I"$ROOT" $(pkg-config --cflags Qt6Widgets) "$ROOT/bench/tools/thumbs_show.cpp" \
  -L"$BUILD/bin" -Wl,-rpath,"$BUILD/bin" -llumerak -lplatform $(pkg-config --libs Qt6Widgets) -o "$SHOW"

# One photograph-like picture of MP megapixels, copied: decoding cost is the
# same for each copy, and making them one by one would take longer than the run.
W=$(awk -v mp="$MP" 'BEGIN { printf "%d", sqrt(mp * 1e6 * 3 / 2) }')
H=$((W * 2 / 3))
make_folder() { # DIR COUNT EXIF(0/1) WIDTH HEIGHT
  [ -f "$1/.done" ] && return 0
  mkdir -p "$1"
  "$IM" -size "$4x$5" plasma:fractal -seed 5 -quality 90 "$1/base.jpg"
  if [ "$3" = 1 ]; then
    "$IM" "$1/base.jpg" -thumbnail 160x120 "$1/thumb.jpg"
    exiftool -q -overwrite_original '-ThumbnailImage<='"$1/thumb.jpg" "$1/base.jpg"
    rm "$1/thumb.jpg"
  fi
  i=0
  while [ "$i" -lt "$2" ]; do cp "$1/base.jpg" "$1/p$(printf %05d "$i").jpg"; i=$((i + 1)); done
  rm "$1/base.jpg"
  touch "$1/.done"
}
make_folder "$WORK/exif$N_EXIF" "$N_EXIF" 1 "$W" "$H"
make_folder "$WORK/plain$N_PLAIN" "$N_PLAIN" 0 "$W" "$H"
make_folder "$WORK/small1000" 1000 0 640 480
make_folder "$WORK/small10000" 10000 0 640 480

ours() { # DIR THREADS -> "first all rss"
  QT_QPA_PLATFORM=offscreen "$SHOW" --time "$1" "$2" 128 2>/dev/null |
    awk '/^files/ { print $6, $9, $12, $15 }'
}
vips_ms() { # DIR THREADS
  rm -rf "$WORK/out" && mkdir -p "$WORK/out"
  t0=$(date +%s%N)
  VIPS_CONCURRENCY=$2 vipsthumbnail --vips-concurrency="$2" -s 128 -o "$WORK/out/%s.jpg" "$1"/*.jpg >/dev/null 2>&1
  t1=$(date +%s%N)
  echo $(((t1 - t0) / 1000000))
}

echo "load before: $(load)"
for dir in "exif$N_EXIF" "plain$N_PLAIN"; do
  for threads in 1 "$(nproc)"; do
    firsts="" alls="" vipss=""
    i=0
    while [ "$i" -lt "$RUNS" ]; do
      set -- $(ours "$WORK/$dir" "$threads")
      firsts="$firsts $1" alls="$alls $2"
      vipss="$vipss $(vips_ms "$WORK/$dir" "$threads")"
      i=$((i + 1))
    done
    f=$(echo "$firsts" | tr ' ' '\n' | grep . | median)
    a=$(echo "$alls" | tr ' ' '\n' | grep . | median)
    v=$(echo "$vipss" | tr ' ' '\n' | grep . | median)
    echo "$dir threads=$threads first_screen=${f}s every_cell=${a}s vipsthumbnail=$(awk -v v="$v" 'BEGIN { printf "%.3f", v / 1000 }')s ratio=$(awk -v v="$v" -v a="$a" 'BEGIN { printf "%.2f", (a > 0 ? v / 1000 / a : 0) }')"
  done
done
for dir in small1000 small10000; do
  set -- $(ours "$WORK/$dir" 4)
  echo "$dir peak_rss=${3}MB (every cell ${2}s, 4 threads) scroll_step=${4}ms"
done
echo "load after: $(load)"
