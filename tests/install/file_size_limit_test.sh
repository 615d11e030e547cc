#!/bin/bash
# The three programs under a file-size limit (ulimit -f, what a quota-like
# limit looks like to a process), each run as it ships: a write past the
# limit fails and is reported, and the program is not killed by SIGXFSZ.
#
#   file_size_limit_test.sh VESKOR VESKOR_SEARCH VESKOR_ARCHIVE
set -uo pipefail
veskor=$1 search=$2 archive=$3
work=$(mktemp -d)
archive_pids=()
cleanup() {
  for pid in "${archive_pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL [$case_name]: $*" >&2; failures=$((failures + 1)); }

# limited BLOCKS OUT COMMAND...: runs COMMAND with files limited to BLOCKS
# KiB, its output into the file OUT and its errors through a pipe (which no
# limit holds) into $errors; sets $status.
limited() {
  local blocks=$1 out=$2
  shift 2
  errors=$( (ulimit -f "$blocks" && exec "$@" >"$out") 2>&1)
  status=$?
}

# start_archive LOG_BLOCKS ARGS...: a demo archive whose error output goes to
# $work/archive.log, limited to LOG_BLOCKS KiB; sets $url.
start_archive() {
  local blocks=$1
  shift
  rm -f "$work/port"
  mkfifo "$work/port"
  (ulimit -f "$blocks" && exec "$archive" --port 0 "$@" >"$work/port" 2>"$work/archive.log") &
  archive_pids+=($!)
  read -r -t 10 line <"$work/port"
  url=${line#listening on }
}

# get URL_PATH: whether the archive answers a request, with status 200.
get() {
  local hostport=${url#http://}
  exec 3<>"/dev/tcp/${hostport%:*}/${hostport#*:}" || return 1
  printf 'GET %s HTTP/1.0\r\nHost: x\r\n\r\n' "$1" >&3
  local reply=
  read -r -t 10 reply <&3
  exec 3<&-
  [[ $reply == "HTTP/1.1 200"* ]]
}

case_name=window_program
limited 0 "$work/version" "$veskor" --version
[[ $status == 1 ]] || fail "exit code $status, want 1 (153: killed by SIGXFSZ)"
[[ $errors == *"écriture impossible sur la sortie standard"* ]] || fail "message: $errors"

case_name=command_line
start_archive 100
limited 0 "$work/rows" "$search" --archive "$url" --newsgroup fr.rec.photo jpg
[[ $status == 1 ]] || fail "exit code $status, want 1 (153: killed by SIGXFSZ)"
[[ $errors == *"fichier trop grand"* ]] || fail "message: $errors"

case_name=archive
# One line of its log fills the file: every request after it writes past the limit.
start_archive 1 --verbose
name=$(printf 'fr.%01100d' 0)
for request in 1 2 3; do
  get "/part2.pl?name=$name" || fail "request $request not answered"
done
kill -0 "${archive_pids[-1]}" 2>/dev/null || fail "the archive has ended"

((failures == 0)) && echo "file size limit: all cases passed"
exit $((failures > 0))
