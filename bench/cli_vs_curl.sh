#!/usr/bin/env bash
# What veskor-search costs beyond the network itself. A fast static server
# (lighttpd) serves the ID lookup reply and 500 results pages, rendered once by
# the bundled archive server, at exactly the addresses the client asks for;
# veskor-search walks them, and curl fetches the same 501 addresses over one
# kept-alive connection. Each run is timed exactly (bash's `time` waits for
# the process), the two alternate, and the medians are compared. The same
# walk against the bundled archive follows as a second line, then the peak
# memory of a 100-page and of a 1,000-page walk (the same: rows are printed
# page by page) and the start-up to the first request.
#
#   bench/cli_vs_curl.sh [BUILD_DIR [OTHER_BUILD_DIR]]
#       (default build/default, already built; RUNS=N, default 11, alternating
#       runs of each)
#
# Given a second build, the window's quick search of both builds alternates
# with the command line's, for a before and after on the same load. With
# VESKOR_BENCH_FULL_RECORD=1 the window's search is a later run of it, against
# a full record of the hits seen (100,000 addresses).

set -euo pipefail

build=${1:-build/default}
archive=$build/tools/archive_server/veskor-archive
search=$build/tools/search_cli/veskor-search
gui_benches=("$build/bench/gui_bench")
[[ -n ${2:-} ]] && gui_benches+=("$2/bench/gui_bench")
fetch_bench=$build/bench/fetch_bench
runs=${RUNS:-11}

for tool in "$archive" "$search" curl lighttpd /usr/bin/time; do
  if ! command -v "$tool" >/dev/null; then
    echo "introuvable : $tool (construire d'abord, et scripts/setup pour lighttpd)" >&2
    exit 2
  fi
done

# A loopback port that nothing listens on.
free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 40000))
    if ! (exec 3<> "/dev/tcp/127.0.0.1/$port") 2>/dev/null; then echo "$port"; return; fi
  done
}

# shellcheck source=bench/bench_lib.sh
source "$(dirname "$0")/bench_lib.sh"

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

start_server archive_url "$work/server.out" "$archive" --port 0 --page-size 20 --corpus "$work/corpus.tsv"
[[ -n $archive_url ]] || { echo "le serveur d'archive n'a pas démarré" >&2; exit 1; }

# --- the pages, rendered once, served by lighttpd ---------------------------
"$search" --archive "$archive_url" --newsgroup bench.p500 fichier 2> "$work/console.txt" > "$work/rows.txt"
{ echo "$archive_url/part2.pl?name=bench.p500"; grep '^http' "$work/console.txt"; } > "$work/urls.txt"
pages=$(wc -l < "$work/urls.txt")
mkdir "$work/www"
n=0
while read -r u; do
  case $u in
    *part2.pl*) file=id.html ;;
    *'&page='*) file=p$(sed 's/.*&page=\([0-9]*\).*/\1/' <<< "$u").html ;;
    *) file=p1.html ;;
  esac
  curl -sf -o "$work/www/$file" "$u"
  n=$((n + 1))
done < "$work/urls.txt"

port=$(free_port)
cat > "$work/lighttpd.conf" <<EOF
server.document-root = "$work/www"
server.bind = "127.0.0.1"
server.port = $port
server.errorlog = "$work/lighttpd.log"
server.modules = ( "mod_rewrite" )
server.max-keep-alive-requests = 10000
mimetype.assign = ( ".html" => "text/html" )
url.rewrite-once = (
  "^/part2\.pl\?name=bench\.p500$" => "/id.html",
  "^/articles\.pl\?search=[^&]*&gid=[0-9]+&search=rechercher&thumb=$" => "/p1.html",
  "^/articles\.pl\?gid=[0-9]+&page=([0-9]+)&search=[^&]*&thumb=$" => "/p\$1.html"
)
EOF
lighttpd -D -f "$work/lighttpd.conf" &
pids+=($!)
static_url=http://127.0.0.1:$port
for _ in $(seq 100); do curl -sf -o /dev/null "$static_url/id.html" && break; sleep 0.05; done

# The static server must give the client the very same walk.
"$search" --archive "$static_url" --newsgroup bench.p500 fichier 2>/dev/null > "$work/rows_static.txt"
if ! cmp -s "$work/rows.txt" "$work/rows_static.txt"; then
  echo "le serveur statique ne rend pas les mêmes pages que l'archive" >&2
  exit 1
fi
echo "pages : $pages adresses ($(wc -l < "$work/rows.txt") lignes de résultats)"

# curl reads the addresses from a config file: one process, one connection,
# every body to standard output (thrown away), as the client keeps them.
curl_config() { sed "s|^$archive_url|$1|; s|.*|url = \"&\"|" "$work/urls.txt"; }
curl_config "$static_url" > "$work/curl_static.cfg"
curl_config "$archive_url" > "$work/curl_archive.cfg"

# One exactly timed run: "wall user sys" in seconds.
timed() {
  local TIMEFORMAT='%3R %3U %3S'
  { time "$@" > /dev/null 2>&1 || true; } 2>&1
}

# Alternating runs of veskor-search and curl against one server.
compare() {
  local label=$1 url=$2 config=$3
  : > "$work/client.times"; : > "$work/curl.times"
  for _ in $(seq "$runs"); do
    timed "$search" -q --archive "$url" --newsgroup bench.p500 fichier >> "$work/client.times"
    timed curl -s -K "$config" >> "$work/curl.times"
  done
  local cw cc kw kc
  cw=$(awk '{ print $1 }' "$work/client.times" | median)
  cc=$(awk '{ print $2 + $3 }' "$work/client.times" | median)
  kw=$(awk '{ print $1 }' "$work/curl.times" | median)
  kc=$(awk '{ print $2 + $3 }' "$work/curl.times" | median)
  awk -v l="$label" -v cw="$cw" -v cc="$cc" -v kw="$kw" -v kc="$kc" -v p="$pages" 'BEGIN {
    printf "%-18s veskor-search %.3f s (CPU %.3f s) | curl %.3f s (CPU %.3f s) | rapport %.2f | en plus par page : %.0f us, CPU %.0f us\n",
           l, cw, cc, kw, kc, cw / kw, (cw - kw) * 1e6 / p, (cc - kc) * 1e6 / p;
  }'
  echo "$cw" > "$work/client_$label.median"
}

echo "médianes de $runs passages alternés :"
compare "serveur statique" "$static_url" "$work/curl_static.cfg"
compare "archive fournie" "$archive_url" "$work/curl_archive.cfg"

# --- one page again and again, per way of waiting ---------------------------
if [[ -x $fetch_bench ]]; then
  VESKOR_BENCH_URL=$static_url/p7.html QT_QPA_PLATFORM=offscreen "$fetch_bench" \
    --benchmark_repetitions=5 --benchmark_report_aggregates_only=true 2>/dev/null |
    awk '/_median/ { printf "une page, %-28s : %s us (CPU %s us)\n", $1, $2, $4 }'
fi

# --- the desktop program's quick search into the window, same pages ---------
if [[ -x ${gui_benches[0]} ]]; then
  : > "$work/cli.times"
  for g in "${!gui_benches[@]}"; do : > "$work/gui$g.times"; done
  for _ in $(seq "$runs"); do
    for g in "${!gui_benches[@]}"; do
      VESKOR_ARCHIVE=$static_url QT_QPA_PLATFORM=offscreen "${gui_benches[$g]}" \
        --benchmark_filter=BM_QuickSearchIntoWindow --benchmark_format=csv 2>/dev/null |
        awk -F, '/^"BM_QuickSearchIntoWindow/ { print $3 / 1000 }' >> "$work/gui$g.times"
    done
    timed "$search" -q --archive "$static_url" --newsgroup bench.p500 fichier | awk '{ print $1 }' >> "$work/cli.times"
  done
  cw=$(median < "$work/cli.times")
  for g in "${!gui_benches[@]}"; do
    gw=$(median < "$work/gui$g.times")
    awk -v b="${gui_benches[$g]%/bench/gui_bench}" -v g="$gw" -v c="$cw" 'BEGIN {
      printf "fenêtre (offscreen, %s) : recherche rapide %.3f s, ligne de commande %.3f s, rapport %.2f (objectif <= 1.3)\n", b, g, c, g / c }'
  done
fi

# --- memory and start-up ------------------------------------------------------
peak_kib() {
  /usr/bin/time -f '%M' "$search" -q --archive "$archive_url" --newsgroup "$1" fichier 2>&1 >/dev/null | tail -n 1
}
for group in bench.p100 bench.p1000; do
  kib=$(peak_kib "$group")
  awk -v g="$group" -v k="$kib" 'BEGIN { printf "mémoire max %-11s : %.1f Mio (objectif <= 64)\n", g, k / 1024 }'
done

# Start-up to the first request: a run whose first request is refused at
# once by a closed loopback port, so the run is little more than the start.
# CPU time (user + system) is steadier than the wall clock on a shared
# machine; curl loads the same libcurl and is the floor.
closed=$(free_port)
: > "$work/start_client.times"; : > "$work/start_curl.times"
for _ in $(seq "$runs"); do
  timed "$search" -q --archive "http://127.0.0.1:$closed" --newsgroup bench.p500 fichier >> "$work/start_client.times"
  timed curl -s "http://127.0.0.1:$closed/" >> "$work/start_curl.times"
done
start_line() { awk '{ print $1 * 1000 }' "$1" | median; awk '{ print ($2 + $3) * 1000 }' "$1" | median; }
read -r -d '' sw sc < <(start_line "$work/start_client.times") || true
read -r -d '' kw kc < <(start_line "$work/start_curl.times") || true
printf "démarrage jusqu'à la première requête (refusée) : veskor-search %.0f ms (CPU %.0f ms), curl %.0f ms (CPU %.0f ms)\n" \
  "$sw" "$sc" "$kw" "$kc"
if ldd "$search" | grep -qi 'libQt'; then
  echo "ldd veskor-search : lié à Qt" >&2
  exit 1
fi
echo "ldd veskor-search : aucune bibliothèque Qt"
