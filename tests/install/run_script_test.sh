#!/bin/bash
# scripts/run without a display, in a scratch copy of the source tree whose
# set-up and build do nothing and whose archive starts as slowly as asked: it
# starts one archive per port it tries, leaves none behind, and its sample
# searches show hits under a title that says what each one searched.
#
#   run_script_test.sh SOURCE_DIR VESKOR_ARCHIVE VESKOR_SEARCH
set -uo pipefail
source=$1 archive=$(readlink -f "$2") search=$(readlink -f "$3")
work=$(mktemp -d)
starts=$work/archive-starts
cleanup() {
  # Only what a failing run left: the archives it started, by their number.
  while read -r pid; do kill "$pid" 2>/dev/null; done <"$starts" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL [$case_name]: $*" >&2; failures=$((failures + 1)); }

tree=$work/tree
mkdir -p "$tree/scripts" "$tree/assets" "$tree/build/app/tools/archive_server" \
  "$tree/build/app/tools/search_cli"
cp "$source/scripts/run" "$tree/scripts/"
cp -r "$source/assets/samples" "$source/assets/logo2.bmp" "$tree/assets/"
printf '#!/bin/bash\n' | tee "$tree/scripts/setup" >"$tree/scripts/build"
ln -s "$search" "$tree/build/app/tools/search_cli/veskor-search"
cat >"$tree/build/app/tools/archive_server/veskor-archive" <<STUB
#!/bin/bash
echo \$\$ >>"$starts"
sleep "\$ARCHIVE_DELAY"
exec "$archive" "\$@"
STUB
chmod +x "$tree/scripts/"* "$tree/build/app/tools/archive_server/veskor-archive"

# A port that another program holds.
"$archive" --port 0 >"$work/held.log" 2>&1 &
held=$!
for _ in $(seq 50); do grep -q '^listening on' "$work/held.log" && break; sleep 0.1; done
held_port=$(sed -n 's/^listening on http:\/\/127.0.0.1://p' "$work/held.log")

# case NAME DELAY PORT STARTS: the archive takes DELAY seconds to start,
# scripts/run tries PORT first and must start STARTS archives.
run_case() {
  case_name=$1
  rm -f "$starts"
  output=$(env -u DISPLAY -u WAYLAND_DISPLAY ARCHIVE_DELAY="$2" VESKOR_PORT="$3" \
    "$tree/scripts/run" 2>"$work/stderr")
  local status=$?
  [[ $status == 0 ]] || fail "exit code $status: $(cat "$work/stderr")"
  [[ $(wc -l <"$starts") == "$4" ]] || fail "$(wc -l <"$starts") archives started, want $4"
  while read -r pid; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && fail "archive $pid still runs after the script"
  done <"$starts"
  # Each sample: its title, then hits of the newsgroups it names.
  [[ $output == *"Recherche rapide de « balade » dans le newsgroup fr.rec.moto :"* ]] ||
    fail "quick search title: $output"
  for newsgroup in fr.rec.moto fr.sci.astronomie fr.comp.lang.c++; do
    grep -q $'\t'"$newsgroup\$" <<<"$output" || fail "no hit of $newsgroup: $output"
  done
  [[ $output == *"Recherche Vesko de « ou » dans chaque newsgroup du groupe « Sciences »"* ]] ||
    fail "group search title: $output"
}
# Slower than any fixed wait that would give up on it and start another.
run_case slow_archive 6 0 1
run_case port_taken 0 "$held_port" 2
kill $held; wait $held 2>/dev/null

((failures == 0)) && echo "scripts/run: all cases passed"
exit $((failures > 0))
