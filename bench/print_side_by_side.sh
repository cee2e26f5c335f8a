#!/bin/sh
# Printing a 24 MP picture (6000 x 4000 JPEG) fitted on an A4 page at
# 600 dpi to PDF through the printer object (bench/tools/print_tool.cpp),
# beside ImageMagick's "convert picture.jpg -page A4 out.pdf", one thread
# each. Prints the median processor time (user + system) of RUNS runs
# (default 3), the peak memory, and our figures over the peer's; checks
# that our PDF has one A4 page. The page's raster at 600 dpi is
# 4961 x 7016 x 3 bytes (about 100 MB).
#
#   bench/print_side_by_side.sh [BUILD_DIR]   (default build-rel)
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(realpath -m "${1:-$ROOT/build-rel}")
RUNS=${RUNS:-3}
TIME=/usr/bin/time
CONVERT=/usr/bin/convert-im6.q16
[ -x "$TIME" ] || { echo "missing GNU time: apt-get install time" >&2; exit 1; }
"$CONVERT" -version | grep -q ImageMagick || { echo "$CONVERT is not ImageMagick" >&2; exit 1; }

if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMERAK_SANITIZE=OFF \
    -DLUMERAK_TESTS=OFF -DLUMERAK_BENCH=OFF >/dev/null
fi
cmake --build "$BUILD" --target lumerak platform >/dev/null
# shellcheck disable=SC2046
${CXX:-c++} -std=c++20 -O2 -I"$ROOT" $(pkg-config --cflags Qt6Widgets) "$ROOT/bench/tools/print_tool.cpp" \
  -L"$BUILD/bin" -Wl,-rpath,"$BUILD/bin" -Wl,-rpath-link,"$BUILD/bin" -llumerak -lplatform \
  $(pkg-config --libs Qt6Widgets) -o "$BUILD/bin/print_tool"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM
cd "$WORK"
"$CONVERT" -size 6000x4000 plasma:fractal -seed 7 -quality 90 pic.jpg

# Distributions ship ImageMagick with a policy that forbids writing PDF.
# For this run only, convert gets a copy without those lines, bound over
# the original in a private mount namespace.
if ! "$CONVERT" -size 8x8 xc:red pdf:- >/dev/null 2>&1; then
  POLICY=$("$CONVERT" -list policy 2>/dev/null | awk '/Path:/ { print $2; exit }')
  if [ "$(id -u)" = 0 ] && command -v unshare >/dev/null 2>&1 && [ -f "$POLICY" ]; then
    sed '/rights="none" pattern="\(PS\|PS2\|PS3\|EPS\|PDF\)"/d' "$POLICY" >"$WORK/policy.xml"
    cat >"$WORK/im" <<EOS
#!/bin/sh
exec unshare -m sh -c 'mount --bind "$WORK/policy.xml" "$POLICY" && exec $CONVERT "\$@"' sh "\$@"
EOS
    chmod +x "$WORK/im"
    CONVERT="$WORK/im"
  else
    echo "convert may not write PDF here (its security policy); its row stays empty" >&2
  fi
fi

export QT_QPA_PLATFORM=offscreen OMP_NUM_THREADS=1 MAGICK_THREAD_LIMIT=1
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
# One run: "seconds megabytes" (processor time, peak resident memory).
once() {
  if "$TIME" -f "%U %S %M" -o t.txt "$@" >/dev/null 2>&1; then
    awk '{ printf "%.2f %d\n", $1 + $2, $3 / 1024 }' t.txt
  else
    echo "- -"
  fi
}
: >ours.txt
: >im.txt
i=0
while [ "$i" -lt "$RUNS" ]; do
  once "$BUILD/bin/print_tool" pic.jpg ours.pdf 600 >>ours.txt
  once "$CONVERT" -limit thread 1 pic.jpg -page A4 im.pdf >>im.txt
  i=$((i + 1))
done
med() { sort -n -k"$2" "$1" | awk -v c="$2" '{ a[NR] = $c } END { print a[int((NR + 1) / 2)] }'; }
os=$(med ours.txt 1) om=$(med ours.txt 2) is=$(med im.txt 1) imb=$(med im.txt 2)
echo "24 MP JPEG fitted on A4 at 600 dpi, to PDF ($RUNS runs, medians)"
printf "  %-10s %8s s %6s MB\n" ours "$os" "$om" convert "$is" "$imb"
awk -v a="$os" -v b="$is" -v c="$om" -v d="$imb" 'BEGIN {
  if (b != "-" && a > 0) printf "  time: convert/ours %.2f (above 1: ours is faster)\n", b / a
  if (d != "-" && c > 0) printf "  memory: convert/ours %.2f (above 1: ours uses less)\n", d / c }'
echo "  our page raster: $((4961 * 7016 * 3 / 1048576)) MB; our peak over it: $(awk -v m="$om" 'BEGIN { printf "%.2f", m / (4961 * 7016 * 3 / 1048576) }')"
echo "  ours: $(qpdf --show-npages ours.pdf) page(s), $(pdfinfo ours.pdf | awk '/Page size/ { $1 = $2 = ""; print }')"
ls -l ours.pdf im.pdf 2>/dev/null | awk '{ printf "  %-8s %10d bytes\n", $9, $5 }'
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
