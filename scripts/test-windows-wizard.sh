#!/usr/bin/env bash
# The whole wizard as a Windows program, built and tested here:
#  - Qt for Windows from Debian's source (scripts/build-qt-windows.sh; cached outside the clone);
#  - SetupBrivelDB.exe for 32-bit Windows and its folder (build-win-wizard/i686/SetupBrivelDB):
#    exactly the expected files, each importing only Windows' own DLLs and the folder's;
#  - the portable ZIP and the MSI of that folder (build-win-wizard/packages);
#  - under Wine: the window's test suites that need no server (offscreen), the SQLite
#    flow on Wine's own windows platform on Xvfb with screenshots
#    (build-win-wizard/screenshots), and the MSI: silent install into a chosen
#    folder, the installed program started and closed, an upgrade in place, a
#    silent uninstall that keeps configApi.ini.
# Where the kernel cannot run 32-bit programs (scripts/windows-arch.sh), the 32-bit
# build is built and checked only, and everything under Wine runs from the same
# sources built for 64-bit Windows (build-win-wizard/x86_64); the output says which.
# BRIVEL_SKIP_WINDOWS=1 skips it (for developers; it says so).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
base=${BRIVEL_WIN_WIZARD_DIR:-$root/build-win-wizard}

if [ "${BRIVEL_SKIP_WINDOWS:-0}" = 1 ]; then
  echo "Windows wizard tests SKIPPED: BRIVEL_SKIP_WINDOWS=1"
  exit 0
fi

step_start=$SECONDS
step() { echo "== $1 ($((SECONDS - step_start)) s)"; step_start=$SECONDS; }
fail() { echo "FAIL: $*" >&2; exit 1; }

scripts/install-windows-deps.sh
# shellcheck source=scripts/wine-session.sh
. scripts/wine-session.sh
# shellcheck source=scripts/windows-imports.sh
. scripts/windows-imports.sh
wine_for_kernel
version=$(sed -n 's/^project(SetupBrivelDB VERSION \([0-9]*\.[0-9]*\.[0-9]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no version in CMakeLists.txt"
step "Windows tools ready"

build_wizard() {  # i686|x86_64 (it reports its own times)
  scripts/build-windows-wizard.sh "$1" "$base" >/dev/null
  step_start=$SECONDS
}

# The folder holds exactly these files, and they need nothing but each other and
# the DLLs of Windows 10 (Qt 6's minimum).
check_folder() {  # folder, i686|x86_64
  local folder=$1 arch=$2 libgcc
  if [ "$arch" = i686 ]; then libgcc=libgcc_s_dw2-1.dll; else libgcc=libgcc_s_seh-1.dll; fi
  local expected
  expected=$(printf '%s\n' Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll SetupBrivelDB.exe "$libgcc" libstdc++-6.dll \
    libwinpthread-1.dll platforms/qwindows.dll styles/qwindowsvistastyle.dll translations/qtbase_pt_BR.qm | LC_ALL=C sort)
  local actual
  actual=$(cd "$folder" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
  [ "$actual" = "$expected" ] || fail "the folder's files differ from the expected ones:
$(diff <(echo "$expected") <(echo "$actual") || true)"
  check_imports "$folder" "$arch" || exit 1
  grep -q 'FileVersion' <(strings -el "$folder/SetupBrivelDB.exe") || fail "SetupBrivelDB.exe has no version record"
  grep -q 'PerMonitorV2' "$folder/SetupBrivelDB.exe" || fail "SetupBrivelDB.exe has no manifest"
  echo "Folder $folder: $(echo "$actual" | wc -l) files, $(du -sk "$folder" | cut -f1) KiB, imports checked"
}

build_wizard i686
check_folder "$base/i686/SetupBrivelDB" i686
# The build folder's programs (the tests', with sqlite3.dll) run from there.
check_imports "$base/i686/bin" i686 || exit 1
mkdir -p "$base/packages"
scripts/package-windows.sh "$base/i686/SetupBrivelDB" "$base/packages" "$version" i686
step "32-bit folder checked and packaged"

if [ "$arch" = i686 ]; then
  what="32-bit build under 32-bit Wine"
else
  echo "This kernel does not run 32-bit programs, so 32-bit Wine cannot start here:"
  echo "the 32-bit build above is built and checked; what runs under Wine is the 64-bit build."
  build_wizard x86_64
  check_folder "$base/x86_64/SetupBrivelDB" x86_64
  check_imports "$base/x86_64/bin" x86_64 || exit 1
  scripts/package-windows.sh "$base/x86_64/SetupBrivelDB" "$base/packages" "$version" x86_64
  what="64-bit build under 64-bit Wine"
fi
bin=$base/$arch/bin

wine_prefix brivel-wine
step "Wine prefix"
echo "Windows wizard tests: $what"

logs=$base/logs
rm -rf "$logs" "$base/screenshots"
mkdir -p "$logs" "$base/screenshots"
status=0
# A Qt Test program under Wine: its results go to a file (Qt Test writes to the
# debugger channel when no console is attached); a missing plugin would open a
# modal box, hence the timeout.
run_qt_test() {  # log name, program, arguments...
  local log=$1 exe=$2 rc=0
  shift 2
  (cd "$logs" && timeout 600 "${wine[@]}" "$bin/$exe.exe" "$@" -o "$log.txt,txt" >"$log.out" 2>&1) || rc=$?
  if [ ! -f "$logs/$log.txt" ]; then
    cat "$logs/$log.out" >&2
    echo "$log: no result (exit code $rc)" >&2
    status=1
    return
  fi
  grep -E '^(FAIL|XPASS)|^   Loc|^Totals' "$logs/$log.txt" | sed "s/^/$log: /" || true
  if [ $rc -ne 0 ]; then
    echo "$log: exit code $rc (log: $logs/$log.txt)" >&2
    status=1
  fi
}
for t in gui_window gui_export gui_windows_sqlite_flow; do
  run_qt_test "$t" "$t"
done
step "The window's suites under Wine (offscreen)"

# Wine's own windows platform, on a virtual display of our own.
wine_display
BRIVEL_SCREENSHOTS=$(winepath -w "$base/screenshots") \
  run_qt_test gui_windows_sqlite_flow.windows gui_windows_sqlite_flow -platform windows
for shot in 1-boas-vindas 2-conexao-sqlite 3-final; do
  [ -s "$base/screenshots/$shot.png" ] || { echo "no screenshot $shot.png" >&2; status=1; }
done
step "The SQLite flow on the windows platform (screenshots in $base/screenshots)"

# Starts a program on the display, waits for its window, closes it as the user
# does (WM_CLOSE) and checks that it ends with exit code 0.
start_and_close() {  # Windows path of the program
  local rc=0 pid
  "${wine[@]}" "$1" >"$logs/start.out" 2>&1 &
  pid=$!
  local found=
  for _ in $(seq 120); do
    if xdotool search --name 'Assistente de Configuração do Banco' >/dev/null 2>&1; then found=yes; break; fi
    kill -0 $pid 2>/dev/null || break
    sleep 0.5
  done
  [ -n "$found" ] || { kill $pid 2>/dev/null; cat "$logs/start.out" >&2; echo "$1: no window" >&2; return 1; }
  "${wine[@]}" taskkill /im SetupBrivelDB.exe >/dev/null 2>&1 || true
  timeout 60 tail --pid=$pid -f /dev/null || { kill $pid; echo "$1: did not close" >&2; return 1; }
  wait $pid || rc=$?
  [ $rc -eq 0 ] || { echo "$1: exit code $rc" >&2; return 1; }
}

# The MSI: an older version first, then this one over it (in place), then uninstalled.
msi=$base/packages/SetupBrivelDB-$version-$([ $arch = i686 ] && echo win32 || echo win64).msi
old=$base/packages/old/SetupBrivelDB-0.0.1-$([ $arch = i686 ] && echo win32 || echo win64).msi
scripts/package-windows.sh "$base/$arch/SetupBrivelDB" "$base/packages/old" 0.0.1 "$arch" >/dev/null
target='C:\Brivel\API Ção'
installed=$prefix/drive_c/Brivel/'API Ção'
msiexec() { timeout 300 "${wine[@]}" msiexec "$@" >/dev/null 2>&1; }
installed_versions() {
  "${wine[@]}" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
    grep -A1 'DisplayName    REG_SZ    SetupBrivelDB' | sed -n 's/.*DisplayVersion *REG_SZ *//p' | tr -d '\r'
}
msi_status=0
check() { "$@" || { echo "MSI: failed: $*" >&2; msi_status=1; }; }
check msiexec /i "$(winepath -w "$old")" /qn "INSTALLDIR=$target"
check test -f "$installed/SetupBrivelDB.exe"
printf '[BANCO]\r\nTipo=SQLITE\r\n' >"$installed/configApi.ini"
check msiexec /i "$(winepath -w "$msi")" /qn
check test "$(installed_versions)" = "$version"
check test -f "$installed/platforms/qwindows.dll"
check test -z "$(find "$prefix/drive_c" -path '*Program Files*' -name SetupBrivelDB.exe)"
# Start menu: the common one on Windows; Wine puts a per-machine shortcut in the user's.
check test -n "$(find "$prefix/drive_c" -path '*Start Menu/Programs/SetupBrivelDB.lnk')"
check start_and_close "$target\\SetupBrivelDB.exe"
check msiexec /x "$(winepath -w "$msi")" /qn
check test -z "$(installed_versions)"
check test "$(cd "$installed" && find . | LC_ALL=C sort | tr '\n' ' ')" = ". ./configApi.ini "
check test "$(cat "$installed/configApi.ini")" = "$(printf '[BANCO]\r\nTipo=SQLITE\r\n')"
check test -z "$(find "$prefix/drive_c" -name 'SetupBrivelDB.lnk')"
[ $msi_status -eq 0 ] && echo "MSI: installed into $target over version 0.0.1, started and closed (exit code 0), uninstalled; configApi.ini kept"
[ $msi_status -eq 0 ] || status=1
step "MSI under Wine"

# The portable ZIP: the folder's files at its top.
zip=$base/packages/SetupBrivelDB-$version-$([ $arch = i686 ] && echo win32 || echo win64).zip
unzipped=$prefix/drive_c/portable
mkdir -p "$unzipped" && unzip -q "$zip" -d "$unzipped"
if [ "$(cd "$unzipped" && find . -type f | LC_ALL=C sort)" = "$(cd "$base/$arch/SetupBrivelDB" && find . -type f | LC_ALL=C sort)" ] &&
   start_and_close 'C:\portable\SetupBrivelDB.exe'; then
  echo "ZIP: unpacked, started and closed (exit code 0)"
else
  echo "ZIP: failed" >&2
  status=1
fi
step "Portable ZIP under Wine"
exit $status
