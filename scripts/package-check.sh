#!/usr/bin/env bash
# Builds the .deb and the .tar.gz from a built tree, checks what they hold and
# what lintian says, installs the .deb with apt-get, then opens and closes the
# installed wizard (by its command and by its menu entry) and the unpacked
# .tar.gz on a virtual X server, expecting exit code 0 each time; purges the
# package again unless it was installed before.
# Usage: scripts/package-check.sh BUILD_DIR    (as root; exits 77 otherwise)
set -euo pipefail

title='Assistente de Configuração do Banco - Brivel'
pkg=setupbriveldb
folder=/opt/brivel

fail() { echo "FAIL: $*" >&2; exit 1; }

# Run under xvfb-run: start the program, wait for its window, close the window
# the way a window manager's close button does (WM_DELETE_WINDOW) and expect
# the program to end with exit code 0.
if [ "${1:-}" = --open-close ]; then
  expected_exe=$2
  shift 2
  "$@" &
  pid=$!
  win=
  for _ in $(seq 300); do
    win=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n1) || true
    [ -n "$win" ] && break
    if ! kill -0 "$pid" 2>/dev/null; then
      rc=0; wait "$pid" || rc=$?
      fail "'$*' ended with exit code $rc before its window opened"
    fi
    sleep 0.1
  done
  [ -n "$win" ] || { kill "$pid"; fail "no window titled '$title' from '$*'"; }
  [ "$(xdotool getwindowpid "$win")" = "$pid" ] || { kill "$pid"; fail "the window is not the started program's"; }
  exe=$(readlink "/proc/$pid/exe")
  [ "$exe" = "$expected_exe" ] || { kill "$pid"; fail "'$*' runs $exe, expected $expected_exe"; }
  echo "window $win of $exe opened"

  perl -MX11::Protocol -e '
    my $x = X11::Protocol->new;
    my $w = $ARGV[0];
    $x->SendEvent($w, 0, 0, $x->pack_event(name => "ClientMessage", window => $w,
        type => $x->atom("WM_PROTOCOLS"), format => 32,
        data => pack("L5", $x->atom("WM_DELETE_WINDOW"), 0, 0, 0, 0)));
    $x->GetInputFocus;  # a round trip, so the event is delivered before we leave
  ' "$win"
  for _ in $(seq 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill -9 "$pid"
    fail "'$*' still runs after its window was closed"
  fi
  rc=0; wait "$pid" || rc=$?
  [ "$rc" -eq 0 ] || fail "'$*' ended with exit code $rc after its window was closed"
  echo "window closed, exit code 0"
  exit 0
fi

[ $# -eq 1 ] || { echo "Usage: $0 BUILD_DIR" >&2; exit 2; }
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: installing the package needs root" >&2
  exit 77
fi
build=$(cd "$1" && pwd)
self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")

work=$(mktemp -d /tmp/brivel-package-XXXXXX)
installed_before=no
dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' && installed_before=yes
we_installed=no
cleanup() {
  if [ "$we_installed" = yes ] && [ "$installed_before" = no ]; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq -o DPkg::Lock::Timeout=300 "$pkg" >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# The program's own user settings go to a scratch home, not root's.
mkdir -m 700 "$work/home" "$work/runtime"
open_close() {
  env HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/runtime" \
      QT_QPA_PLATFORM=xcb \
      xvfb-run -a -s "-screen 0 1280x800x24" bash "$self" --open-close "$@"
}

# Package names of a Depends/Recommends field, one a line.
names() { local s=${1//|/,}; tr ',' '\n' <<<"$s" | sed 's/^ *//; s/[ (:].*//; /^$/d'; }

echo "== cpack"
(cd "$build" && cpack -B "$work/out") >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
shopt -s nullglob
debs=("$work"/out/*.deb)
tgzs=("$work"/out/*.tar.gz)
shopt -u nullglob
{ [ ${#debs[@]} -eq 1 ] && [ ${#tgzs[@]} -eq 1 ]; } || fail "expected one .deb and one .tar.gz in $work/out"
deb=${debs[0]}
tgz=${tgzs[0]}
echo "$(basename "$deb"), $(basename "$tgz")"

echo "== control fields"
dpkg-deb -f "$deb"
[ "$(dpkg-deb -f "$deb" Package)" = "$pkg" ] || fail "package name"
version=$(dpkg-deb -f "$deb" Version)
depends=$(names "$(dpkg-deb -f "$deb" Depends)")
recommends=$(names "$(dpkg-deb -f "$deb" Recommends)")
for p in libqt6core6 libqt6gui6 libqt6widgets6; do
  grep -qx "$p" <<<"$depends" || fail "Depends lacks $p"
done
for p in libpq5 libmariadb3 libfbclient2 libsqlite3-0 unixodbc qt6-translations-l10n; do
  grep -qx "$p" <<<"$recommends" || fail "Recommends lacks $p"
done
# Opened with dlopen: a hard dependency would mean one was linked by mistake.
for p in libpq5 libmariadb3 libfbclient2 libsqlite3-0 unixodbc libodbc2; do
  if grep -qx "$p" <<<"$depends"; then fail "Depends has $p, a client library loaded at run time"; fi
done

echo "== contents of the .deb"
d=$work/deb
dpkg-deb -x "$deb" "$d"
exe=$d$folder/SetupBrivelDB
{ [ -f "$exe" ] && [ -x "$exe" ]; } || fail "no executable $folder/SetupBrivelDB"
file -b "$exe" | grep -q ', stripped' || fail "the executable is not stripped: $(file -b "$exe")"
[ -f "$d$folder/SetupBrivelDB.png" ] || fail "no icon in $folder"
# The machine's own libpq5: a 32-bit one may be installed beside it (multiarch).
system_libpq=$(dpkg -L "libpq5:$(dpkg --print-architecture)" | grep '/libpq\.so\.5$' | head -n1)
[ "$(readlink "$d$folder/libpq.so.5")" = "$system_libpq" ] \
  || fail "$folder/libpq.so.5 -> '$(readlink "$d$folder/libpq.so.5")', expected the system's $system_libpq"
[ "$(readlink "$d/usr/bin/$pkg")" = "$folder/SetupBrivelDB" ] || fail "/usr/bin/$pkg does not link to the program"
cli=$d$folder/setupbriveldb-cli
{ [ -f "$cli" ] && [ -x "$cli" ]; } || fail "no executable $folder/setupbriveldb-cli"
file -b "$cli" | grep -q ', stripped' || fail "the command-line program is not stripped: $(file -b "$cli")"
[ "$(readlink "$d/usr/bin/$pkg-cli")" = "$folder/setupbriveldb-cli" ] || fail "/usr/bin/$pkg-cli does not link to the program"
# No Qt in the command-line program: it must run where only the core's libraries are.
if ldd "$cli" | grep -qi 'libQt'; then fail "setupbriveldb-cli links Qt"; fi
# lintian below checks what man says of them.
for page in "$pkg" "$pkg-cli"; do
  [ -f "$d/usr/share/man/man1/$page.1.gz" ] || fail "no manual page $page.1.gz"
done
stray=$(find "$d" ! -type d -printf '/%P\n' | grep -v -e "^$folder/" -e '^/usr/' || true)
[ -z "$stray" ] || fail "files outside $folder and /usr: $stray"

desktop=$d/usr/share/applications/$pkg.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
entry() { sed -n "/^\[Desktop Entry\]/,/^\[/s/^$1=//p" "$desktop"; }
{ [ "$(entry Exec)" = "$folder/SetupBrivelDB" ] && [ "$(entry TryExec)" = "$folder/SetupBrivelDB" ]; } \
  || fail "the menu entry does not start $folder/SetupBrivelDB"
{ [ -n "$(entry Name)" ] && [ -n "$(entry Comment)" ]; } || fail "the menu entry lacks Name or Comment"
# The folder is root's: the entry's action starts the wizard through pkexec and
# the package's polkit action, which names the program and keeps the display.
[ "$(sed -n '/^\[Desktop Action administrador\]/,/^\[/s/^Exec=//p' "$desktop")" = "pkexec $folder/SetupBrivelDB" ] \
  || fail "the menu entry has no action that starts $folder/SetupBrivelDB through pkexec"
policy=$d/usr/share/polkit-1/actions/br.com.brivel.$pkg.policy
xmllint --noout "$policy" \
  || fail "the polkit action is not well-formed XML"
grep -q "<annotate key=\"org.freedesktop.policykit.exec.path\">$folder/SetupBrivelDB</annotate>" "$policy" &&
  grep -q '<annotate key="org.freedesktop.policykit.exec.allow_gui">true</annotate>' "$policy" \
  || fail "the polkit action does not name $folder/SetupBrivelDB with its display"
icon=$(entry Icon)
[ -f "$d/usr/share/icons/hicolor/48x48/apps/$icon.png" ] || fail "no 48x48 icon '$icon' in the hicolor theme"
for png in "$d"/usr/share/icons/hicolor/*/apps/*.png; do
  size=$(basename "$(dirname "$(dirname "$png")")")
  file -b "$png" | grep -q "PNG image data, ${size/x/ x }," \
    || fail "${png#"$d"} is $(file -b "$png"), not $size"
done

doc=$d/usr/share/doc/$pkg
[ -f "$doc/copyright" ] || fail "no copyright file"
zcat "$doc/changelog.gz" >"$work/changelog"
[ "$(dpkg-parsechangelog -l "$work/changelog" -S Version)" = "$version" ] \
  || fail "the changelog's latest entry is not version $version: add one to packaging/debian/changelog"

echo "== lintian"
# --show-overrides makes lintian exit with 2, so the overridden tags are listed
# by a second run whose exit code is not the verdict.
rc=0
lintian --fail-on error --display-info "$deb" >"$work/lintian.log" 2>&1 || rc=$?
grep -v "^running with root privileges" "$work/lintian.log" || true
lintian --show-overrides "$deb" 2>/dev/null | grep "^O:" || true
[ "$rc" -eq 0 ] || fail "lintian reports errors (exit code $rc)"
echo "no errors"

echo "== the .tar.gz"
tar -tzf "$tgz" | sed 's|^\./||' | grep -v '/$' | sort >"$work/tgz.list"
top=$(head -n1 "$work/tgz.list" | cut -d/ -f1)
printf '%s\n' "$top/SetupBrivelDB" "$top/SetupBrivelDB.png" "$top/libpq.so.5" "$top/setupbriveldb-cli" |
  sort >"$work/tgz.expected"
diff -u "$work/tgz.expected" "$work/tgz.list" || fail "the .tar.gz holds other than the program's folder"
mkdir "$work/portable"
tar -xzf "$tgz" -C "$work/portable"
open_close "$work/portable/$top/SetupBrivelDB" "$work/portable/$top/SetupBrivelDB" || fail "the unpacked .tar.gz"
"$work/portable/$top/setupbriveldb-cli" script --tipo sqlite >"$work/script.sql" \
  || fail "the unpacked .tar.gz's setupbriveldb-cli script"
grep -q 'CREATE TABLE API_CONFIG' "$work/script.sql" || fail "setupbriveldb-cli script printed no script"

echo "== apt-get install $(basename "$deb")"
[ "$installed_before" = yes ] && echo "note: $pkg was installed before; it stays installed, from this build"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=300 "$deb" >"$work/apt.log" 2>&1 \
  || { cat "$work/apt.log" >&2; fail "apt-get install $deb"; }
we_installed=yes
[ "$(dpkg-query -W -f='${Status} ${Version}' "$pkg")" = "install ok installed $version" ] || fail "dpkg does not list $pkg $version as installed"

echo "== the installed command"
open_close "$folder/SetupBrivelDB" "/usr/bin/$pkg" || fail "/usr/bin/$pkg"
echo "== the installed command-line program"
# By default configApi.ini goes beside the wizard, through the /usr/bin link.
config_before=no
[ -e "$folder/configApi.ini" ] && config_before=yes
"/usr/bin/$pkg-cli" --version | grep -qx "setupbriveldb-cli $version" || fail "/usr/bin/$pkg-cli --version"
"/usr/bin/$pkg-cli" testar --tipo sqlite --banco "$work/cli.db" --silencioso || fail "/usr/bin/$pkg-cli testar"
grep -qa 'SQLITE' "$folder/configApi.ini" || fail "testar did not write $folder/configApi.ini"
[ "$config_before" = yes ] || rm -f "$folder/configApi.ini"
"/usr/bin/$pkg-cli" instalar --tipo sqlite --banco "$work/cli.db" --silencioso || fail "/usr/bin/$pkg-cli instalar"
rc=0; "/usr/bin/$pkg-cli" verificar --tipo sqlite --banco "$work/cli.db" --silencioso || rc=$?
[ "$rc" -eq 0 ] || fail "/usr/bin/$pkg-cli verificar ended with $rc after instalar"
echo "testar, instalar and verificar ran"
echo "== the installed menu entry"
exec_line=$(sed -n '/^\[Desktop Entry\]/,/^\[/s/^Exec=//p' "/usr/share/applications/$pkg.desktop")
open_close "$folder/SetupBrivelDB" sh -c "exec $exec_line" || fail "the menu entry's Exec=$exec_line"

if [ "$installed_before" = no ]; then
  echo "== apt-get purge"
  DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq -o DPkg::Lock::Timeout=300 "$pkg" >/dev/null
  we_installed=no
  for p in "$folder" "/usr/bin/$pkg" "/usr/share/applications/$pkg.desktop"; do
    { [ ! -e "$p" ] && [ ! -L "$p" ]; } || fail "$p is left after purging the package"
  done
fi
echo "package check passed"
