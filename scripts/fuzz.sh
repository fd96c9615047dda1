#!/usr/bin/env bash
# Runs the libFuzzer targets of tests/fuzz for longer than the short runs of scripts/test.sh.
# Usage: scripts/fuzz.sh [--seconds N] [--jobs N] [--fast] [TARGET...]
#   --seconds N  time per target (default 600)
#   --jobs N     parallel fuzzing processes per target (default 1)
#   --fast       build without sanitizers: several times more executions, for broken
#                properties rather than memory errors (build-fuzz-fast/)
#   TARGET       fuzz_profile_ini fuzz_text_codec fuzz_statement_splitter fuzz_parameter_marker
#                fuzz_odbc_connection_string fuzz_firebird_attach (default: all)
# New inputs go to fuzz-work/TARGET/corpus, a failing input to fuzz-work/TARGET/ (its path
# is printed); the seeds in tests/fuzz/corpus stay as they are. Exit status 1 when any
# target failed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=600 jobs=1 fast=0 targets=()
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) seconds=$2; shift 2 ;;
    --jobs) jobs=$2; shift 2 ;;
    --fast) fast=1; shift ;;
    -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
    *) targets+=("$1"); shift ;;
  esac
done
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_profile_ini fuzz_text_codec fuzz_statement_splitter fuzz_parameter_marker
                                     fuzz_odbc_connection_string fuzz_firebird_attach)

scripts/install-deps.sh test
# Only the Qt-free core and the targets: no Qt, no tests.
if [ $fast = 1 ]; then build=$root/build-fuzz-fast sanitize=OFF; else build=$root/build-fuzz sanitize=ON; fi
CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIVEL_CORE_ONLY=ON \
  -DBRIVEL_BUILD_TESTS=OFF -DBRIVEL_BUILD_FUZZ=ON -DBRIVEL_FUZZ_SANITIZE=$sanitize >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

# shellcheck source=scripts/sanitizer-env.sh
. scripts/sanitizer-env.sh
# Less memory traffic per run (quarantine, fill of new blocks) for long runs.
export ASAN_OPTIONS="$ASAN_OPTIONS:quarantine_size_mb=16:max_malloc_fill_size=0:malloc_context_size=8"
failed=()
for target in "${targets[@]}"; do
  work=$root/fuzz-work/$target
  mkdir -p "$work"
  rm -f "$work"/fuzz-*.log
  echo "== $target: $seconds s, $jobs job(s)"
  options=()
  [ "$jobs" -gt 1 ] && options+=(-jobs="$jobs" -workers="$jobs")
  # With --jobs, libFuzzer writes each job's output to fuzz-N.log in the current folder.
  set +e
  (cd "$work" && BRIVEL_FUZZ_SECONDS=$seconds bash "$root/tests/fuzz/run-target.sh" "$build/tests/fuzz/$target" \
     "$root/tests/fuzz/corpus/$target" "$work" "${options[@]}") >"$work.log" 2>&1
  rc=$?
  set -e
  grep -hE '^(Done|stat::number_of_executed_units|Property failed|SUMMARY)|Test unit written' "$work.log" "$work"/fuzz-*.log 2>/dev/null || true
  [ $rc -eq 0 ] || failed+=("$target")
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "Failed: ${failed[*]} (see fuzz-work/<target>.log)" >&2
  exit 1
fi
echo "No failure."
