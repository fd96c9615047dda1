# Sourced by scripts/test.sh and scripts/fuzz.sh: how the sanitizer builds report.
# Any report fails the test (a non-zero exit); LeakSanitizer is on; the suppression
# files hold third-party frames only, each with its reason.
sanitizers_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/../tests/sanitizers" && pwd)"
export ASAN_OPTIONS="detect_leaks=1:strict_init_order=1:check_initialization_order=1:${BRIVEL_ASAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$sanitizers_dir/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$sanitizers_dir/ubsan.supp"
export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer
