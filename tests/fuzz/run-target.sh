#!/usr/bin/env bash
# Runs one libFuzzer target from its seed corpus for BRIVEL_FUZZ_SECONDS (default 20).
# Usage: run-target.sh TARGET SEEDS WORK [libFuzzer options...]
# New inputs go to WORK/corpus (the seeds in the tree stay as they are); a failing
# input is saved in WORK/ and its path printed. Exit status: libFuzzer's (0 = no finding).
set -euo pipefail
target=$1 seeds=$2 work=$3
shift 3
mkdir -p "$work/corpus"
seconds=${BRIVEL_FUZZ_SECONDS:-20}
exec "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work/" "$@" "$work/corpus" "$seeds"
