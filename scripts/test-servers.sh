#!/usr/bin/env bash
# Placeholder until the throwaway servers land: writes an empty environment.
set -euo pipefail
case ${1:-} in
  start) : > "$2/servers.env" ;;
  stop) ;;
esac
