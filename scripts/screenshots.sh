#!/usr/bin/env bash
# Takes the README's pictures from the real program: starts it on a virtual X
# server, leads it through a SQLite installation with xdotool and saves the
# pages with ImageMagick's import into docs/images/.
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default: build/)
#        scripts/screenshots.sh --windows      the Windows program under Wine (windows-*.png):
#          built by scripts/build-windows-wizard.sh, the SQLite flow of its GUI tests on
#          Wine's windows platform saves the same pages.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/docs/images

if [ "${1:-}" = --windows ]; then
  cd "$root"
  base=${BRIVEL_WIN_WIZARD_DIR:-$root/build-win-wizard}
  # shellcheck source=scripts/wine-session.sh
  . scripts/wine-session.sh
  wine_for_kernel
  scripts/build-windows-wizard.sh "$arch" "$base" >/dev/null
  wine_prefix brivel-wine-shots
  wine_display
  shots=$prefix/shots
  mkdir -p "$shots"
  (cd "$shots" && BRIVEL_SCREENSHOTS=$(winepath -w "$shots") timeout 300 "${wine[@]}" \
    "$base/$arch/bin/gui_windows_sqlite_flow.exe" -platform windows -o "$shots/flow.txt,txt" >/dev/null 2>&1) ||
    { cat "$shots/flow.txt" >&2 2>/dev/null; echo "screenshots: the SQLite flow failed under Wine" >&2; exit 1; }
  mkdir -p "$out"
  for pair in 1-boas-vindas:welcome 2-conexao-sqlite:connection-sqlite 3-instalacao:installation 4-final:final-log; do
    convert "$shots/${pair%%:*}.png" -define png:exclude-chunks=date,time "$out/windows-${pair#*:}.png"
  done
  echo "Saved in $out: windows-{welcome,connection-sqlite,installation,final-log}.png ($arch build under Wine)"
  exit 0
fi

if [ "${1:-}" = --inner ]; then
  # On the virtual X server: $2 the program's folder, $3 the SQLite file, $4 where the pictures go.
  folder=$2 database=$3 shots=$4
  cd "$folder"
  ./SetupBrivelDB &
  pid=$!
  trap 'kill "$pid" 2>/dev/null || true' EXIT
  windows() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null || true; }
  wait_for() {  # seconds, condition
    local i
    for ((i = 0; i < $1 * 10; i++)); do eval "$2" && return 0; sleep 0.1; done
    echo "screenshots: gave up waiting for: $2" >&2
    exit 1
  }
  wait_for 20 '[ -n "$(windows)" ]'
  w=$(windows | head -1)
  sleep 1  # the first paint and Qt's translation, read in the idle time after it
  shot() { import -window "$w" -define png:exclude-chunks=date,time "$shots/$1"; }
  # Positions in the 800 x 450 window (src/UFrmSetupBrivelDB.ui).
  click() { xdotool mousemove --window "$w" "$1" "$2" click 1; sleep 0.5; }
  avancar() { click 56 421; }

  shot welcome.png
  avancar
  avancar
  click 150 65                   # "Tipo de Banco de Dados"
  xdotool key Down Down Down Down Return   # MySQL, Firebird, Oracle, SQL Server, SQLite
  sleep 0.5
  click 150 165                  # "Arquivo SQLite"
  xdotool key ctrl+a
  xdotool type --delay 10 "$database"
  sleep 0.3
  shot connection-sqlite.png
  click 510 215                  # "Testar Conexão": on success the script page follows
  wait_for 20 '[ -f "$folder/configApi.ini" ]'
  sleep 1
  shot installation.png
  click 670 420                  # "Criar Estrutura"
  wait_for 30 '[ "$(windows | wc -l)" -ge 2 ]'   # "Estrutura criada com sucesso."
  sleep 0.5
  xdotool key Return
  sleep 1
  shot final-log.png
  click 280 421                  # "Fechar"
  wait_for 10 '! kill -0 "$pid" 2>/dev/null'
  exit 0
fi

build=$(cd "${1:-$root/build}" 2>/dev/null && pwd || echo "${1:-$root/build}")
for tool in xvfb-run:xvfb xdotool:xdotool import:imagemagick; do
  command -v "${tool%%:*}" >/dev/null ||
    { echo "screenshots: ${tool%%:*} is missing (apt-get install ${tool#*:})." >&2; exit 1; }
done
if [ ! -x "$build/src/SetupBrivelDB" ]; then
  [ -f "$build/CMakeCache.txt" ] ||
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIVEL_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" --target SetupBrivelDB -j"$(nproc)"
fi

# A folder of its own, so that configApi.ini is not written into the build.
tmp=$(mktemp -d /tmp/brivel.XXXX)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/brivel" "$tmp/dados" "$tmp/shots" "$tmp/runtime"
chmod 700 "$tmp/runtime"
cp "$build/src/SetupBrivelDB" "$tmp/brivel/"
cp -P "$build/src/libpq.so.5" "$tmp/brivel/" 2>/dev/null || true

XDG_RUNTIME_DIR=$tmp/runtime xvfb-run -a -s "-screen 0 1024x768x24" \
  bash "$0" --inner "$tmp/brivel" "$tmp/dados/brivel.db" "$tmp/shots"
mkdir -p "$out"
cp "$tmp/shots/"*.png "$out/"
echo "Saved in $out: $(cd "$tmp/shots" && echo *.png)"
