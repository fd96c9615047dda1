#!/usr/bin/env bash
# Installs what is missing, builds the wizard and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BRIVEL_BUILD_DIR:-$PWD/build}

scripts/install-deps.sh run
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIVEL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target SetupBrivelDB -j"$(nproc)"

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting the wizard on a virtual X server (xvfb-run)." >&2
  if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    # No login session either: the private folder Qt would fall back to, without its warning.
    XDG_RUNTIME_DIR=/tmp/runtime-$(id -un)
    export XDG_RUNTIME_DIR
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
  fi
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$build/src/SetupBrivelDB"
fi
exec "$build/src/SetupBrivelDB"
