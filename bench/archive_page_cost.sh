#!/usr/bin/env bash
# What the bundled archive server spends on each results page: curl fetches
# 500 consecutive pages of one 10,000-hit search over one kept-alive
# connection, and the server's own CPU time (its threads' run time in /proc) and curl's wall time
# are taken per page. Given two server binaries, the runs alternate between
# them so that both see the same load from the rest of the machine.
#
#   bench/archive_page_cost.sh [SERVER [OTHER_SERVER]]
#       (default build/default/tools/archive_server/veskor-archive; RUNS=7)
#
# Prints, per server: the median over the runs of the wall time per page,
# of the server's CPU time per page, and the number of TCP connections curl
# opened (1 when the server keeps the connection alive to the end).
# VERBOSE=1 also prints every run: wall us/page, CPU us/page, connections.

set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
servers=("${@:-$root/build/default/tools/archive_server/veskor-archive}")
runs=${RUNS:-7}
pages=500

for tool in "${servers[@]}" curl; do
  command -v "$tool" >/dev/null || { echo "archive_page_cost: $tool not found" >&2; exit 2; }
done

# shellcheck source=bench/bench_lib.sh
source "$(dirname "$0")/bench_lib.sh"

# One newsgroup whose 10,000 posts all hold the word: 500 pages of 20.
one_word_corpus bench.p500 903 10000 > "$work/corpus.tsv"

# A curl config: every page's address with its body thrown away.
curl_config() {
  printf 'url = "%s"\noutput = "/dev/null"\n' "$1/articles.pl?search=fichier&gid=903&search=rechercher&thumb="
  for p in $(seq 2 $pages); do
    printf 'url = "%s"\noutput = "/dev/null"\n' "$1/articles.pl?gid=903&page=$p&search=fichier&thumb="
  done
}

server_pids=()
for i in "${!servers[@]}"; do
  start_server url "$work/server$i.out" "${servers[$i]}" --port 0 --corpus "$work/corpus.tsv"
  server_pids[i]=$server_pid
  [[ -n $url ]] || { echo "archive_page_cost: ${servers[$i]} did not start" >&2; exit 1; }
  curl_config "$url" > "$work/curl$i.cfg"
done

# CPU nanoseconds of all the server's threads (the pools keep their threads,
# so none of a run's work leaves with an exited thread).
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ n += $1 } END { printf "%d\n", n }'; }

# Warm-up: the first run of each server fills caches on both sides.
for i in "${!servers[@]}"; do curl -s -K "$work/curl$i.cfg"; done

for run in $(seq "$runs"); do
  for i in "${!servers[@]}"; do
    before=$(cpu_ns "${server_pids[$i]}")
    start=$(date +%s%N)
    # curl runs in the foreground: its end is waited for, never polled.
    connects=$(curl -s -w '%{num_connects}\n' -K "$work/curl$i.cfg" |
               awk '{ n += $1 } END { print n }')
    wall_ns=$(( $(date +%s%N) - start ))
    after=$(cpu_ns "${server_pids[$i]}")
    echo "$(( wall_ns / 1000 / pages )) $(( (after - before) / 1000 / pages )) $connects" \
      >> "$work/result$i.txt"
  done
done

for i in "${!servers[@]}"; do
  wall=$(cut -d' ' -f1 "$work/result$i.txt" | median)
  cpu=$(cut -d' ' -f2 "$work/result$i.txt" | median)
  conns=$(cut -d' ' -f3 "$work/result$i.txt" | median)
  [[ -n ${VERBOSE:-} ]] && cat "$work/result$i.txt"
  printf '%s\n  wall %s us/page, server CPU %s us/page, connections %s (median of %d runs)\n' \
    "${servers[$i]}" "$wall" "$cpu" "$conns" "$runs"
done
