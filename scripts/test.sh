#!/usr/bin/env bash
# Installs what is missing, builds, starts the throwaway test servers and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${BRIVEL_BUILD_DIR:-$root/build}

# The tools the tests drive pass non-ASCII text only under a UTF-8 locale (isql-fb's
# line editor drops it, xdotool cannot match the window's title, Wine cannot name the
# folders). Without one (no LANG, as in a fresh machine's bare root shell), C.UTF-8,
# which is always there. Tests that set a locale of their own still get theirs.
if [ "$(locale charmap 2>/dev/null)" != UTF-8 ]; then
  export LC_ALL=C.UTF-8
fi

scripts/install-deps.sh test
# Tests ON explicitly: scripts/run.sh leaves BRIVEL_BUILD_TESTS=OFF in the same build folder's cache.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIVEL_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j"$(nproc)"

# The Qt-free core built for Windows and tested under Wine (BRIVEL_SKIP_WINDOWS=1 skips it, saying so).
scripts/test-windows.sh
# The whole wizard for Windows, its packages and its tests under Wine: not yet part of
# every run (its Qt build has not been run to the end on the project's machines).
if [ "${BRIVEL_WINDOWS_WIZARD:-0}" = 1 ]; then
  scripts/test-windows-wizard.sh
fi

servers=$(mktemp -d /tmp/brivel-servers-XXXXXX)
chmod 755 "$servers"
cleanup() { "$root/scripts/test-servers.sh" stop "$servers" || true; rm -rf "$servers"; }
trap cleanup EXIT
scripts/test-servers.sh start "$servers"
set -a
# shellcheck disable=SC1091
. "$servers/servers.env"
set +a

cd "$build"
ctest --output-on-failure --no-tests=error -j2 "$@"
