#!/usr/bin/env bash
# The group editor's "Mettre à jour" with its lookups side by side against one
# lookup after the other: id_update_bench over 20 newsgroups (the ten of
# group_search_corpus.tsv, which the archive knows, and ten it does not), with
# 1 connection (the one-by-one update) and with the default 4, through
# delay_relay (25 ms each way) and on loopback. Each run is timed exactly
# (bash's `time` waits for the process), the two settings alternate, and the
# medians are compared. Both settings must print the very same rows.
#
#   bench/id_update_concurrency.sh [BUILD_DIR]   (default build/default, already built)
#   RUNS=N (default 11) alternating runs of each; DELAY_MS (default 25).

set -euo pipefail

build=${1:-build/default}
archive=$build/tools/archive_server/veskor-archive
update=$build/bench/id_update_bench
relay=$build/bench/delay_relay
corpus=$(cd "$(dirname "$0")" && pwd)/group_search_corpus.tsv
runs=${RUNS:-11}
delay=${DELAY_MS:-25}

# shellcheck source=bench/bench_lib.sh
source "$(dirname "$0")/bench_lib.sh"
need_tools "$archive" "$update" "$relay"
start_far_archive "$archive" "$relay" "$corpus" "$delay"

mapfile -t newsgroups < <(seq -f 'fr.bench.groupe%02g' 1 20)

# One exactly timed run: its wall-clock seconds.
timed() {  # URL CONNECTIONS
  local TIMEFORMAT='%3R'
  { time "$update" "$1" "$2" "${newsgroups[@]}" > /dev/null 2>&1 || true; } 2>&1
}

compare() {
  local label=$1 url=$2
  "$update" "$url" 1 "${newsgroups[@]}" > "$work/rows1.txt"
  "$update" "$url" 4 "${newsgroups[@]}" > "$work/rows4.txt"
  if ! cmp -s "$work/rows1.txt" "$work/rows4.txt"; then
    echo "$label : les lignes diffèrent entre 1 et 4 connexions" >&2
    exit 1
  fi
  local one four found
  read -r one four < <(alternate_medians "$runs" "timed $url 1" "timed $url 4")
  found=$(grep -c '|41' "$work/rows4.txt" || true)
  printf '%-16s ' "$label"
  awk -v o="$one" -v f="$four" -v n="${#newsgroups[@]}" -v k="$found" 'BEGIN {
    printf "%d newsgroups (%d IDs) identiques | 1 connexion : %.3f s | 4 : %.3f s | rapport %.2f\n",
           n, k, o, f, f / o }'
}

echo "médianes de $runs passages alternés :"
compare "relais ${delay} ms" "$relay_url"
compare "boucle locale" "$archive_url"
