#!/usr/bin/env bash
# What veskor-search costs beyond the network itself: it walks 500 results
# pages of the bundled archive server, and curl fetches the same 500 addresses
# over one kept-alive connection. Then the peak memory of a 100-page and of a
# 1,000-page walk, which should be the same since rows are printed page by page.
#
#   bench/cli_vs_curl.sh [BUILD_DIR]     (default build/default, already built)

set -euo pipefail

build=${1:-build/default}
archive=$build/tools/archive_server/veskor-archive
search=$build/tools/search_cli/veskor-search
runs=${RUNS:-5}

for tool in "$archive" "$search" curl /usr/bin/time; do
  if ! command -v "$tool" >/dev/null; then
    echo "introuvable : $tool (construire d'abord : cmake --build $build)" >&2
    exit 2
  fi
done

work=$(mktemp -d)
server_pid=
cleanup() {
  if [[ -n $server_pid ]]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# Three newsgroups whose every post holds the word: 100, 500 and 1,000 pages
# of 20 hits.
awk 'BEGIN {
  split("bench.p100 2000 bench.p500 10000 bench.p1000 20000", sizes, " ");
  for (g = 1; g <= 5; g += 2) {
    for (i = 1; i <= sizes[g + 1]; i++)
      printf "%s\t%d\t%02d/%02d/%d\tposteur%d@exemple.fr\tArchive - fichier %d sur %d.rar\n",
             sizes[g], 900 + g, 1 + i % 28, 1 + int(i / 28) % 12, 1990 + int(i / 336) % 30,
             i % 97, i, sizes[g + 1];
  }
}' > "$work/corpus.tsv"

"$archive" --port 0 --page-size 20 --corpus "$work/corpus.tsv" > "$work/server.out" &
server_pid=$!
for _ in $(seq 100); do
  grep -q 'listening on' "$work/server.out" 2>/dev/null && break
  sleep 0.1
done
url=$(sed -n 's/.*listening on \(http[^ ]*\).*/\1/p' "$work/server.out" | head -n 1)
[[ -n $url ]] || { echo "le serveur d'archive n'a pas démarré" >&2; exit 1; }

now_us() { echo $(( $(date +%s%N) / 1000 )); }

# The best of several runs: the least disturbed by whatever else the machine does.
best_us() {
  local best= start elapsed
  for _ in $(seq "$runs"); do
    start=$(now_us)
    "$@" > /dev/null 2>&1
    elapsed=$(( $(now_us) - start ))
    if [[ -z $best || $elapsed -lt $best ]]; then best=$elapsed; fi
  done
  echo "$best"
}

# The page addresses, exactly as the client asks for them, from its console lines.
"$search" --archive "$url" --newsgroup bench.p500 fichier 2> "$work/console.txt" > "$work/rows.txt"
grep '^http' "$work/console.txt" > "$work/urls.txt"
pages=$(wc -l < "$work/urls.txt")
echo "pages parcourues : $pages ($(wc -l < "$work/rows.txt") lignes)"
mapfile -t urls < "$work/urls.txt"

client_us=$(best_us "$search" -q --archive "$url" --newsgroup bench.p500 fichier)
curl_us=$(best_us curl -s "${urls[@]}")

awk -v c="$client_us" -v k="$curl_us" -v p="$pages" 'BEGIN {
  printf "veskor-search : %.3f s\n", c / 1e6;
  printf "curl          : %.3f s\n", k / 1e6;
  printf "rapport       : %.2f (objectif <= 2.0)\n", c / k;
  printf "surcoût       : %.0f us par page\n", (c - k) / p;
}'

peak_kib() {
  /usr/bin/time -v "$search" -q --archive "$url" --newsgroup "$1" fichier 2>&1 >/dev/null |
    sed -n 's/.*Maximum resident set size (kbytes): //p'
}
for group in bench.p100 bench.p1000; do
  kib=$(peak_kib "$group")
  awk -v g="$group" -v k="$kib" 'BEGIN { printf "mémoire max %-11s : %.1f Mio (objectif <= 64)\n", g, k / 1024 }'
done
