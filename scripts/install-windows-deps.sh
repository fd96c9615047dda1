#!/usr/bin/env bash
# Installs what the Windows build, its tests under Wine and its packages need on
# Debian 12: the MinGW-w64 compilers, Wine, the host tools that turn SQLite's source
# into the amalgamation (tclsh, make, gcc), Debian's source index (from which
# SQLite's and Qt's sources come), Debian's Qt as the host tools of the Qt built
# for Windows (scripts/build-qt-windows.sh, with Ninja), Qt's translations, fonts
# for the offscreen platform and Wine's own look, wixl (MSI) and zip, and the
# client headers and ODBC pieces of the adapters' tests (libpq and MariaDB
# Connector/C come from Debian's sources too).
# 32-bit Wine only where the kernel runs 32-bit programs (scripts/windows-arch.sh);
# elsewhere 64-bit Wine and the 64-bit compiler, which test the same sources.
# CLI11 and nlohmann-json are header-only: the command-line program takes them from Debian's packages.
set -euo pipefail
cd "$(dirname "$0")/.."

pkgs=(g++-mingw-w64-i686 binutils-mingw-w64-i686 cmake make gcc binutils tcl dpkg-dev xz-utils
      ninja-build perl qt6-base-dev qt6-base-dev-tools qt6-translations-l10n
      fonts-dejavu-core fonts-wine wixl msitools nsis zip unzip xvfb xauth xdotool imagemagick
      libcli11-dev nlohmann-json3-dev
      libpq-dev libmariadb-dev firebird-dev   # the vendors' public headers for the adapters
      libodbc2 odbc-postgresql)                # what Wine's odbc32.dll hands the calls to
arch=$(command -v as >/dev/null && command -v ld >/dev/null && scripts/windows-arch.sh || echo unknown)
case $arch in
  32) pkgs+=(wine wine32:i386 libodbc2:i386 odbc-postgresql:i386) ;;
  64) pkgs+=(wine wine64 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64) ;;
  *) pkgs+=(wine wine32:i386 wine64 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 libodbc2:i386 odbc-postgresql:i386) ;;  # no binutils yet
esac

apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 "$@"; }
# The lists' lock has no timeout option: another apt-get may hold it for a while.
apt_update() {
  for _ in $(seq 60); do
    apt_get update -qq && return 0
    sleep 10
  done
  return 1
}

# Whether a package is installed as apt-get would install it: a name without an
# architecture means the machine's own (or "all"), not an i386 instance beside it.
native=$(dpkg --print-architecture)
installed() {
  case $1 in
    *:*) dpkg-query -W -f='${Status}\n' "$1" 2>/dev/null | grep -q '^install ok installed$' ;;
    *) dpkg-query -W -f='${Status} ${Architecture}\n' "$1" 2>/dev/null |
         grep -qE "^install ok installed ($native|all)\$" ;;
  esac
}
missing=()
for p in "${pkgs[@]}"; do
  installed "$p" || missing+=("$p")
done

# apt-get source needs a deb-src entry: a copy of Debian's own entries.
has_sources=yes
apt-cache showsrc sqlite3 2>/dev/null | grep -q '^Package: sqlite3' || has_sources=no

[ ${#missing[@]} -eq 0 ] && [ $has_sources = yes ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]:-none}; Debian source index present: $has_sources (run as root)" >&2
  exit 1
fi

if [ $has_sources = no ]; then
  src=/etc/apt/sources.list.d/brivel-deb-src.sources
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -n 's/^Types: deb$/Types: deb-src/; /^\(Types\|URIs\|Suites\|Components\|Signed-By\|\)\(:\|$\)/p' \
      /etc/apt/sources.list.d/debian.sources >"$src"
  else
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >"${src%.sources}.list"
  fi
fi
if printf '%s\n' "${missing[@]}" | grep -q ':i386$'; then
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
fi
apt_update
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt_get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
