#!/bin/bash
# The three programs under a file-size limit (ulimit -f, what a quota-like
# limit looks like to a process), run as they ship: a write past the limit
# fails and is reported, and no program is killed by SIGXFSZ (exit 153).
#
#   file_size_limit_test.sh VESKOR VESKOR_SEARCH VESKOR_ARCHIVE
set -uo pipefail
veskor=$1 search=$2 archive=$3
work=$(mktemp -d)
failures=0
fail() { echo "FAIL [$case_name]: $*" >&2; failures=$((failures + 1)); }

# The archive, its log (--verbose) in a file that may hold 1 KiB.
mkfifo "$work/port"
(ulimit -f 1 && exec "$archive" --port 0 --verbose >"$work/port" 2>"$work/log") &
archive_pid=$!
trap 'kill $archive_pid; wait $archive_pid 2>/dev/null; rm -rf "$work"' EXIT
read -r -t 10 line <"$work/port"
url=${line#listening on }

# expect NAME MESSAGE COMMAND...: COMMAND, its output into a file that may not
# grow at all, fails with exit code 1 and says MESSAGE through a pipe.
expect() {
  case_name=$1
  local message=$2 errors status
  shift 2
  errors=$( (ulimit -f 0 && exec "$@" >"$work/out") 2>&1)
  status=$?
  [[ $status == 1 ]] || fail "exit code $status, want 1"
  [[ $errors == *"$message"* ]] || fail "message: $errors"
}
expect window_program "écriture impossible sur la sortie standard" "$veskor" --version
expect command_line "fichier trop grand" "$search" --archive "$url" --newsgroup fr.rec.photo jpg

case_name=archive
# A log line longer than the file may be: each request writes past the limit.
address=${url#http://}
for request in 1 2 3; do
  exec 3<>"/dev/tcp/${address%:*}/${address#*:}" || { fail "request $request refused"; continue; }
  printf 'GET /part2.pl?name=fr.%01100d HTTP/1.0\r\n\r\n' 0 >&3
  reply=
  read -r -t 10 reply <&3
  exec 3<&-
  [[ $reply == "HTTP/1.1 200"* ]] || fail "request $request: « $reply »"
done
kill -0 $archive_pid 2>/dev/null || fail "the archive has ended"

((failures == 0)) && echo "file size limit: all cases passed"
exit $((failures > 0))
