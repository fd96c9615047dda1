#!/usr/bin/env bash
# The whole wizard as a Windows program, built and tested here:
#  - Qt for Windows from Debian's source (scripts/build-qt-windows.sh; cached outside the clone);
#  - SetupBrivelDB.exe for 32-bit Windows and its folder (build-win-wizard/i686/SetupBrivelDB):
#    exactly the expected files, each importing only Windows' own DLLs and the folder's;
#  - the portable ZIP, the MSI and the interactive setup of that folder (build-win-wizard/packages);
#  - under Wine: the window's test suites that need no server (offscreen), the SQLite
#    flow and the log's glyphs on Wine's own windows platform on Xvfb, with screenshots
#    (build-win-wizard/screenshots), the start-up check of a folder it may not
#    write, and the MSI: silent install into a chosen folder, the installed
#    program started and closed, an upgrade in place, a silent uninstall that
#    keeps configApi.ini, the default folder C:\Brivel\API; the interactive
#    setup (NSIS): the same silently, and its pages on the display.
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
wine_readonly_folder
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
for t in gui_window gui_export gui_windows_sqlite_flow gui_windows_startup_folder gui_windows_shown_paths; do
  run_qt_test "$t" "$t"
done
# Each case in a process of its own: what it checks happens right after the start.
for c in readAfterTheFirstPaintNotBefore fileDialogOpenedAtOnce textAreaContextMenuAtOnce \
         questionBoxShownAtStartUp stopQuestionShownAtStartUpKeepsItsTexts; do
  run_qt_test "gui_qt_texts.$c" gui_qt_texts "$c"
done
step "The window's suites under Wine (offscreen)"

# Wine's own windows platform, on a virtual display of our own.
wine_display
BRIVEL_SCREENSHOTS=$(winepath -w "$base/screenshots") \
  run_qt_test gui_windows_sqlite_flow.windows gui_windows_sqlite_flow -platform windows
for shot in 1-boas-vindas 2-conexao-sqlite 3-instalacao 4-final; do
  [ -s "$base/screenshots/$shot.png" ] || { echo "no screenshot $shot.png" >&2; status=1; }
done
run_qt_test gui_windows_text_rendering.windows gui_windows_text_rendering -platform windows
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
# Without INSTALLDIR: the API's folder, not Program Files.
check msiexec /i "$(winepath -w "$msi")" /qn
check test -f "$prefix/drive_c/Brivel/API/SetupBrivelDB.exe"
check msiexec /x "$(winepath -w "$msi")" /qn
check test ! -e "$prefix/drive_c/Brivel/API/SetupBrivelDB.exe"
[ $msi_status -eq 0 ] && echo "MSI: installed into $target over version 0.0.1, started and closed (exit code 0), uninstalled; configApi.ini kept; by default into C:\\Brivel\\API"
[ $msi_status -eq 0 ] || status=1
step "MSI under Wine"

# The interactive setup (NSIS), run silently: /D= into a chosen folder (Wine quotes
# an argument with a blank, which /D= does not take: the folder comes in two).
setup=$base/packages/SetupBrivelDB-$version-$([ $arch = i686 ] && echo win32 || echo win64)-setup.exe
uninst_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\SetupBrivelDB'
nsis_target='C:\Brivel\API Instalação'
nsis_installed=$prefix/drive_c/Brivel/'API Instalação'
nsis_status=0
nsis_check() { "$@" || { echo "NSIS setup: failed: $*" >&2; nsis_status=1; }; }
installed_value() { "${wine[@]}" reg query "$uninst_key" /v "$1" 2>/dev/null | sed -n "s/.*$1 *REG_[A-Z]* *//p" | tr -d '\r'; }
nsis_check timeout 300 "${wine[@]}" "$(winepath -w "$setup")" /S '/D=C:\Brivel\API' 'Instalação'
nsis_check test -f "$nsis_installed/SetupBrivelDB.exe"
nsis_check test "$(cd "$nsis_installed" && find . -type f ! -name 'Desinstalar SetupBrivelDB.exe' | LC_ALL=C sort)" = \
  "$(cd "$base/$arch/SetupBrivelDB" && find . -type f | LC_ALL=C sort)"
nsis_check test "$(installed_value DisplayVersion)" = "$version"
nsis_check test -n "$(installed_value UninstallString)"
nsis_check test -n "$(find "$prefix/drive_c" -path '*Start Menu/Programs/SetupBrivelDB.lnk')"
printf '[BANCO]\r\nTipo=SQLITE\r\n' >"$nsis_installed/configApi.ini"
nsis_check start_and_close "$nsis_target\\SetupBrivelDB.exe"
# The uninstaller runs a copy of itself from the temporary folder: wait for Wine's processes.
nsis_check timeout 300 "${wine[@]}" "$nsis_target\\Desinstalar SetupBrivelDB.exe" /S
timeout 120 wineserver -w || true
nsis_check test "$(cd "$nsis_installed" && find . | LC_ALL=C sort | tr '\n' ' ')" = ". ./configApi.ini "
nsis_check test "$(cat "$nsis_installed/configApi.ini")" = "$(printf '[BANCO]\r\nTipo=SQLITE\r\n')"
nsis_check test -z "$(installed_value DisplayName)"
nsis_check test -z "$(find "$prefix/drive_c" -name 'SetupBrivelDB.lnk')"
[ $nsis_status -eq 0 ] &&
  echo "NSIS setup: installed silently into $nsis_target, started and closed (exit code 0), uninstalled; configApi.ini kept"
[ $nsis_status -eq 0 ] || status=1
step "NSIS setup under Wine (silent)"

# The same setup as a user meets it, on the display: each page saved, Enter on
# each (the default button), the finish page's "Abrir o SetupBrivelDB agora"
# left ticked, so the wizard must start from the default folder.
nsis_status=0
"${wine[@]}" "$(winepath -w "$setup")" >"$logs/setup.out" 2>&1 &
setup_pid=$!
setup_window=
for _ in $(seq 120); do
  setup_window=$(xdotool search --name 'Instalação do SetupBrivelDB' 2>/dev/null | head -n1) && [ -n "$setup_window" ] && break
  sleep 0.5
done
if [ -z "$setup_window" ]; then
  echo "NSIS setup: no window" >&2
  nsis_status=1
else
  # Welcome, folder, files (then the files page, or already the finish page), finish:
  # Enter until the finish page has started the wizard.
  found=
  for page in 1 2 3 4 5 6; do
    sleep 2
    if xdotool search --name 'Assistente de Configuração do Banco' >/dev/null 2>&1; then found=yes; break; fi
    kill -0 $setup_pid 2>/dev/null || break
    import -window root "$base/screenshots/setup-$page.png" 2>/dev/null || { echo "no screenshot setup-$page" >&2; nsis_status=1; }
    xdotool key --window "$setup_window" Return 2>/dev/null || true
    if [ "$page" = 3 ]; then  # the files page takes its time
      for _ in $(seq 60); do
        [ -f "$prefix/drive_c/Brivel/API/Desinstalar SetupBrivelDB.exe" ] && break
        sleep 0.5
      done
    fi
  done
  nsis_check test -f "$prefix/drive_c/Brivel/API/SetupBrivelDB.exe"
  for _ in $(seq 120); do
    [ -n "$found" ] && break
    xdotool search --name 'Assistente de Configuração do Banco' >/dev/null 2>&1 && { found=yes; break; }
    sleep 0.5
  done
  [ -n "$found" ] || { echo "NSIS setup: the finish page did not start the wizard" >&2; nsis_status=1; }
  # The wizard the finish page started must be gone before the next step looks
  # for a wizard's window: asked to close first, then ended.
  "${wine[@]}" taskkill /im SetupBrivelDB.exe >/dev/null 2>&1 || true
  for _ in $(seq 60); do
    xdotool search --name 'Assistente de Configuração do Banco' >/dev/null 2>&1 || break
    sleep 0.5
  done
  "${wine[@]}" taskkill /f /im SetupBrivelDB.exe >/dev/null 2>&1 || true
  for _ in $(seq 60); do
    xdotool search --name 'Assistente de Configuração do Banco' >/dev/null 2>&1 || break
    sleep 0.5
  done
fi
timeout 60 tail --pid=$setup_pid -f /dev/null || kill $setup_pid 2>/dev/null || true
[ $nsis_status -eq 0 ] && echo "NSIS setup: pages saved in $base/screenshots/setup-*.png, installed into C:\\Brivel\\API, the wizard started from its finish page"
[ $nsis_status -eq 0 ] || status=1
step "NSIS setup under Wine (pages)"

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
