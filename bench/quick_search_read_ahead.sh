#!/usr/bin/env bash
# The quick search with its pages fetched ahead against one page after the
# other: veskor-search --newsgroup over one newsgroup of 24 pages of 20 hits,
# with --connexions 1 (one request at a time, as the one-by-one walk) and with
# the default 4, once through delay_relay (25 ms each way) in front of an
# archive whose pages take PAGE_MS to make (its slow mode), and once on
# loopback without any delay, their medians compared (compare_runs). Both
# settings must print the very same rows and console lines.
#
# Then STOPS searches through the relay are stopped by a Ctrl-C at a random
# moment, and the archive's own log tells how many results pages each one
# asked for and never showed.
#
#   bench/quick_search_read_ahead.sh [BUILD_DIR [OTHER_SEARCH]]
#       (default build/default, already built; OTHER_SEARCH: another
#       veskor-search, timed against this one with 4 connections on loopback)
#   RUNS=N (default 11), DELAY_MS (25), PAGE_MS (100), STOPS (20).

set -euo pipefail

build=${1:-build/default}
other=${2:-}
archive=$build/tools/archive_server/veskor-archive
search=$build/tools/search_cli/veskor-search
relay=$build/bench/delay_relay
runs=${RUNS:-11}
delay=${DELAY_MS:-25}
page_ms=${PAGE_MS:-100}
stops=${STOPS:-20}

# shellcheck source=bench/bench_lib.sh
source "$(dirname "$0")/bench_lib.sh"
need_tools "$archive" "$search" "$relay" ${other:+"$other"}

one_word_corpus fr.bench.rapide 4201 480 > "$work/corpus.tsv"
start_far_archive "$archive" "$relay" "$work/corpus.tsv" "$delay" \
  --fault slow --slow-ms "$page_ms" --verbose
start_server fast_url "$work/fast.out" "$archive" --port 0 --corpus "$work/corpus.tsv"
[[ -n $fast_url ]] || { echo "le serveur d'archive n'a pas démarré" >&2; exit 1; }

run_search() {  # PROGRAM URL CONNECTIONS [extra args]
  local program=$1 url=$2 n=$3; shift 3
  "$program" --archive "$url" --connexions "$n" "$@" --newsgroup fr.bench.rapide fichier
}

echo "médianes de $runs passages alternés :"
compare_runs "relais ${delay} ms" "--connexions 1" "run_search $search $relay_url 1" \
  4 "run_search $search $relay_url 4"
compare_runs "boucle locale" "--connexions 1" "run_search $search $fast_url 1" \
  4 "run_search $search $fast_url 4"
if [[ -n $other ]]; then
  compare_runs "boucle locale, 4" "autre" "run_search $other $fast_url 4" \
    "celui-ci" "run_search $search $fast_url 4"
fi

# Searches stopped at a random moment: results pages the archive served
# against pages shown.
most=0 total=0
for i in $(seq "$stops"); do
  before=$(grep -c 'articles.pl' "$work/archive.out" || true)
  # Started here rather than in a function, so that the Ctrl-C reaches it.
  "$search" --archive "$relay_url" --newsgroup fr.bench.rapide fichier \
    > /dev/null 2> "$work/stopped.err" &
  searching=$!
  sleep "$(awk -v s="$i" 'BEGIN { srand(s); printf "%.3f", 0.2 + rand() * 1.5 }')"
  kill -INT "$searching" 2>/dev/null || true
  wait "$searching" || true
  sleep 0.3  # the archive logs a request once its reply is written
  asked=$(( $(grep -c 'articles.pl' "$work/archive.out" || true) - before ))
  shown=$(grep -c '^http' "$work/stopped.err" || true)
  wasted=$(( asked - shown ))
  (( wasted > most )) && most=$wasted
  total=$(( total + wasted ))
done
echo "$stops recherches arrêtées au hasard : pages demandées jamais montrées, au plus $most (en tout $total)"
