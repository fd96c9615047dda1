#!/usr/bin/env bash
# Runs a program on a virtual X server managed by openbox, so the window gets a
# real frame, as on a desktop. Usage: with_openbox.sh PROGRAM [ARGS...]
set -euo pipefail
command -v openbox > /dev/null || { echo "openbox is not installed (scripts/install-deps.sh test)" >&2; exit 1; }
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  openbox > /dev/null 2>&1 & wm=$!
  # The manager is ready once it has claimed the root window; on a busy machine
  # that can take a while, and without it the test would measure an unmanaged window.
  ready=
  for _ in $(seq 600); do
    if xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q "window id"; then ready=1; break; fi
    sleep 0.1
  done
  [ -n "$ready" ] || { echo "openbox did not start within 60 s" >&2; kill "$wm" 2> /dev/null; exit 1; }
  rc=0; "$@" || rc=$?
  kill "$wm" 2> /dev/null || true
  exit "$rc"' with_openbox "$@"
