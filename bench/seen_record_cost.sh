#!/usr/bin/env bash
# What `--nouveaux` adds to a real search: veskor-search walks a newsgroup of
# 5,000 hits (250 pages of 20) on the bundled archive, with and without a
# record of 100,000 addresses of that very search (none of them a hit, so both
# print the same 5,000 lines). The two alternate; the record is laid anew
# before each run that uses it. Each run is timed exactly (bash's `time`
# waits for the process) and its peak memory read by /usr/bin/time in a run
# of its own; the medians are compared. The in-process parts (load, match,
# save) are timed by seen_record_bench.
#
#   bench/seen_record_cost.sh [BUILD_DIR]     (default build/default, already built)
#   RUNS=N (default 11) alternating runs of each.

set -euo pipefail

build=${1:-build/default}
archive=$build/tools/archive_server/veskor-archive
search=$build/tools/search_cli/veskor-search
runs=${RUNS:-11}

for tool in "$archive" "$search" /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "introuvable : $tool (construire d'abord)" >&2; exit 2; }
done

# shellcheck source=bench/bench_lib.sh
source "$(dirname "$0")/bench_lib.sh"

one_word_corpus bench.n5000 901 5000 > "$work/corpus.tsv"
start_server archive_url "$work/server.out" "$archive" --port 0 --page-size 20 --corpus "$work/corpus.tsv"
[[ -n $archive_url ]] || { echo "le serveur d'archive n'a pas démarré" >&2; exit 1; }

{
  printf '# Veskor : r\xe9sultats d\xe9j\xe0 vus (format 1)\r\n'
  printf 'R\tnewsgroup\tbench.n5000\tfichier\r\n'
  seq 200001 300000 | awk '{ printf "1\tarticles.pl?gid=901&art=%d\r\n", $1 }'
} > "$work/full.lst"

plain=("$search" -q --archive "$archive_url" --newsgroup bench.n5000 fichier)
with_record=("$search" -q --archive "$archive_url" --nouveaux "$work/vus.lst" --newsgroup bench.n5000 fichier)

# Both print the same lines.
cp "$work/full.lst" "$work/vus.lst"
if ! cmp -s <("${plain[@]}") <("${with_record[@]}"); then
  echo "--nouveaux n'écrit pas les mêmes lignes" >&2
  exit 1
fi
lines=$(wc -l < "$work/vus.lst")
echo "relevé : $((lines - 2)) adresses après un passage ($(wc -c < "$work/full.lst") octets avant)"

# "wall cpu" in milliseconds, or the peak memory in KiB.
timed() {
  local TIMEFORMAT='%3R %3U %3S'
  { time "$@" > /dev/null 2> /dev/null; } 2>&1 | awk '{ printf "%.1f %.1f\n", $1 * 1000, ($2 + $3) * 1000 }'
}
peak() { /usr/bin/time -f '%M' "$@" 2>&1 > /dev/null | tail -n 1; }

: > "$work/plain.times"; : > "$work/record.times"; : > "$work/plain.kib"; : > "$work/record.kib"
for _ in $(seq "$runs"); do
  timed "${plain[@]}" >> "$work/plain.times"
  cp "$work/full.lst" "$work/vus.lst"
  timed "${with_record[@]}" >> "$work/record.times"
  peak "${plain[@]}" >> "$work/plain.kib"
  cp "$work/full.lst" "$work/vus.lst"
  peak "${with_record[@]}" >> "$work/record.kib"
done

pw=$(awk '{ print $1 }' "$work/plain.times" | median)
pc=$(awk '{ print $2 }' "$work/plain.times" | median)
rw=$(awk '{ print $1 }' "$work/record.times" | median)
rc=$(awk '{ print $2 }' "$work/record.times" | median)
pk=$(median < "$work/plain.kib")
rk=$(median < "$work/record.kib")
echo "médianes de $runs passages alternés, 5 000 réponses, relevé de 100 000 adresses :"
awk -v pw="$pw" -v pc="$pc" -v rw="$rw" -v rc="$rc" 'BEGIN {
  printf "sans --nouveaux %.0f ms (CPU %.0f ms) | avec %.0f ms (CPU %.0f ms) | en plus %.0f ms (CPU %.0f ms) (objectif <= 50)\n",
         pw, pc, rw, rc, rw - pw, rc - pc }'
awk -v p="$pk" -v r="$rk" 'BEGIN {
  printf "mémoire max sans %.1f Mio | avec %.1f Mio | en plus %.1f Mio (objectif <= 16)\n", p / 1024, r / 1024, (r - p) / 1024 }'
