#!/usr/bin/env bash
# Builds Qt's qtbase for Windows with MinGW-w64 from Debian's own source package,
# once per recipe, and prints the folder that holds it (for CMAKE_PREFIX_PATH).
#   scripts/build-qt-windows.sh i686      the program's platform (32-bit)
#   scripts/build-qt-windows.sh x86_64    for kernels that cannot run 32-bit Wine
# The result lives outside the clone, in BRIVEL_QT_CACHE (default /var/cache/brivel),
# in a folder named after this script's content, the source's version and the
# compiler's: a later run reuses it, a changed recipe builds a new one (the old
# one is then removed). Debian's own Qt (the same version) provides the host tools.
set -euo pipefail
arch=${1:-}
case $arch in
  i686 | x86_64) ;;
  *) echo "usage: $0 i686|x86_64" >&2; exit 2 ;;
esac
triplet=$arch-w64-mingw32
script=$(readlink -f "$0")
cache=${BRIVEL_QT_CACHE:-/var/cache/brivel}

# The source must be the host Qt's own version: its moc, rcc and uic are used.
version=$(dpkg-query -W -f='${source:Version}' qt6-base-dev 2>/dev/null) ||
  { echo "qt6-base-dev is not installed (scripts/install-windows-deps.sh)" >&2; exit 1; }
cxx=$(command -v "$triplet-g++-posix") || { echo "$triplet-g++-posix is missing" >&2; exit 1; }
key=$( { cat "$script"; echo "$version"; "$cxx" --version | head -1; } | sha256sum | cut -c1-16)
prefix=$cache/qt-win-$arch-$key
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

mkdir -p "$cache"
# One build at a time per architecture on this machine; a second caller waits and reuses it.
exec 9>"$cache/qt-win-$arch.lock"
flock 9
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi
started=$SECONDS
log() { echo "[qt-win $arch] $* ($((SECONDS - started)) s)" >&2; }

# Debian's source, its patches applied, shared by both architectures.
src=$cache/qtbase-src-$version
{
  exec 8>"$cache/qtbase-src.lock"
  flock 8
  if [ ! -f "$src/.complete" ]; then
    log "fetching qt6-base $version's source"
    rm -rf "$src" "$src.fetch"
    mkdir -p "$src.fetch"
    (cd "$src.fetch" && apt-get source --download-only -qq "qt6-base=$version" &&
       dpkg-source -x ./qt6-base_*.dsc src) >"$src.fetch.log" 2>&1 ||
      { tail -20 "$src.fetch.log" >&2; exit 1; }
    mv "$src.fetch/src" "$src"
    rm -rf "$src.fetch" "$src.fetch.log"
    touch "$src/.complete"
  fi
  flock -u 8
}

work=$cache/qt-win-$arch-$key.build
stage=$prefix.stage
rm -rf "$work" "$stage"
mkdir -p "$work"
cat >"$work/toolchain.cmake" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR $arch)
set(CMAKE_C_COMPILER $triplet-gcc-posix)
set(CMAKE_CXX_COMPILER $triplet-g++-posix)
set(CMAKE_RC_COMPILER $triplet-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$triplet)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

# Only what a Widgets program with message boxes and file dialogs needs: Core, Gui,
# Widgets, Test, the windows and offscreen platforms, the Vista style, PNG.
#  - harfbuzz off: no OpenType shaping, which Portuguese text does not need;
#  - tablet support needs wintab.h, which Debian's tarball removed;
#  - Direct2D stays on: without it Qt 6.4.2's qwindows.dll refers to a font
#    database that Qt6Gui then lacks. Only the separate direct2d plugin is off.
options=(
  -prefix "$stage" -xplatform win32-g++ -release -shared -optimize-size
  -nomake examples -nomake tests -no-pkg-config
  -qt-zlib -qt-pcre -qt-libpng -qt-freetype -qt-doubleconversion -no-harfbuzz
  -no-opengl -no-dbus -no-icu -no-libjpeg -no-gif
  -no-feature-tabletevent -no-feature-direct2d1_1 -no-feature-graphicsview
  -no-feature-network -no-feature-sql -no-feature-printsupport -no-feature-concurrent -no-feature-xml
  -no-feature-textodfwriter -no-feature-textmarkdownreader -no-feature-textmarkdownwriter
  -no-feature-vulkan
  -qt-host-path /usr
  -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake"
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
)
log "configuring"
(cd "$work" && nice -n 19 "$src/configure" "${options[@]}") >"$work/configure.log" 2>&1 ||
  { tail -40 "$work/configure.log" >&2; log "configure failed: $work/configure.log"; exit 1; }
log "building"
(cd "$work" && nice -n 19 cmake --build . --parallel "$(nproc)") >"$work/build.log" 2>&1 ||
  { grep -m5 -B2 -A10 'error' "$work/build.log" >&2 || tail -40 "$work/build.log" >&2
    log "build failed: $work/build.log"; exit 1; }
(cd "$work" && cmake --install .) >"$work/install.log" 2>&1 ||
  { tail -20 "$work/install.log" >&2; exit 1; }
log "built"

mv "$stage" "$prefix"
touch "$prefix/.complete"
# The build tree and the recipes of the past for this architecture are of no more use.
for old in "$cache"/qt-win-"$arch"-*; do
  case $old in "$prefix" | *.lock) ;; *) rm -rf "$old" ;; esac
done
echo "$prefix"
