#!/bin/bash
# The start-up launcher, installed into a scratch prefix with a stand-in for
# the desktop program, run in scratch homes: the data folder it makes and
# fills, what it leaves alone, and the demo archive it starts and stops.
#
#   launcher_test.sh BUILD_DIR
set -uo pipefail
build=$1
work=$(mktemp -d)
helper_pids=()
cleanup() {
  for pid in "${helper_pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL [$case_name]: $*" >&2; failures=$((failures + 1)); }
expect_eq() { [[ $1 == "$2" ]] || fail "$3: got « $1 », want « $2 »"; }

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

answers() { timeout 3 bash -c 'exec 3<>"/dev/tcp/127.0.0.1/$0"' "$port" 2>/dev/null; }

# The program's stand-in: reports its folder, its arguments and what the
# archive answers to an ID lookup, and exits with a code of its own.
cat >"$prefix/bin/veskor" <<'STUB'
#!/bin/bash
{
  echo "cwd=$PWD"
  echo "args=$*"
  reply=none
  if exec 3<>"/dev/tcp/127.0.0.1/$STUB_PORT"; then
    printf 'GET /part2.pl?name=fr.rec.photo HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n' >&3
    grep -q 'ok=' <&3 && reply=id
  fi 2>/dev/null
  echo "reply=$reply"
} >"$STUB_REPORT"
exit 7
STUB
chmod +x "$prefix/bin/veskor"
export STUB_PORT=$port STUB_REPORT=$work/report

# run_launcher ENV=VALUE... [-- ARGS]: runs the launcher with a clean archive
# setting; sets $status and $stderr.
run_launcher() {
  local envs=() args=()
  while (($#)) && [[ $1 != -- ]]; do envs+=("$1"); shift; done
  (($#)) && shift && args=("$@")
  rm -f "$STUB_REPORT"
  env -u VESKOR_ARCHIVE -u XDG_DATA_HOME "${envs[@]}" "$launcher" "${args[@]}" 2>"$work/stderr"
  status=$?
  stderr=$(cat "$work/stderr")
}
report() { sed -n "s/^$1=//p" "$STUB_REPORT" 2>/dev/null; }

case_name=first_start
run_launcher XDG_DATA_HOME="$work/xdg" HOME="$work/home"
data=$work/xdg/veskor
expect_eq "$status" 7 "the program's exit code"
expect_eq "$(report cwd)" "$data" "working directory"
expect_eq "$(report reply)" id "the demo archive during the session"
for f in logo2.bmp gpeliste.lst "Photo et vidéo.txt" Sciences.txt; do
  cmp -s "$samples/$f" "$data/$f" || fail "$f not copied whole"
done
[[ -z $(ls "$data" | grep '\.part$') ]] || fail "a half-copied file is left"
answers && fail "the demo archive still runs after the program ended"

case_name=user_files_kept
printf 'Mes groupes\r\n' >"$data/gpeliste.lst"
rm "$data/logo2.bmp" "$data/Sciences.txt"
run_launcher XDG_DATA_HOME="$work/xdg" HOME="$work/home"
expect_eq "$(cat "$data/gpeliste.lst")" $'Mes groupes\r' "the user's group list"
[[ -f $data/logo2.bmp ]] || fail "the missing logo is not put back"
[[ -e $data/Sciences.txt ]] && fail "a group the user deleted came back"

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

case_name=folder_impossible
: >"$work/a-file"
run_launcher XDG_DATA_HOME="$work/a-file" HOME="$work/home"
expect_eq "$status" 1 "exit code"
[[ $stderr == *"impossible de créer le dossier de données"* ]] || fail "message: $stderr"
[[ -e $STUB_REPORT ]] && fail "the program started without its folder"

case_name=options_passed_on
run_launcher XDG_DATA_HOME="$work/xdg-options" HOME="$work/home" -- --version
expect_eq "$(report args)" --version "arguments"
[[ -e $work/xdg-options ]] && fail "a data folder was made for --version"

((failures == 0)) && echo "launcher: all cases passed"
exit $((failures > 0))
