#!/usr/bin/env bash
# The manual page and --help must describe the same command: the same
# subcommands, options (each in the subcommands that take it) and exit codes.
# Usage: manual_matches_help.sh CLI MANUAL
set -uo pipefail
cli=$1
manual=$2
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Prints what is in $1 and not in $2 (both: one item per line).
missing() { comm -23 <(sort -u <<<"$1") <(sort -u <<<"$2"); }

compare() {  # what, from --help, from the manual
  local item
  while read -r item; do [ -n "$item" ] && fail "$1: $item is in --help but not in the manual page"; done \
    < <(missing "$2" "$3")
  while read -r item; do [ -n "$item" ] && fail "$1: $item is in the manual page but not in --help"; done \
    < <(missing "$3" "$2")
}

# Long options of a --help text (CLI11 lists them as "  -h,--help", "  --tipo TIPO").
help_options() { grep -oE '^  (-[a-z],)?--[a-z-]+' | grep -oE -- '--[a-z-]+' | sort -u; }

# The manual's sections, roff escapes undone: "\-\-tipo" reads "--tipo".
section() {
  sed 's/\\-/-/g' "$manual" | awk -v name="$1" '/^\.SH /{on = ($2 == name)} on && !/^\.SH /'
}

top_help=$("$cli" --help) || { echo "FAIL: $cli --help did not exit 0" >&2; exit 1; }

# Subcommands: those --help lists under "Subcomandos:", those the manual describes.
help_subs=$(awk '/^Subcomandos:/{on=1; next} on && /^$/{exit} on {print $1}' <<<"$top_help")
manual_subs=$(section DESCRIPTION | awk 'prev == ".TP" && $1 == ".B" {print $2} {prev = $1}')
[ -n "$help_subs" ] || fail "no subcommand found in --help"
compare "subcommands" "$help_subs" "$manual_subs"

# Options: every option of the program against the manual's OPTIONS entries.
all_help=$(help_options <<<"$top_help")
declare -A sub_help
for sub in $help_subs; do
  sub_help[$sub]=$("$cli" "$sub" --help | help_options) || fail "$cli $sub --help did not exit 0"
  all_help+=$'\n'"${sub_help[$sub]}"
done
# An entry is ".TP", then ".B --x", ".BI --x ..." or ".BR -x \", \" --x" and, for an option of some
# subcommands only, a line ".RB ( testar )" or ".RB ( testar ", " instalar )".
entries=$(section OPTIONS | awk '
  prev == ".TP" && ($1 == ".B" || $1 == ".BI" || $1 == ".BR") {
    for (i = 2; i <= NF; i++) if ($i ~ /^--/) {opt = $i; print opt " *"; prev = ""; next}
  }
  opt != "" && $1 == ".RB" && $2 == "(" {
    line = $0; gsub(/"|,|\.RB|\(|\)/, " ", line); n = split(line, w, " ")
    for (i = 1; i <= n; i++) print opt " " w[i]
  }
  {opt = ""; prev = $1}')
manual_all=$(awk '{print $1}' <<<"$entries")
compare "options" "$(sort -u <<<"$all_help")" "$manual_all"

# Each option the manual gives to some subcommands: exactly those list it.
for opt in $(awk '$2 != "*" {print $1}' <<<"$entries" | sort -u); do
  want=$(awk -v o="$opt" '$1 == o && $2 != "*" {print $2}' <<<"$entries")
  have=""
  for sub in $help_subs; do
    grep -qx -- "$opt" <<<"${sub_help[$sub]}" && have+="$sub"$'\n'
  done
  compare "subcommands taking $opt" "$have" "$want"
done

# Exit codes: the lines of --help's "Códigos de saída:" and the manual's EXIT STATUS.
help_codes=$(awk '/^Códigos de saída:/{on=1; next} on && /^$/{exit} on && $1 ~ /^[0-9]+$/ {print $1}' <<<"$top_help")
manual_codes=$(section "EXIT" | awk 'prev == ".TP" && $1 == ".B" {print $2} {prev = $1}')
[ -n "$help_codes" ] || fail "no exit code found in --help"
compare "exit codes" "$help_codes" "$manual_codes"

if [ "$failures" -ne 0 ]; then
  echo "$failures difference(s) between $manual and --help" >&2
  exit 1
fi
echo "The manual page and --help agree: subcommands $(echo $help_subs), options $(sort -u <<<"$all_help" | tr '\n' ' ')"
