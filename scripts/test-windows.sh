#!/usr/bin/env bash
# Builds the Qt-free core for 32-bit Windows with MinGW (in build-win) and runs its
# tests under Wine, in a Wine prefix of its own that is removed afterwards.
# Where the kernel cannot run 32-bit programs (scripts/windows-arch.sh), 32-bit
# Wine cannot start: the 32-bit build is then only built and inspected, and the
# same tests run from a 64-bit build (build-win/x86_64) under 64-bit Wine.
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
for f in "$bin/brivel_windows_tests.exe" "$bin/setupbriveldb-cli.exe" "$bin/sqlite3.dll"; do
  dump=$(i686-w64-mingw32-objdump -p "$f")
  grep -q 'file format pei-i386' <<<"$dump" || { echo "$f is not a 32-bit Windows file" >&2; exit 1; }
  extra=$(grep 'DLL Name:' <<<"$dump" | awk '{print $3}' |
          grep -viE '^(kernel32|msvcrt|user32|advapi32|version|shell32|ole32)\.dll$' || true)
  if [ -n "$extra" ]; then
    echo "$f needs DLLs that Windows does not have: $extra" >&2
    exit 1
  fi
done
grep -q 'sqlite3_open_v2' <<<"$(i686-w64-mingw32-objdump -p "$bin/sqlite3.dll")" ||
  { echo "sqlite3.dll does not export sqlite3_open_v2" >&2; exit 1; }

if [ "$arch" = 32 ]; then
  wine=(wine)
  export WINEARCH=win32
  exe=$bin/brivel_windows_tests.exe
  what="32-bit build under 32-bit Wine"
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
fi

prefix=$(mktemp -d /tmp/brivel-wine-XXXXXX)
cleanup() {
  WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
  rm -rf "$prefix"
}
trap cleanup EXIT
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine turns Windows file names into Unix ones in the locale's character set: under
# the POSIX locale (no LANG, as on a fresh machine) the tests' non-ASCII folders
# cannot be created. C.UTF-8 is always there.
export LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY
"${wine[@]}" wineboot -i >/dev/null 2>&1 || { echo "wineboot failed" >&2; exit 1; }
step "Wine prefix"

echo "Windows tests: $what"
status=0
"${wine[@]}" "$exe" "$@" || status=$?
step "Windows tests under Wine"
exit $status
