# Shared by the side-by-side scripts (sourced): timing of whole commands,
# ratio rows, and ImageMagick's resource policy for 24 MP pictures.

# The load average, printed before and after a run.
load() { cut -d' ' -f1-3 /proc/loadavg; }

# The median of the numbers on standard input, one per line.
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# The processor time (user plus system) of one run of the shell command, in
# microseconds; WALL=1 takes the wall clock instead. PIN=N (default 0, the
# empty string for none) pins the run to processor N with taskset, so that
# ours and the peers meet the same core and cache.
once_us() {
  pin=""
  if [ -n "${PIN-0}" ] && command -v taskset >/dev/null 2>&1; then pin="taskset -c ${PIN-0}"; fi
  if [ "${WALL:-0}" = 1 ]; then
    t0=$(date +%s%N)
    $pin sh -c "$1" >/dev/null 2>&1
    t1=$(date +%s%N)
    echo $(((t1 - t0) / 1000))
  else
    $pin /usr/bin/time -f "%U %S" -o "${TMPDIR:-/tmp}/peers_cpu.$$" sh -c "$1" >/dev/null 2>&1
    awk '{ printf "%d\n", ($1 + $2) * 1000000 }' "${TMPDIR:-/tmp}/peers_cpu.$$"
    rm -f "${TMPDIR:-/tmp}/peers_cpu.$$"
  fi
}

# median_ms COMMAND: the median of RUNS runs of the shell command, in ms.
# Processor time of the process (user plus system) by default: on a busy
# machine the wall clock mostly measures the wait for a processor.
median_ms() {
  i=0
  while [ "$i" -lt "$RUNS" ]; do
    once_us "$1"
    i=$((i + 1))
  done | sort -n | awk '{ a[NR] = $1 } END { printf "%.0f\n", a[int((NR + 1) / 2)] / 1000 }'
}

# row CAPTION OURS PEER1_NAME PEER1_CMD [PEER2_NAME PEER2_CMD ...]: our time
# and each peer's, in RUNS paired rounds (each round runs ours, then every
# peer, so that a change in the machine's load meets all of them alike), as
# medians with the ratio peer/ours (above 1: ours is faster). Its own
# variables begin with an underscore, so a script's are left alone.
row() {
  _caption=$1 _ours_cmd=$2
  shift 2
  _rows="${TMPDIR:-/tmp}/peers_rows.$$"
  : >"$_rows"
  _i=0
  while [ "$_i" -lt "$RUNS" ]; do
    echo "ours $(once_us "$_ours_cmd")" >>"$_rows"
    _k=1
    for _arg in "$@"; do
      # Odd arguments are names, even ones commands.
      if [ $((_k % 2)) = 0 ]; then echo "$_name $(once_us "$_arg")" >>"$_rows"; else _name=$_arg; fi
      _k=$((_k + 1))
    done
    _i=$((_i + 1))
  done
  med() { awk -v k="$1" '$1 == k { print $2 }' "$_rows" | sort -n | awk '{ a[NR] = $1 } END { printf "%.0f", a[int((NR + 1) / 2)] / 1000 }'; }
  _ours=$(med ours)
  _line="$_caption ours=${_ours}ms"
  while [ $# -ge 2 ]; do
    _t=$(med "$1")
    _line="$_line | $1=${_t}ms peer/ours=$(awk -v a="$_ours" -v b="$_t" 'BEGIN { printf "%.2f", (a > 0 ? b / a : 0) }')"
    shift 2
  done
  rm -f "$_rows"
  echo "$_line"
}

# ImageMagick's own binary in IM: `convert` on PATH may be another program
# or a wrapper that changes some calls, so the real one is called by name
# and its version line checked. Exits when none is found.
im_binary() {
  for c in /usr/bin/convert-im6.q16 "$(command -v magick || true)" /usr/bin/convert; do
    if [ -n "$c" ] && [ -x "$c" ] && "$c" -version 2>/dev/null | head -1 | grep -q ImageMagick; then
      IM=$c
      echo "ImageMagick: $IM ($("$IM" -version | head -1 | sed 's/^Version: //'))"
      return 0
    fi
  done
  echo "ImageMagick not found (scripts/setup installs imagemagick)" >&2
  exit 1
}

# im_resource_policy DIR: the distribution's resource policy caps pixel
# memory at 256 MiB and the area at 128 MP, which sends a 24 MP picture to a
# disk cache and refuses large enlargements; a policy of our own in DIR lifts
# the caps for the runs that follow.
im_resource_policy() {
  cat >"$1/policy.xml" <<'XML'
<policymap>
  <policy domain="resource" name="memory" value="4GiB"/>
  <policy domain="resource" name="map" value="8GiB"/>
  <policy domain="resource" name="width" value="64KP"/>
  <policy domain="resource" name="height" value="64KP"/>
  <policy domain="resource" name="area" value="1GP"/>
  <policy domain="resource" name="disk" value="16GiB"/>
</policymap>
XML
  export MAGICK_CONFIGURE_PATH="$1"
}
