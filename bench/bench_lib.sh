# Sourced by the benchmark scripts: a scratch folder `$work`, removed at exit
# together with every server the script started, a server start that waits
# for the address the server prints, and the median of a column of numbers.

work=$(mktemp -d)
pids=()
bench_cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap bench_cleanup EXIT

# start_server VAR OUT COMMAND...: starts a server that prints "listening on
# URL", then sets VAR to that URL (empty when none came within 10 s) and
# `server_pid` to its process. Not in a subshell, so that the exit trap knows
# the server too.
start_server() {
  local var=$1 out=$2
  shift 2
  "$@" > "$out" 2>&1 &
  server_pid=$!
  pids+=("$server_pid")
  for _ in $(seq 100); do
    grep -q 'listening on' "$out" 2>/dev/null && break
    sleep 0.1
  done
  printf -v "$var" '%s' "$(sed -n 's/.*listening on \(http[^ ]*\).*/\1/p' "$out" | head -n 1)"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# compare_runs LABEL NAME_A "COMMAND_A" NAME_B "COMMAND_B": two ways of running
# one search (each COMMAND word-split, given -q when timed). Both must print
# the same rows and console lines; then RUNS alternating runs of each are
# timed exactly (bash's `time` waits for the process) and their medians and
# ratio printed.
compare_runs() {
  local label=$1 name_a=$2 a=$3 name_b=$4 b=$5 TIMEFORMAT='%3R'
  $a > "$work/rows.a" 2> "$work/console.a" || true
  $b > "$work/rows.b" 2> "$work/console.b" || true
  if ! cmp -s "$work/rows.a" "$work/rows.b" || ! cmp -s "$work/console.a" "$work/console.b"; then
    echo "$label : les sorties diffèrent entre $name_a et $name_b" >&2
    exit 1
  fi
  local pages rows
  pages=$(grep -c '^http' "$work/console.b")
  rows=$(wc -l < "$work/rows.b")
  : > "$work/a.times"; : > "$work/b.times"
  for _ in $(seq "$runs"); do
    { time $a -q > /dev/null 2>&1 || true; } 2>> "$work/a.times"
    { time $b -q > /dev/null 2>&1 || true; } 2>> "$work/b.times"
  done
  awk -v l="$label" -v na="$name_a" -v nb="$name_b" -v a="$(median < "$work/a.times")" \
      -v b="$(median < "$work/b.times")" -v p="$pages" -v r="$rows" 'BEGIN {
    printf "%-22s %d pages, %d lignes identiques | %s : %.3f s | %s : %.3f s | rapport %.2f\n",
           l, p, r, na, a, nb, b, b / a }'
}
