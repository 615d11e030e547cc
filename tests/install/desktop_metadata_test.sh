#!/bin/bash
# The desktop entry, the AppStream metadata and the man pages as the
# desktop's and Debian's own tools read them.
#
#   desktop_metadata_test.sh SOURCE_ASSETS BUILD_ASSETS
set -uo pipefail
src=$1
built=$2
failures=0
for tool in desktop-file-validate appstreamcli groff; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/setup --test" >&2; exit 1; }
done

desktop-file-validate "$src/org.example.veskor.desktop" || failures=$((failures + 1))
appstreamcli validate --no-net --explain "$built/org.example.veskor.metainfo.xml" ||
  failures=$((failures + 1))
for page in "$built"/man/*.1; do
  # A .so page only points at another one.
  grep -q '^\.so ' "$page" && continue
  warnings=$(LC_ALL=C.UTF-8 groff -man -K utf8 -ww -z "$page" 2>&1)
  [[ -z $warnings ]] || { echo "$page: $warnings" >&2; failures=$((failures + 1)); }
done
exit $((failures > 0))
