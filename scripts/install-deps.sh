#!/usr/bin/env bash
# Installs what building, running and testing the wizard needs on Debian 12.
# Usage: scripts/install-deps.sh [run|test]   (default: test, which is a superset)
set -euo pipefail
mode=${1:-test}

# The client libraries' -dev packages give the build its prototypes only; nothing links them.
run_pkgs=(cmake g++ make qt6-base-dev qt6-base-dev-tools libgl-dev fonts-dejavu-core
          libpq5 libmariadb3 libfbclient2 libsqlite3-0 unixodbc xvfb xauth
          libpq-dev libmariadb-dev firebird-dev libsqlite3-dev unixodbc-dev
          libcli11-dev nlohmann-json3-dev)
test_pkgs=(postgresql mariadb-server firebird3.0-server
           sqlite3 odbc-postgresql libsqliteodbc tdsodbc odbc-mariadb xdotool imagemagick
           locales
           postgresql-client mariadb-client firebird3.0-utils util-linux
           dpkg-dev file lintian desktop-file-utils libx11-protocol-perl
           clang-14 libclang-rt-14-dev llvm-14)   # sanitizer pass and fuzz targets; llvm-14 has the symbolizer

pkgs=("${run_pkgs[@]}")
[ "$mode" = test ] && pkgs+=("${test_pkgs[@]}")

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
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
