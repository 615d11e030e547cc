#!/usr/bin/env bash
# The group search with its newsgroups walked side by side against one page
# after the other: veskor-search --group over the ten newsgroups of
# group_search_corpus.tsv (39 pages of "vacances"), with --connexions 1 (one
# request at a time, as the one-by-one walk) and with the default 4, once
# through delay_relay (25 ms each way, the archive far away) and once on
# loopback, their medians compared (compare_runs). Both settings must print
# the very same rows and console lines.
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

# shellcheck source=bench/bench_lib.sh
source "$(dirname "$0")/bench_lib.sh"
need_tools "$archive" "$search" "$relay"
# Run from the group file's folder.
search=$(realpath "$search")
start_far_archive "$archive" "$relay" "$corpus" "$delay"

# The group file, in the working directory where veskor-search looks.
mkdir "$work/groupes"
for i in $(seq -w 1 10); do printf 'fr.bench.groupe%s\r\n41%s\r\n' "$i" "$i"; done > "$work/groupes/bench.txt"

run_search() {  # URL CONNECTIONS [extra args]
  local url=$1 n=$2; shift 2
  (cd "$work/groupes" && exec "$search" --archive "$url" --connexions "$n" "$@" --group bench vacances)
}

echo "médianes de $runs passages alternés :"
compare_runs "relais ${delay} ms" "--connexions 1" "run_search $relay_url 1" 4 "run_search $relay_url 4"
compare_runs "boucle locale" "--connexions 1" "run_search $archive_url 1" 4 "run_search $archive_url 4"
