# Shared by the side-by-side scripts (sourced): timing of whole commands,
# ratio rows, and ImageMagick's resource policy for 24 MP pictures.

# The load average, printed before and after a run.
load() { cut -d' ' -f1-3 /proc/loadavg; }

# The median of the numbers on standard input, one per line.
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# median_ms COMMAND: the median of RUNS runs of the shell command, in ms.
# Processor time of the process (user plus system) by default: on a busy
# machine the wall clock mostly measures the wait for a processor. WALL=1
# takes the wall clock instead.
median_ms() {
  i=0
  while [ "$i" -lt "$RUNS" ]; do
    if [ "${WALL:-0}" = 1 ]; then
      t0=$(date +%s%N)
      sh -c "$1" >/dev/null 2>&1
      t1=$(date +%s%N)
      echo $(((t1 - t0) / 1000))
    else
      /usr/bin/time -f "%U %S" -o "${TMPDIR:-/tmp}/peers_cpu.$$" sh -c "$1" >/dev/null 2>&1
      awk '{ printf "%d\n", ($1 + $2) * 1000000 }' "${TMPDIR:-/tmp}/peers_cpu.$$"
    fi
    i=$((i + 1))
  done | sort -n | awk '{ a[NR] = $1 } END { printf "%.0f\n", a[int((NR + 1) / 2)] / 1000 }'
  rm -f "${TMPDIR:-/tmp}/peers_cpu.$$"
}

# row CAPTION OURS PEER1_NAME PEER1_CMD [PEER2_NAME PEER2_CMD ...]: our time
# and each peer's with the ratio ours/peer (below 1: ours is faster).
row() {
  caption=$1 ours=$(median_ms "$2")
  shift 2
  line="$caption ours=${ours}ms"
  while [ $# -ge 2 ]; do
    t=$(median_ms "$2")
    line="$line | $1=${t}ms ratio=$(awk -v a="$ours" -v b="$t" 'BEGIN { printf "%.2f", a / b }')"
    shift 2
  done
  echo "$line"
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
