#!/usr/bin/env bash
# Builds, for the Windows tests, the client DLLs that have a source in Debian's
# archive, with MinGW-w64, and copies them into OUTDIR:
#   libpq.dll       from postgresql-15 (the client library only: no TLS, no compression)
#   libmariadb.dll  from MariaDB Connector/C inside Debian's mariadb source (no TLS)
# Usage: scripts/build-windows-clients.sh i686|x86_64 OUTDIR
# Each DLL is cached outside the clone (BRIVEL_CACHE_DIR, else /var/cache/brivel,
# else ~/.cache/brivel), keyed by this script's contents, the architecture and the
# source version, so it is built once per machine.
set -euo pipefail
cd "$(dirname "$0")/.."
arch=${1:?usage: $0 i686|x86_64 OUTDIR}
out=${2:?usage: $0 i686|x86_64 OUTDIR}
case $arch in i686 | x86_64) ;; *) echo "$0: unknown architecture $arch" >&2; exit 2 ;; esac
triplet=$arch-w64-mingw32
root=$PWD

cache=${BRIVEL_CACHE_DIR:-/var/cache/brivel}
mkdir -p "$cache" 2>/dev/null && [ -w "$cache" ] || cache=$HOME/.cache/brivel
recipe=$(sha256sum "$0" | cut -c1-12)
cache=$cache/win-clients-$arch-$recipe
mkdir -p "$cache" "$out"
jobs=$(nproc)

# The versions of a source package that Debian's index lists, newest first.
versions() { apt-cache showsrc "$1" | sed -n 's/^Version: //p' | sort -rV | uniq; }

# Unpacks the first listed version that the archive serves (a mirror may lack the
# newest) into $2/src and prints that version.
fetch() {  # package folder
  local v
  for v in $(versions "$1"); do
    rm -rf "$2" && mkdir -p "$2"
    if (cd "$2" && apt-get source --download-only -qq "$1=$v" >/dev/null 2>&1); then
      echo "$v"
      return 0
    fi
  done
  echo "$0: no version of the $1 source could be downloaded" >&2
  return 1
}

# Prints the cached DLL of the first listed version that has one, if any.
cached() {  # package dll
  local v
  for v in $(versions "$1"); do
    [ -f "$cache/$1-$v/$2" ] && { echo "$cache/$1-$v/$2"; return 0; }
  done
  return 1
}

build_libpq() {
  local work v src
  work=$(mktemp -d /tmp/brivel-libpq-XXXXXX)
  v=$(fetch postgresql-15 "$work/get") || return 1
  (cd "$work/get" && dpkg-source -x ./*.dsc "$work/src") >/dev/null 2>&1
  mkdir -p "$work/build"
  # Debian's patches applied; the client library and what it needs from src/port and src/common.
  if ! (cd "$work/build" &&
        "$work/src/configure" --host="$triplet" --without-readline --without-zlib --without-openssl \
          --without-icu --without-ldap --without-gssapi --without-lz4 --without-zstd --without-llvm \
          --disable-nls &&
        make -C src/interfaces/libpq -j"$jobs") >"$work/log" 2>&1; then
    tail -n 40 "$work/log" >&2
    echo "$0: building libpq.dll failed (log: $work/log)" >&2
    return 1
  fi
  mkdir -p "$cache/postgresql-15-$v"
  cp "$work/build/src/interfaces/libpq/libpq.dll" "$cache/postgresql-15-$v/"
  rm -rf "$work"
}

build_libmariadb() {
  local work v tarball
  work=$(mktemp -d /tmp/brivel-libmariadb-XXXXXX)
  v=$(fetch mariadb "$work/get") || return 1
  # Connector/C alone: Debian's patches do not touch it, and the whole server tree is 10 times larger.
  tarball=$(ls "$work"/get/mariadb_*.orig.tar.gz)
  tar -xzf "$tarball" -C "$work" --wildcards '*/libmariadb/*'
  # 32-bit GCC refuses __stdcall on this variadic definition, whose declaration has
  # none; MSVC makes both the C convention, and so does this.
  sed -i '/^struct st_mysql_client_plugin \* STDCALL$/{N;s/ STDCALL\nmysql_load_plugin(/\nmysql_load_plugin(/}' \
    "$work"/mariadb-*/libmariadb/libmariadb/ma_client_plugin.c.in
  if ! (cmake -S "$work"/mariadb-*/libmariadb -B "$work/build" \
          -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$triplet.cmake" -DCMAKE_BUILD_TYPE=Release \
          -DWITH_SSL=OFF -DWITH_UNIT_TESTS=OFF -DWITH_CURL=OFF -DWITH_EXTERNAL_ZLIB=OFF &&
        cmake --build "$work/build" -j"$jobs" --target libmariadb) >"$work/log" 2>&1; then
    tail -n 40 "$work/log" >&2
    echo "$0: building libmariadb.dll failed (log: $work/log)" >&2
    return 1
  fi
  mkdir -p "$cache/mariadb-$v"
  cp "$work/build/libmariadb/libmariadb.dll" "$cache/mariadb-$v/"
  rm -rf "$work"
}

dll=$(cached postgresql-15 libpq.dll) || { build_libpq; dll=$(cached postgresql-15 libpq.dll); }
cp "$dll" "$out/"
dll=$(cached mariadb libmariadb.dll) || { build_libmariadb; dll=$(cached mariadb libmariadb.dll); }
cp "$dll" "$out/"
