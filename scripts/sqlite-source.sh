#!/usr/bin/env bash
# Unpacks SQLite's source from Debian's archive into FOLDER unless it is there
# already: the sqlite3.dll of the Windows tests is built from it.
#   scripts/sqlite-source.sh FOLDER
set -euo pipefail
dest=${1:?usage: $0 FOLDER}
[ -f "$dest/tool/mksqlite3c.tcl" ] && exit 0
fetch=$(mktemp -d /tmp/brivel-sqlite-XXXXXX)
trap 'rm -rf "$fetch"' EXIT
# Debian's patches are applied: this is the SQLite that Debian ships.
if ! (cd "$fetch" && apt-get source --download-only -qq sqlite3 && dpkg-source -x ./sqlite3_*.dsc src) \
     >"$fetch/log" 2>&1; then
  cat "$fetch/log" >&2
  exit 1
fi
mkdir -p "$(dirname "$dest")"
rm -rf "$dest"
mv "$fetch/src" "$dest"
echo "SQLite source unpacked into $dest"
