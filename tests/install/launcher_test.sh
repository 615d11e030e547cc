#!/bin/bash
# The start-up launcher, installed into a scratch prefix with a stand-in for
# the desktop program, run in scratch homes: the data folder it makes and
# fills, what it leaves alone, the demo archive each program gets and how it
# ends, and what a menu start shows when something fails.
#
#   launcher_test.sh BUILD_DIR
set -uo pipefail
build=$1
work=$(mktemp -d)
helper_pids=()
cleanup() {
  touch "$work"/*.quit 2>/dev/null
  for pid in "${helper_pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL [$case_name]: $*" >&2; failures=$((failures + 1)); }
expect_eq() { [[ $1 == "$2" ]] || fail "$3: got « $1 », want « $2 »"; }
# Tries COMMAND... for up to 5 s.
within_5s() { for _ in $(seq 50); do "$@" && return 0; sleep 0.1; done; return 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "install failed" >&2; exit 1; }
launcher=$prefix/bin/veskor-launcher
samples=$prefix/share/veskor

# A port where nothing listens, taken as the built-in archive address.
"$prefix/bin/veskor-archive" --port 0 >"$work/probe.log" 2>&1 &
probe=$!
for _ in $(seq 50); do grep -q '^listening on' "$work/probe.log" && break; sleep 0.1; done
port=$(sed -n 's/^listening on http:\/\/127.0.0.1://p' "$work/probe.log")
kill $probe; wait $probe 2>/dev/null
[[ -n $port ]] || { echo "no free port found" >&2; exit 1; }
sed -i "s|^builtin_archive=.*|builtin_archive=http://127.0.0.1:$port|" "$launcher"

# Whether something accepts connections at http://HOST:PORT.
answers_at() {
  local address=${1#http://}
  timeout 3 bash -c 'exec 3<>"/dev/tcp/$0/$1"' "${address%:*}" "${address##*:}" 2>/dev/null
}
answers() { answers_at "http://127.0.0.1:$port"; }
# Whether process $1 runs (a zombie has ended).
alive() { [[ -r /proc/$1/stat && $(sed 's/.*) //' "/proc/$1/stat" | cut -d' ' -f1) != Z ]]; }

# The program's stand-in. "--message TEXT" records TEXT as shown. Otherwise it
# reports its folder, arguments, process number, archive and that archive's
# answer to an ID lookup; with STUB_HOLD it then waits for that file to exist
# and reports the answer again; it exits with a code of its own.
cat >"$prefix/bin/veskor" <<'STUB'
#!/bin/bash
if [[ ${1:-} == --message ]]; then printf '%s\n' "$2" >>"$STUB_MESSAGES"; exit 0; fi
lookup() {
  local address=${VESKOR_ARCHIVE:-http://127.0.0.1:$STUB_PORT} reply=none
  address=${address#http://}
  if exec 3<>"/dev/tcp/${address%:*}/${address##*:}"; then
    printf 'GET /part2.pl?name=fr.rec.photo HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n' >&3
    grep -q 'ok=' <&3 && reply=id
    exec 3<&-
  fi 2>/dev/null
  echo "$reply"
}
printf '%s\n' "cwd=$PWD" "args=$*" "pid=$$" "archive=${VESKOR_ARCHIVE:-}" "reply=$(lookup)" \
  >"$STUB_REPORT.new" && mv "$STUB_REPORT.new" "$STUB_REPORT"
if [[ -n ${STUB_HOLD:-} ]]; then
  while [[ ! -e $STUB_HOLD ]]; do sleep 0.05; done
  echo "reply_end=$(lookup)" >>"$STUB_REPORT"
fi
exit 7
STUB
chmod +x "$prefix/bin/veskor"
export STUB_PORT=$port STUB_REPORT=$work/report STUB_MESSAGES=$work/messages

# run_launcher ENV=VALUE... [-- ARGS]: runs the launcher with a clean archive
# setting and a display; sets $status, $stderr and $messages.
run_launcher() {
  local envs=() args=()
  while (($#)) && [[ $1 != -- ]]; do envs+=("$1"); shift; done
  (($#)) && shift && args=("$@")
  rm -f "$STUB_REPORT" "$STUB_MESSAGES"
  env -u VESKOR_ARCHIVE -u XDG_DATA_HOME DISPLAY=:0 "${envs[@]}" "$launcher" "${args[@]}" \
    2>"$work/stderr"
  status=$?
  stderr=$(cat "$work/stderr")
  messages=$(cat "$STUB_MESSAGES" 2>/dev/null)
}
report() { sed -n "s/^$1=//p" "${2:-$STUB_REPORT}" 2>/dev/null; }

# start_session NAME ENV=VALUE...: a launcher in the background whose program
# holds until end_session NAME; its report is $work/NAME.
declare -A session
start_session() {
  local name=$1
  shift
  rm -f "$work/$name" "$work/$name.quit"
  env -u VESKOR_ARCHIVE -u XDG_DATA_HOME STUB_REPORT="$work/$name" STUB_HOLD="$work/$name.quit" \
    "$@" "$launcher" 2>/dev/null &
  session[$name]=$!
  helper_pids+=($!)
  within_5s test -e "$work/$name" || fail "session $name did not start"
}
end_session() { touch "$work/$1.quit"; wait "${session[$1]}" 2>/dev/null; }

case_name=first_start
run_launcher XDG_DATA_HOME="$work/xdg" HOME="$work/home"
data=$work/xdg/veskor
expect_eq "$status" 7 "the program's exit code"
expect_eq "$(report cwd)" "$data" "working directory"
expect_eq "$(report reply)" id "the demo archive during the session"
for f in logo2.bmp gpeliste.lst "Photo et vidéo.txt" Sciences.txt; do
  cmp -s "$samples/$f" "$data/$f" || fail "$f not copied whole"
done
expect_eq "$(stat -c %a "$data/Sciences.txt")" "$(printf '%o' $((0666 & ~8#$(umask))))" "mode"
expect_eq "$(ls -A "$data" | grep -c part)" 0 "half-copied files left"
within_5s eval '! answers_at "$(report archive)"' || fail "the demo archive outlives the program"

case_name=user_files_kept
printf 'Mes groupes\r\n' >"$data/gpeliste.lst"
rm "$data/logo2.bmp" "$data/Sciences.txt"
run_launcher XDG_DATA_HOME="$work/xdg" HOME="$work/home"
expect_eq "$(cat "$data/gpeliste.lst")" $'Mes groupes\r' "the user's group list"
[[ -f $data/logo2.bmp ]] || fail "the missing logo is not put back"
[[ -e $data/Sciences.txt ]] && fail "a group the user deleted came back"

# A link planted where a sample goes, or a group list that is a link to
# nowhere: nothing is written through a link, nothing is left half done.
case_name=links_in_the_folder
mkdir -p "$work/planted/veskor"
echo mine >"$work/target"
ln -s "$work/target" "$work/planted/veskor/gpeliste.lst.part"
run_launcher XDG_DATA_HOME="$work/planted" HOME="$work/home"
expect_eq "$(cat "$work/target")" mine "the file a planted link leads to"
[[ -f $work/planted/veskor/gpeliste.lst && ! -L $work/planted/veskor/gpeliste.lst ]] ||
  fail "the group list is not a file of its own"
mkdir -p "$work/dangling/veskor"
ln -s "$work/nowhere" "$work/dangling/veskor/gpeliste.lst"
run_launcher XDG_DATA_HOME="$work/dangling" HOME="$work/home"
expect_eq "$(readlink "$work/dangling/veskor/gpeliste.lst")" "$work/nowhere" "the user's link"
expect_eq "$(ls -A "$work/dangling/veskor" | grep -c part)" 0 "half-copied files left"

case_name=home_default
run_launcher HOME="$work/home2"
expect_eq "$(report cwd)" "$work/home2/.local/share/veskor" "folder under HOME"
# A relative XDG_DATA_HOME is no base for the folder.
run_launcher XDG_DATA_HOME=relative HOME="$work/home3"
expect_eq "$(report cwd)" "$work/home3/.local/share/veskor" "relative XDG_DATA_HOME ignored"

case_name=archive_already_served
"$prefix/bin/veskor-archive" --port "$port" >"$work/own.log" 2>&1 &
own=$!
helper_pids+=($own)
for _ in $(seq 50); do grep -q '^listening on' "$work/own.log" && break; sleep 0.1; done
run_launcher XDG_DATA_HOME="$work/xdg" HOME="$work/home"
expect_eq "$(report reply)" id "the archive already serving"
[[ -z $stderr ]] || fail "launcher complained: $stderr"
kill -0 $own 2>/dev/null && answers || fail "the launcher stopped an archive it did not start"
kill $own; wait $own 2>/dev/null

case_name=other_address
run_launcher XDG_DATA_HOME="$work/xdg" HOME="$work/home" VESKOR_ARCHIVE=http://127.0.0.1:1
expect_eq "$(report reply)" none "no demo archive for another address"
expect_eq "$status" 7 "the program's exit code"

# Two programs started from the menu, the first ending first.
case_name=two_programs
start_session one XDG_DATA_HOME="$work/xdg" HOME="$work/home"
start_session two XDG_DATA_HOME="$work/xdg" HOME="$work/home"
end_session one
expect_eq "$(report reply_end "$work/one")" id "the first program's archive at its end"
end_session two
expect_eq "$(report reply_end "$work/two")" id "the second program's archive after the first ended"

case_name=launcher_killed
start_session killed XDG_DATA_HOME="$work/xdg" HOME="$work/home"
kill -KILL "${session[killed]}"
wait "${session[killed]}" 2>/dev/null
archive=$(report archive "$work/killed")
within_5s eval '! answers_at "${archive:-http://127.0.0.1:$port}"' ||
  fail "the archive outlives its launcher"
end_session killed

case_name=launcher_terminated
start_session terminated XDG_DATA_HOME="$work/xdg" HOME="$work/home"
kill -TERM "${session[terminated]}"
within_5s eval '! alive "$(report pid "$work/terminated")"' ||
  fail "the program still runs after a SIGTERM to its launcher"
end_session terminated
archive=$(report archive "$work/terminated")
within_5s eval '! answers_at "${archive:-http://127.0.0.1:$port}"' ||
  fail "the archive outlives the program"

case_name=folder_impossible
: >"$work/a-file"
run_launcher XDG_DATA_HOME="$work/a-file" HOME="$work/home"
expect_eq "$status" 1 "exit code"
[[ $stderr == *"impossible de créer le dossier de données"* ]] || fail "message: $stderr"
expect_eq "$messages" "Impossible de créer le dossier de données $work/a-file/veskor." "window"
[[ -e $STUB_REPORT ]] && fail "the program started without its folder"

case_name=archive_fails
mv "$prefix/bin/veskor-archive" "$work/veskor-archive"
printf '#!/bin/bash\necho "port refusé" >&2\nexit 1\n' >"$prefix/bin/veskor-archive"
chmod +x "$prefix/bin/veskor-archive"
run_launcher XDG_DATA_HOME="$work/xdg" HOME="$work/home"
mv "$work/veskor-archive" "$prefix/bin/veskor-archive"
expect_eq "$messages" "L'archive de démonstration n'a pas démarré : port refusé." "window"
expect_eq "$status" 7 "the program starts all the same"

case_name=options_passed_on
run_launcher XDG_DATA_HOME="$work/xdg-options" HOME="$work/home" -- --version
expect_eq "$(report args)" --version "arguments"
[[ -e $work/xdg-options ]] && fail "a data folder was made for --version"

# In a PID namespace of its own, where numbers come back at once: the
# program's archive dies, and an unrelated process takes its number before
# the program ends. That process must outlive the launcher.
case_name=process_numbers_reused
cat >"$work/reuse.sh" <<'INNER'
export STUB_HOLD=$STUB_REPORT.quit
"$1" 2>/dev/null &
for _ in $(seq 50); do [[ -e $STUB_REPORT ]] && break; sleep 0.1; done
for process in /proc/[0-9]*; do
  [[ $(readlink "$process/exe") == */veskor-archive ]] && archive=${process#/proc/}
done
kill -KILL "${archive:?}"
for _ in $(seq 50); do [[ -e /proc/$archive ]] || break; sleep 0.1; done
echo $((archive - 1)) >/proc/sys/kernel/ns_last_pid
sleep 30 &
[[ $! == "$archive" ]] || { echo "number not reused"; exit; }
touch "$STUB_HOLD"
wait %1
kill -0 "$archive" 2>/dev/null && echo kept || echo killed
INNER
if unshare -Urpf --mount-proc true 2>/dev/null; then
  outcome=$(env -u VESKOR_ARCHIVE XDG_DATA_HOME="$work/xdg" HOME="$work/home" \
    STUB_REPORT="$work/reuse" unshare -Urpf --mount-proc bash "$work/reuse.sh" "$launcher")
  expect_eq "$outcome" kept "the process that took the archive's number"
else
  echo "SKIP [$case_name]: no PID namespace for an unprivileged user here"
fi

((failures == 0)) && echo "launcher: all cases passed"
exit $((failures > 0))
