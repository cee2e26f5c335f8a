#!/bin/sh
# JPEG decode and encode of a photograph-like 24 MP picture (and a 12 MP
# one) through the I/O component, beside the command-line decoder and
# encoder on the same files with the same options (DCT method, quality 80,
# 4:2:0 sampling, optimised tables, progressive, 1/8 scale), all in one run.
#
# Columns: the tool's median wall time over RUNS runs (process start and,
# for the encoder, reading the PPM included), the library called directly in
# the benchmark program, the I/O component (LoadFromFile / SaveToFile), and
# the ratios ours/library (the component's own cost) and ours/tool. The
# machine's load average is printed before and after.
#
#   bench/jpeg_side_by_side.sh [BUILD_DIR]   (default build-release)
#
# The build directory is configured as Release without sanitizers when it
# does not exist yet. RUNS (default 7) may be set in the environment. Needs
# djpeg and cjpeg (apt-get install libjpeg-turbo-progs).
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build-release}
RUNS=${RUNS:-7}

for tool in djpeg cjpeg; do
  command -v "$tool" >/dev/null || { echo "missing $tool: apt-get install libjpeg-turbo-progs" >&2; exit 1; }
done

if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMERAK_SANITIZE=OFF \
    -DLUMERAK_TESTS=OFF -DLUMERAK_BENCH=ON >/dev/null
fi
cmake --build "$BUILD" --target lumerak lumerak_bench >/dev/null
${CXX:-c++} -std=c++20 -O2 -I"$ROOT" "$ROOT/bench/tools/jpeg_fixture.cpp" -L"$BUILD/bin" \
  -Wl,-rpath,"$BUILD/bin" -Wl,-rpath-link,"$BUILD/bin" -llumerak -lplatform -o "$BUILD/bin/jpeg_fixture"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM
"$BUILD/bin/jpeg_fixture" "$WORK"

load() { cut -d' ' -f1-3 /proc/loadavg; }
LOAD_BEFORE=$(load)

# median_ms COMMAND...: median wall time of RUNS runs in milliseconds.
median_ms() {
  i=0
  while [ "$i" -lt "$RUNS" ]; do
    t0=$(date +%s%N)
    "$@" >/dev/null
    t1=$(date +%s%N)
    echo $(((t1 - t0) / 1000))
    i=$((i + 1))
  done | sort -n | awk '{ a[NR] = $1 } END { m = (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2; printf "%.1f\n", m / 1000 }'
}

# The cases, in the order of the benchmark's arguments: decode 0..5, encode 0..4.
# Each line: kind index caption tool-command (files relative to $WORK).
cat >"$WORK/cases" <<'CASES'
D 0 24MP_baseline_islow djpeg -dct int -outfile /dev/null photo24.jpg
D 1 24MP_baseline_ifast djpeg -dct fast -outfile /dev/null photo24.jpg
D 2 24MP_baseline_float djpeg -dct float -outfile /dev/null photo24.jpg
D 3 24MP_progressive_islow djpeg -dct int -outfile /dev/null photo24p.jpg
D 4 24MP_scale_1/8_islow djpeg -dct int -scale 1/8 -outfile /dev/null photo24.jpg
D 5 12MP_baseline_islow djpeg -dct int -outfile /dev/null photo12.jpg
E 0 24MP_q80_islow cjpeg -quality 80 -sample 2x2 -dct int -outfile tool.jpg photo24.ppm
E 1 24MP_q80_islow_optimize cjpeg -quality 80 -sample 2x2 -dct int -optimize -outfile tool.jpg photo24.ppm
E 2 24MP_q80_islow_progressive cjpeg -quality 80 -sample 2x2 -dct int -progressive -outfile tool.jpg photo24.ppm
E 3 24MP_q80_ifast cjpeg -quality 80 -sample 2x2 -dct fast -outfile tool.jpg photo24.ppm
E 4 12MP_q80_islow cjpeg -quality 80 -sample 2x2 -dct int -outfile tool.jpg photo12.ppm
CASES

cd "$WORK"
# The tools first, then the benchmark, so that neither warms the other's
# files beyond the page cache both share.
while read -r kind idx caption cmd; do
  # shellcheck disable=SC2086  # the command is split into its words on purpose
  echo "$kind $idx $(median_ms $cmd)" >>"$WORK/tool.ms"
done <"$WORK/cases"

LK_JPEG_BENCH_DIR=$WORK "$BUILD/bin/lumerak_bench" --benchmark_filter='BM_Jpeg(De|En)code_' \
  --benchmark_repetitions="$RUNS" --benchmark_report_aggregates_only=true --benchmark_format=csv \
  >"$WORK/bench.csv" 2>/dev/null
LOAD_AFTER=$(load)

# bench_ms NAME INDEX: the median of the benchmark row, in milliseconds.
bench_ms() {
  awk -F, -v want="\"$1/$2/real_time_median\"" '$1 == want { printf "%.1f\n", $3 }' "$WORK/bench.csv"
}

echo "JPEG through the I/O component vs the command-line tools; median of $RUNS runs, wall ms"
echo "$(nproc) cores; load average before $LOAD_BEFORE, after $LOAD_AFTER; $(cjpeg -version 2>&1 | head -1)"
printf '%-28s %9s %9s %9s %9s %9s  %s\n' case tool_ms lib_ms ours_ms ours/lib ours/tool "tool command"
while read -r kind idx caption cmd; do
  name=BM_JpegDecode
  [ "$kind" = E ] && name=BM_JpegEncode
  tool=$(awk -v k="$kind" -v i="$idx" '$1 == k && $2 == i { print $3 }' "$WORK/tool.ms")
  lib=$(bench_ms "${name}_Library" "$idx")
  ours=$(bench_ms "${name}_IO" "$idx")
  printf '%-28s %9s %9s %9s %9s %9s  %s\n' "$kind:$caption" "$tool" "$lib" "$ours" \
    "$(awk -v a="$ours" -v b="$lib" 'BEGIN { printf "%.2f", a / b }')" \
    "$(awk -v a="$ours" -v b="$tool" 'BEGIN { printf "%.2f", a / b }')" "$cmd"
done <"$WORK/cases"

# The encoders' outputs decode to the same pixels (baseline 24 MP case).
cjpeg -quality 80 -sample 2x2 -dct int -outfile tool.jpg photo24.ppm
djpeg -outfile tool.ppm tool.jpg
djpeg -outfile ours.ppm photo24.jpg
if cmp -s tool.ppm ours.ppm; then
  echo "check: our baseline encode and the tool's decode to identical pixels"
else
  echo "check: our baseline encode and the tool's decode to DIFFERENT pixels"
fi
