#!/usr/bin/env bash
# Builds the whole wizard for Windows with the Qt that scripts/build-qt-windows.sh
# makes (or has cached), and installs its folder, stripped, into
# BASE/ARCH/SetupBrivelDB. Prints the build folder (BASE/ARCH) on its last line.
#   scripts/build-windows-wizard.sh i686|x86_64 [BASE]     (BASE: build-win-wizard)
# The benchmark's start-up pair is built too (two small programs).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
arch=${1:-}
case $arch in
  i686 | x86_64) ;;
  *) echo "usage: $0 i686|x86_64 [BASE]" >&2; exit 2 ;;
esac
base=${2:-$root/build-win-wizard}
started=$SECONDS

scripts/install-windows-deps.sh >&2
mkdir -p "$base"
scripts/sqlite-source.sh "$base/sqlite-source" >&2
qt=$(scripts/build-qt-windows.sh "$arch")
echo "== Qt for Windows ($arch): $qt ($((SECONDS - started)) s)" >&2

# The amalgamation made by a first build is reused by the second.
sqlite=$base/sqlite-source
for made in "$base"/{i686,x86_64}/sqlite-amalgamation; do
  [ -f "$made/sqlite3.c" ] && { sqlite=$made; break; }
done
build=$base/$arch
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch-w64-mingw32.cmake" \
  -DCMAKE_PREFIX_PATH="$qt" -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DBRIVEL_SQLITE_SOURCE_DIR="$sqlite" -DBRIVEL_BUILD_BENCH=ON >"$base/$arch.configure.log" 2>&1 ||
  { tail -30 "$base/$arch.configure.log" >&2; echo "configuring the $arch wizard failed" >&2; exit 1; }
cmake --build "$build" -j"$(nproc)" >"$base/$arch.build.log" 2>&1 ||
  { grep -m5 -B2 -A10 'error' "$base/$arch.build.log" >&2 || tail -40 "$base/$arch.build.log" >&2
    echo "building the $arch wizard failed: $base/$arch.build.log" >&2; exit 1; }
rm -rf "$build/SetupBrivelDB"
cmake --install "$build" --component app --prefix "$build/SetupBrivelDB" --strip >/dev/null
echo "== SetupBrivelDB.exe for $arch Windows ($((SECONDS - started)) s)" >&2
echo "$build"
