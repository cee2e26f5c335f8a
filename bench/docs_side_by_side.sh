#!/bin/sh
# PostScript, PDF and JPEG 2000 side by side, one run each, one thread each:
# a 24 MP picture saved as PDF (JPEG and LZW) and as PostScript (JPEG and
# run-length) by our writers against ImageMagick convert (and img2pdf for
# the JPEG PDF when installed); the picture encoded losslessly to a JPEG
# 2000 code stream and decoded again by our bridge against opj_compress and
# opj_decompress. Prints processor seconds (user + system), peak memory (MB) and our time over
# each peer's.
#
#   bench/docs_side_by_side.sh [BUILD_DIR]   (default build-release)
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(realpath -m "${1:-$ROOT/build-release}")
TIME=/usr/bin/time
CONVERT=/usr/bin/convert
[ -x "$TIME" ] || { echo "missing GNU time: apt-get install time" >&2; exit 1; }

if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMERAK_SANITIZE=OFF \
    -DLUMERAK_TESTS=OFF -DLUMERAK_BENCH=ON >/dev/null
fi
cmake --build "$BUILD" --target lumerak >/dev/null
${CXX:-c++} -std=c++20 -O2 -I"$ROOT" "$ROOT/bench/tools/docs_tool.cpp" -L"$BUILD/bin" \
  -Wl,-rpath,"$BUILD/bin" -Wl,-rpath-link,"$BUILD/bin" -llumerak -lplatform -pthread -o "$BUILD/bin/docs_tool"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM
cd "$WORK"
"$BUILD/bin/docs_tool" make 6000 4000 pic.ppm
# The peers' JPEG input for img2pdf (it embeds JPEG data as it is).
$CONVERT pic.ppm -quality 75 pic.jpg

export OMP_NUM_THREADS=1 MAGICK_THREAD_LIMIT=1 OPJ_NUM_THREADS=1
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

# Processor time (user + system) and peak memory of one run.
run() {
  name=$1
  shift
  if "$TIME" -f "%U %S %M" -o t.txt "$@" >/dev/null 2>&1; then
    read -r u sy kb <t.txt
    echo "$name $(awk -v a="$u" -v b="$sy" 'BEGIN { print a + b }') $((kb / 1024))"
  else
    echo "$name - -"
  fi
}
has() { command -v "$1" >/dev/null 2>&1; }
report() {
  ours=$(awk '$1 == "ours" { print $2 }' "$2")
  echo "== $1"
  awk -v o="$ours" '{ r = ($2 == "-" || $2 == 0) ? "-" : sprintf("%.2f", o / $2); printf "  %-14s %6ss %6s MB   ours/peer %s\n", $1, $2, $3, r }' "$2"
}

# Distributions ship ImageMagick with a security policy that forbids writing
# PostScript and PDF. For this run only, convert gets a copy of the policy
# without those lines, bound over the original in a private mount namespace.
if ! $CONVERT -size 8x8 xc:red pdf:- >/dev/null 2>&1; then
  POLICY=$($CONVERT -list policy 2>/dev/null | awk '/Path:/ { print $2; exit }')
  if [ "$(id -u)" = 0 ] && command -v unshare >/dev/null 2>&1 && [ -f "$POLICY" ]; then
    sed '/rights="none" pattern="\(PS\|PS2\|PS3\|EPS\|PDF\)"/d' "$POLICY" >"$WORK/policy.xml"
    cat >"$WORK/im" <<EOF
#!/bin/sh
exec unshare -m sh -c 'mount --bind "$WORK/policy.xml" "$POLICY" && exec $CONVERT "\$@"' sh "\$@"
EOF
    chmod +x "$WORK/im"
    CONVERT="$WORK/im"
  else
    echo "convert may not write PostScript or PDF here (its security policy); its rows stay empty" >&2
  fi
fi
IM="$CONVERT -limit thread 1"
{
  run ours "$BUILD/bin/docs_tool" pdf pic.ppm o.pdf jpeg
  run convert $IM pic.ppm -compress JPEG -quality 75 im.pdf
  has img2pdf && run img2pdf img2pdf pic.jpg -o i2p.pdf
} >r1.txt
report "PDF, JPEG" r1.txt
{
  run ours "$BUILD/bin/docs_tool" pdf pic.ppm o2.pdf lzw
  run convert $IM pic.ppm -compress LZW im2.pdf
} >r2.txt
report "PDF, LZW" r2.txt
{
  run ours "$BUILD/bin/docs_tool" ps pic.ppm o.ps jpeg
  run convert $IM pic.ppm -compress JPEG -quality 75 ps2:im.ps
} >r3.txt
report "PostScript, JPEG" r3.txt
{
  run ours "$BUILD/bin/docs_tool" ps pic.ppm o2.ps rle
  run convert $IM pic.ppm -compress RLE ps2:im2.ps
} >r4.txt
report "PostScript, run-length" r4.txt
THREADS=""
opj_compress -h 2>&1 | grep -q -- "-threads" && THREADS="-threads 1"
{
  run ours "$BUILD/bin/docs_tool" j2k pic.ppm o.j2k
  # shellcheck disable=SC2086
  run opj_compress opj_compress -i pic.ppm -o p.j2k $THREADS
} >r5.txt
report "JPEG 2000 encode (lossless)" r5.txt
{
  run ours "$BUILD/bin/docs_tool" unj2k p.j2k o.ppm
  # shellcheck disable=SC2086
  run opj_decompress opj_decompress -i p.j2k -o p.ppm $THREADS
} >r6.txt
report "JPEG 2000 decode" r6.txt
ls -l o.pdf im.pdf o2.pdf im2.pdf o.ps im.ps o2.ps im2.ps o.j2k p.j2k 2>/dev/null | awk '{ printf "  %-8s %10d bytes\n", $9, $5 }'
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
