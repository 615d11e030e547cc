# Sourced by the benchmark scripts: a scratch folder `$work`, removed at exit
# together with every server the script started, a server start that waits
# for the address the server prints, the median of a column of numbers, the
# archive put far away behind the delay relay, and a corpus for the bundled
# archive.

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

# need_tools PROGRAM...: exits 2 naming the first one not built.
need_tools() {
  local tool
  for tool in "$@"; do
    [[ -x $tool ]] || { echo "introuvable : $tool (construire d'abord)" >&2; exit 2; }
  done
}

# start_far_archive ARCHIVE RELAY CORPUS DELAY_MS: the archive server ARCHIVE
# on CORPUS and the delay relay RELAY in front of it; sets `archive_url` and
# `relay_url`, or exits 1.
start_far_archive() {
  start_server archive_url "$work/archive.out" "$1" --port 0 --corpus "$3"
  [[ -n $archive_url ]] || { echo "le serveur d'archive n'a pas démarré" >&2; exit 1; }
  start_server relay_url "$work/relay.out" "$2" --port 0 --target-port "${archive_url##*:}" --delay-ms "$4"
  [[ -n $relay_url ]] || { echo "le relais n'a pas démarré" >&2; exit 1; }
}

# alternate_medians RUNS "COMMAND_A ARGS" "COMMAND_B ARGS": runs A and B one
# after the other RUNS times, each printing one number (its seconds), and
# prints the median of A's and the median of B's. The commands are split on
# spaces.
alternate_medians() {
  local runs=$1 a=$2 b=$3
  : > "$work/a.times"; : > "$work/b.times"
  for _ in $(seq "$runs"); do
    $a >> "$work/a.times"
    $b >> "$work/b.times"
  done
  echo "$(median < "$work/a.times") $(median < "$work/b.times")"
}

# one_word_corpus NEWSGROUP ID POSTS: a corpus (on stdout) of one newsgroup
# whose every post holds the word "fichier": POSTS / 20 pages of 20.
one_word_corpus() {
  awk -v g="$1" -v id="$2" -v n="$3" 'BEGIN {
    for (i = 1; i <= n; i++)
      printf "%s\t%d\t%02d/%02d/%d\tposteur%d@exemple.fr\tArchive - fichier %d sur %d.rar\n",
             g, id, 1 + i % 28, 1 + int(i / 28) % 12, 1990 + int(i / 336) % 30, i % 97, i, n;
  }'
}
