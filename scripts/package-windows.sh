#!/usr/bin/env bash
# Makes the Windows packages of an installed Windows folder (cmake --install ...
# --component app): a portable ZIP, whose files go straight into the API's folder,
# and an MSI built with wixl (packaging/windows/SetupBrivelDB.wxs).
#   scripts/package-windows.sh FOLDER OUTDIR VERSION i686|x86_64
# Prints the two files made.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
folder=$(readlink -f "$1")
out=$(mkdir -p "$2" && readlink -f "$2")
version=$3
arch=$4
case $arch in
  i686) suffix=win32 platform=x86 programfiles=ProgramFilesFolder win64=no ;;
  x86_64) suffix=win64 platform=x64 programfiles=ProgramFiles64Folder win64=yes ;;
  *) echo "usage: $0 FOLDER OUTDIR VERSION i686|x86_64" >&2; exit 2 ;;
esac
[ -f "$folder/SetupBrivelDB.exe" ] || { echo "$folder holds no SetupBrivelDB.exe" >&2; exit 1; }

zip=$out/SetupBrivelDB-$version-$suffix.zip
msi=$out/SetupBrivelDB-$version-$suffix.msi
rm -f "$zip" "$msi"

# The ZIP holds the folder's content, not the folder: unpacked into the API's
# folder, the program sits beside configApi.ini.
(cd "$folder" && find . -type f | LC_ALL=C sort | sed 's|^\./||' | zip -q -X -D -@ "$zip")

# wixl takes relative source paths only: it works from a folder of links.
work=$(mktemp -d /tmp/brivel-msi-XXXXXX)
trap 'rm -rf "$work"' EXIT
ln -s "$folder" "$work/app"
cp "$root/src/res/SetupBrivelDB.ico" "$root/packaging/windows/SetupBrivelDB.wxs" "$work/"
cd "$work"
find app/ -type f | LC_ALL=C sort |
  wixl-heat -p app/ --directory-ref INSTALLDIR --var var.SourceDir --component-group FolderFiles |
  sed 's/<Component /<Component Win64="$(var.Win64)" /' >files.wxs
wixl -a "$platform" -o "$msi" -D Version="$version" -D SourceDir=app -D Icon=SetupBrivelDB.ico \
  -D ProgramFilesDir="$programfiles" -D Win64=$win64 SetupBrivelDB.wxs files.wxs
echo "$zip"
echo "$msi"
