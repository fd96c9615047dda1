#!/usr/bin/env bash
# Builds the benchmark programs, starts throwaway database servers, prints the
# table of figures and stops the servers. Extra arguments go to brivel_bench
# (--startup-runs N, --install-runs N, --kinds sqlite,postgresql,mysql,firebird).
# Then the Windows program's start-up under Wine and its folder's size
# (bench/windows-startup.sh; BRIVEL_SKIP_WINDOWS=1 leaves it out).
# Not part of scripts/test.sh: the figures are read by people, not checked.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BRIVEL_BENCH_BUILD_DIR:-$PWD/build-bench}

scripts/install-deps.sh test
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIVEL_BUILD_BENCH=ON >/dev/null
# SetupBrivelDB puts the libpq link beside the program, which the PostgreSQL runs use.
cmake --build "$build" --target brivel_bench SetupBrivelDB -j"$(nproc)"

servers=$(mktemp -d /tmp/brivel-bench-servers-XXXXXX)
chmod 755 "$servers"
cleanup() { scripts/test-servers.sh stop "$servers" >/dev/null || true; rm -rf "$servers"; }
trap cleanup EXIT
scripts/test-servers.sh start "$servers" >/dev/null
set -a
# shellcheck disable=SC1091
. "$servers/servers.env"
set +a

"$build/bench/brivel_bench" "$@"

if [ "${BRIVEL_SKIP_WINDOWS:-0}" = 1 ]; then
  echo "BRIVEL_SKIP_WINDOWS=1: the Windows start-up is left out."
else
  cleanup
  trap - EXIT
  bench/windows-startup.sh
fi
