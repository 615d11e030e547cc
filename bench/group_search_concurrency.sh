#!/usr/bin/env bash
# The group search with its newsgroups walked side by side against one page
# after the other: veskor-search --group over the ten newsgroups of
# group_search_corpus.tsv (39 pages of "vacances"), with --connexions 1 (one
# request at a time, as the one-by-one walk) and with the default 4, once
# through delay_relay (25 ms each way, the archive far away) and once on
# loopback. Each run is timed exactly (bash's `time` waits for the process),
# the two settings alternate, and the medians are compared. Both settings
# must print the very same rows and console lines.
#
#   bench/group_search_concurrency.sh [BUILD_DIR]   (default build/default, already built)
#   RUNS=N (default 11) alternating runs of each; DELAY_MS (default 25).

set -euo pipefail

build=${1:-build/default}
archive=$build/tools/archive_server/veskor-archive
search=$build/tools/search_cli/veskor-search
relay=$build/bench/delay_relay
corpus=$(cd "$(dirname "$0")" && pwd)/group_search_corpus.tsv
runs=${RUNS:-11}
delay=${DELAY_MS:-25}

for tool in "$archive" "$search" "$relay"; do
  [[ -x $tool ]] || { echo "introuvable : $tool (construire d'abord)" >&2; exit 2; }
done
# Run from the group file's folder.
search=$(realpath "$search")

# shellcheck source=bench/bench_lib.sh
source "$(dirname "$0")/bench_lib.sh"

start_server archive_url "$work/archive.out" "$archive" --port 0 --corpus "$corpus"
[[ -n $archive_url ]] || { echo "le serveur d'archive n'a pas démarré" >&2; exit 1; }
archive_port=${archive_url##*:}
start_server relay_url "$work/relay.out" "$relay" --port 0 --target-port "$archive_port" --delay-ms "$delay"
[[ -n $relay_url ]] || { echo "le relais n'a pas démarré" >&2; exit 1; }

# The group file, in the working directory where veskor-search looks.
mkdir "$work/groupes"
for i in $(seq -w 1 10); do printf 'fr.bench.groupe%s\r\n41%s\r\n' "$i" "$i"; done > "$work/groupes/bench.txt"

run_search() {  # URL CONNECTIONS [extra args]
  local url=$1 n=$2; shift 2
  (cd "$work/groupes" && exec "$search" --archive "$url" --connexions "$n" "$@" --group bench vacances)
}

# One exactly timed run: its wall-clock seconds.
timed() {
  local TIMEFORMAT='%3R'
  { time run_search "$@" -q > /dev/null 2>&1 || true; } 2>&1
}

compare() {
  local label=$1 url=$2
  # The same rows and the same console lines, whatever the connections.
  run_search "$url" 1 > "$work/rows1.txt" 2> "$work/console1.txt"
  run_search "$url" 4 > "$work/rows4.txt" 2> "$work/console4.txt"
  if ! cmp -s "$work/rows1.txt" "$work/rows4.txt" || ! cmp -s "$work/console1.txt" "$work/console4.txt"; then
    echo "$label : les sorties diffèrent entre --connexions 1 et 4" >&2
    exit 1
  fi
  local pages rows
  pages=$(grep -c '^http' "$work/console4.txt")
  rows=$(wc -l < "$work/rows4.txt")
  : > "$work/one.times"; : > "$work/four.times"
  for _ in $(seq "$runs"); do
    timed "$url" 1 >> "$work/one.times"
    timed "$url" 4 >> "$work/four.times"
  done
  local one four
  one=$(median < "$work/one.times")
  four=$(median < "$work/four.times")
  awk -v l="$label" -v o="$one" -v f="$four" -v p="$pages" -v r="$rows" 'BEGIN {
    printf "%-22s %d pages, %d lignes identiques | --connexions 1 : %.3f s | 4 : %.3f s | rapport %.2f\n",
           l, p, r, o, f, f / o }'
}

echo "médianes de $runs passages alternés :"
compare "relais ${delay} ms" "$relay_url"
compare "boucle locale" "$archive_url"
