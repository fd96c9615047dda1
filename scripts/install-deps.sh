#!/usr/bin/env bash
# Installs what building, running and testing the wizard needs on Debian 12.
# Usage: scripts/install-deps.sh [run|test]   (default: test, which is a superset)
set -euo pipefail
mode=${1:-test}

# The client libraries' -dev packages give the build its prototypes only; nothing links them.
run_pkgs=(cmake g++ make qt6-base-dev qt6-base-dev-tools libgl-dev fonts-dejavu-core
          libpq5 libmariadb3 libfbclient2 libsqlite3-0 unixodbc xvfb xauth qt6-translations-l10n
          libpq-dev libmariadb-dev firebird-dev libsqlite3-dev unixodbc-dev
          libcli11-dev nlohmann-json3-dev)
test_pkgs=(postgresql mariadb-server firebird3.0-server
           sqlite3 odbc-postgresql libsqliteodbc tdsodbc odbc-mariadb xdotool imagemagick openbox
           locales
           postgresql-client mariadb-client firebird3.0-utils util-linux
           dpkg-dev file lintian desktop-file-utils libx11-protocol-perl libxml2-utils
           clang-14 libclang-rt-14-dev llvm-14)   # sanitizer pass and fuzz targets; llvm-14 has the symbolizer

pkgs=("${run_pkgs[@]}")
[ "$mode" = test ] && pkgs+=("${test_pkgs[@]}")

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
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
