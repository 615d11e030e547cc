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
