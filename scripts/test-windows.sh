#!/usr/bin/env bash
# Builds the Qt-free core for 32-bit Windows with MinGW (in build-win) and runs its
# tests under Wine, in a Wine prefix of its own that is removed afterwards.
# Where the kernel cannot run 32-bit programs (scripts/windows-arch.sh), 32-bit
# Wine cannot start: the 32-bit build is then only built and inspected, and the
# same tests run from a 64-bit build (build-win/x86_64) under 64-bit Wine.
# The adapters' tests reach the host's throwaway servers: with BRIVEL_TEST_PG_HOST
# and the rest of scripts/test-servers.sh's environment set (scripts/test.sh sets
# them), those servers; otherwise the script starts its own and stops them.
# Client DLLs: libpq.dll and libmariadb.dll built from Debian's sources
# (scripts/build-windows-clients.sh, cached), Wine's odbc32.dll over the host's
# unixODBC, and stand-ins for oci.dll and fbclient.dll (tests/standins). The 32-bit
# test folder is filled and its imports checked on every machine, the 64-bit one
# where it is used.
# BRIVEL_SKIP_WINDOWS=1 skips it all (for developers; it says so).
# Arguments go to the test program: a part of the names of the cases to run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${BRIVEL_WIN_BUILD_DIR:-$root/build-win}

if [ "${BRIVEL_SKIP_WINDOWS:-0}" = 1 ]; then
  echo "Windows tests SKIPPED: BRIVEL_SKIP_WINDOWS=1"
  exit 0
fi

step_start=$SECONDS
step() { echo "== $1 ($((SECONDS - step_start)) s)"; step_start=$SECONDS; }

scripts/install-windows-deps.sh
arch=$(scripts/windows-arch.sh)
step "Windows tools ready"

# SQLite's source from Debian's archive, for the sqlite3.dll beside the tests.
sqlite_src=$build/sqlite-source
if [ ! -f "$sqlite_src/tool/mksqlite3c.tcl" ]; then
  scripts/sqlite-source.sh "$sqlite_src"
  step "SQLite source unpacked"
fi

configure() {  # build folder, toolchain, SQLite source
  cmake -S . -B "$1" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$2" -DBRIVEL_CORE_ONLY=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIVEL_SQLITE_SOURCE_DIR="$3" >/dev/null
}
configure "$build" toolchain-i686-w64-mingw32.cmake "$sqlite_src"
cmake --build "$build" -j2 --target brivel_windows_tests
bin=$build/tests/windows/bin
step "32-bit Windows build"

# What the 32-bit files need from the system: Windows' own DLLs only.
for f in "$bin/brivel_windows_tests.exe" "$bin/setupbriveldb-cli.exe" "$bin/sqlite3.dll" "$bin/fbclient.dll" \
         "$bin/standins/oci.dll"; do
  dump=$(i686-w64-mingw32-objdump -p "$f")
  grep -q 'file format pei-i386' <<<"$dump" || { echo "$f is not a 32-bit Windows file" >&2; exit 1; }
  extra=$(grep 'DLL Name:' <<<"$dump" | awk '{print $3}' |
          grep -viE '^(kernel32|msvcrt|user32|advapi32|version|shell32|ole32|ws2_32)\.dll$' || true)
  if [ -n "$extra" ]; then
    echo "$f needs DLLs that Windows does not have: $extra" >&2
    exit 1
  fi
done
grep -q 'sqlite3_open_v2' <<<"$(i686-w64-mingw32-objdump -p "$bin/sqlite3.dll")" ||
  { echo "sqlite3.dll does not export sqlite3_open_v2" >&2; exit 1; }
# The Firebird stand-in's __stdcall functions go out under their plain names, as
# from the real fbclient.dll (GetProcAddress finds no "isc_attach_database@24").
exports=$(i686-w64-mingw32-objdump -p "$bin/fbclient.dll")
if ! grep -qw 'isc_attach_database' <<<"$exports" || grep -q '@[0-9]' <<<"$exports"; then
  echo "fbclient.dll does not export its functions under their plain names" >&2
  exit 1
fi

# shellcheck source=scripts/windows-imports.sh
. scripts/windows-imports.sh
# libpq.dll and libmariadb.dll beside the tests, as the program finds them, with the
# MinGW runtime they import (the 32-bit ones need libgcc_s_dw2-1.dll): the whole
# folder's imports are checked, so a missing DLL fails here too where 32-bit Wine
# cannot run.
fill_test_folder() {  # folder, i686|x86_64
  scripts/build-windows-clients.sh "$2" "$1"
  add_mingw_runtime "$1" "$2"
  check_imports "$1" "$2" || exit 1
  echo "Test folder $1 ($2): $(cd "$1" && find . -iname '*.dll' | wc -l) DLLs, imports checked"
}
fill_test_folder "$bin" i686
step "Client DLLs (i686)"

if [ "$arch" = 32 ]; then
  wine=(wine)
  export WINEARCH=win32
  exe=$bin/brivel_windows_tests.exe
  what="32-bit build under 32-bit Wine"
  odbc_driver=/usr/lib/i386-linux-gnu/odbc/psqlodbcw.so
else
  echo "This kernel does not run 32-bit programs, so 32-bit Wine cannot start here:"
  echo "the 32-bit build above is built and checked; its tests run from the 64-bit build."
  configure "$build/x86_64" toolchain-x86_64-w64-mingw32.cmake "$build/sqlite-amalgamation"
  cmake --build "$build/x86_64" -j2 --target brivel_windows_tests
  step "64-bit Windows build"
  export WINELOADER=/usr/lib/wine/wine64
  wine=("$WINELOADER")
  exe=$build/x86_64/tests/windows/bin/brivel_windows_tests.exe
  what="64-bit build under 64-bit Wine"
  odbc_driver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so
  fill_test_folder "$(dirname "$exe")" x86_64
  step "Client DLLs (x86_64)"
fi

# shellcheck source=scripts/wine-session.sh
. scripts/wine-session.sh
prefix=$(mktemp -d /tmp/brivel-wine-XXXXXX)
own_servers=''
readonly_mount=''
cleanup() {
  WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
  [ -z "$readonly_mount" ] || umount "$readonly_mount" || true
  [ -z "$own_servers" ] || { scripts/test-servers.sh stop "$own_servers" || true; rm -rf "$own_servers"; }
  rm -rf "$prefix"
}
trap cleanup EXIT

if [ -z "${BRIVEL_TEST_PG_HOST:-}" ]; then
  own_servers=$(mktemp -d /tmp/brivel-servers-XXXXXX)
  chmod 755 "$own_servers"
  scripts/test-servers.sh start "$own_servers" >/dev/null
  set -a
  # shellcheck disable=SC1091
  . "$own_servers/servers.env"
  set +a
  step "Test servers"
fi
# Wine's odbc32.dll hands the calls to the host's unixODBC, which reads its driver
# list from the Unix environment: the PostgreSQL driver of Wine's architecture
# under a SQL Server driver's name, as the Linux tests register it.
mkdir -p "$prefix/odbc"
printf '[ODBC Driver 17 for SQL Server]\nDriver=%s\n' "$odbc_driver" >"$prefix/odbc/odbcinst.ini"
export ODBCSYSINI=$prefix/odbc ODBCINSTINI=odbcinst.ini
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine turns Windows file names into Unix ones in the locale's character set: under
# the POSIX locale (no LANG, as on a fresh machine) the tests' non-ASCII folders
# cannot be created. C.UTF-8 is always there.
export LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY
"${wine[@]}" wineboot -i >/dev/null 2>&1 || { echo "wineboot failed" >&2; exit 1; }
# A folder the tests may not write.
wine_readonly_folder
step "Wine prefix"

echo "Windows tests: $what"
status=0
"${wine[@]}" "$exe" "$@" || status=$?
step "Windows tests under Wine"
exit $status
