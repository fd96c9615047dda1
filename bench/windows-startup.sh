#!/usr/bin/env bash
# The Windows wizard's start-up under Wine, beside a bare Qt window of the same
# widgets built the same way (bench/startup_bare.cpp, same compiler, Qt, flags and
# manifest), on Wine's windows platform on a virtual display; and the size of the
# portable folder and of the packages.
#   bench/windows-startup.sh [--runs N]        (default 15 runs of each, alternated)
# Each program prints, at the end of its first frame, the time since Windows
# created its process; the wall time of the whole run (Wine's start and the
# process's end included) is shown beside it. Figures are read, not checked.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=15
[ "${1:-}" = --runs ] && runs=${2:?--runs N}
base=${BRIVEL_WIN_WIZARD_DIR:-$root/build-win-wizard}

scripts/install-windows-deps.sh
# shellcheck source=scripts/wine-session.sh
. scripts/wine-session.sh
# Where the kernel cannot run 32-bit programs the 64-bit build stands in for the start-up.
wine_for_kernel
# The shipped folder is the 32-bit one.
scripts/build-windows-wizard.sh i686 "$base" >/dev/null
[ $arch = i686 ] || scripts/build-windows-wizard.sh "$arch" "$base" >/dev/null
bin=$base/$arch/bin

wine_prefix brivel-wine-bench
wine_display
# Wine's server stays up between runs, as Windows itself does: what is measured is
# the program's start, not Wine's.
wineserver -p
"${wine[@]}" "$bin/brivel_bench_bare.exe" >/dev/null   # first run: caches warmed for both

declare -A frame wall cpu rss files translated
for _ in $(seq "$runs"); do
  for p in startup bare; do
    t=$(date +%s%N)
    out=$("${wine[@]}" "$bin/brivel_bench_$p.exe")
    wall[$p]+="$(( ($(date +%s%N) - t) / 1000 )) "
    frame[$p]+="$(sed -n 's/.*created_frame_ns=\([0-9]*\).*/\1/p' <<<"$out" | awk '{print int($1/1000)}') "
    cpu[$p]+="$(sed -n 's/.*cpu_us=\([0-9]*\).*/\1/p' <<<"$out") "
    rss[$p]+="$(sed -n 's/.*maxrss_kb=\([0-9]*\).*/\1/p' <<<"$out") "
    files[$p]+="$(tr -d '\r' <<<"$out" | sed -n 's/.* files=\([^ ]*\).*/\1/p')",
    translated[$p]=$(sed -n 's/.*qt_translated=\([a-z]*\).*/\1/p' <<<"$out")
    grep -q 'dblibs=none' <<<"$out" || echo "note: $p loaded a client library before its first frame: $out"
  done
done
median() { tr ' ' '\n' | grep . | sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : int((a[NR/2]+a[NR/2+1])/2)}'; }
ms() { awk '{printf "%.1f", $1/1000}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", a/b}'; }

echo
echo "Windows start-up under Wine ($arch build, $runs runs each, medians; Wine $("${wine[@]}" --version 2>/dev/null))"
printf '%-38s %12s %12s %8s\n' "" "SetupBrivelDB" "bare window" "ratio"
for row in "frame:first frame since creation (ms)" "wall:whole run, Wine included (ms)" "cpu:CPU time to first frame (ms)"; do
  key=${row%%:*} label=${row#*:}
  declare -n values=$key
  a=$(median <<<"${values[startup]}") b=$(median <<<"${values[bare]}")
  printf '%-38s %12s %12s %8s\n' "$label" "$(ms <<<"$a")" "$(ms <<<"$b")" "$(ratio "$a" "$b")"
  unset -n values
done
a=$(median <<<"${rss[startup]}") b=$(median <<<"${rss[bare]}")
printf '%-38s %12s %12s %8s\n' "peak working set (MiB)" "$(awk -v k="$a" 'BEGIN{printf "%.1f", k/1024}')" \
  "$(awk -v k="$b" 'BEGIN{printf "%.1f", k/1024}')" "$(ratio "$a" "$b")"
echo "target: first frame ratio <= 1.15"
# What each has loaded at its first frame, so a difference in time can be told from a difference in work.
modules() { tr ',' '\n' <<<"${files[$1]}" | sed 's/%20/ /g' | grep . | LC_ALL=C sort -u; }
only() { comm -23 <(modules "$1") <(modules "$2") | paste -sd, - | sed 's/,/, /g'; }
echo "Loaded at the first frame: SetupBrivelDB $(modules startup | wc -l) modules, bare window $(modules bare | wc -l);" \
  "Qt's texts translated: SetupBrivelDB ${translated[startup]:-?}, bare window ${translated[bare]:-?}" \
  "(SetupBrivelDB reads Qt's translation after its first frame)"
echo "  only in SetupBrivelDB: $(only startup bare | sed 's/^$/nothing/')"
echo "  only in the bare window: $(only bare startup | sed 's/^$/nothing/')"

echo
echo "Portable folder (what the ZIP and the MSI hold):"
for a in i686 x86_64; do
  folder=$base/$a/SetupBrivelDB
  [ -d "$folder" ] || continue
  printf '  %-6s %2d files, %6d KiB  (largest: %s)\n' "$a" "$(find "$folder" -type f | wc -l)" \
    "$(du -sk "$folder" | cut -f1)" \
    "$(cd "$folder" && find . -type f -printf '%s %P\n' | sort -rn | head -3 | awk '{printf "%s%s %d KiB", (NR > 1 ? ", " : ""), $2, $1 / 1024}')"
done
if [ -d "$base/packages" ]; then
  for f in "$base"/packages/SetupBrivelDB-*.{zip,msi}; do
    [ -f "$f" ] && printf '  %-34s %6d KiB\n' "$(basename "$f")" "$(( $(stat -c %s "$f") / 1024 ))"
  done
fi
