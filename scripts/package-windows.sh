#!/usr/bin/env bash
# Makes the Windows packages of an installed Windows folder (cmake --install ...
# --component app): a portable ZIP, whose files go straight into the API's folder,
# an MSI built with wixl (packaging/windows/SetupBrivelDB.wxs) for silent
# deployment, and an interactive setup in Portuguese built with makensis
# (packaging/windows/SetupBrivelDB.nsi). Both install by default into the API's
# folder, C:\Brivel\API.
#   scripts/package-windows.sh FOLDER OUTDIR VERSION i686|x86_64
# Prints the three files made.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
folder=$(readlink -f "$1")
out=$(mkdir -p "$2" && readlink -f "$2")
version=$3
arch=$4
case $arch in
  i686) suffix=win32 platform=x86 win64=no ;;
  x86_64) suffix=win64 platform=x64 win64=yes ;;
  *) echo "usage: $0 FOLDER OUTDIR VERSION i686|x86_64" >&2; exit 2 ;;
esac
[ -f "$folder/SetupBrivelDB.exe" ] || { echo "$folder holds no SetupBrivelDB.exe" >&2; exit 1; }

zip=$out/SetupBrivelDB-$version-$suffix.zip
msi=$out/SetupBrivelDB-$version-$suffix.msi
setup=$out/SetupBrivelDB-$version-$suffix-setup.exe
rm -f "$zip" "$msi" "$setup"

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
  -D Win64=$win64 SetupBrivelDB.wxs files.wxs

# The setup's file lists: what it installs, and what its uninstaller removes
# (only those files, then the folders left empty).
nsis_files() {  # install|uninstall
  local f dir last=
  (cd "$folder" && find . -type f | LC_ALL=C sort | sed 's|^\./||') | while IFS= read -r f; do
    dir=$(dirname "$f")
    if [ "$1" = install ]; then
      [ "$dir" = "$last" ] || { printf 'SetOutPath "$INSTDIR%s"\n' "$([ "$dir" = . ] || echo "\\${dir//\//\\}")"; last=$dir; }
      printf 'File "%s"\n' "$folder/$f"
    else
      printf 'Delete "$INSTDIR\\%s"\n' "${f//\//\\}"
    fi
  done
  if [ "$1" = uninstall ]; then
    (cd "$folder" && find . -mindepth 1 -type d | LC_ALL=C sort -r | sed 's|^\./||') | while IFS= read -r f; do
      printf 'RMDir "$INSTDIR\\%s"\n' "${f//\//\\}"
    done
  fi
}
nsis_files install >files.nsh
nsis_files uninstall >unfiles.nsh
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DARCH="$arch" -DOUTFILE="$setup" \
  -DICON="$work/SetupBrivelDB.ico" -DFILES="$work/files.nsh" -DUNFILES="$work/unfiles.nsh" \
  -DSIZE_KB="$(du -sk "$folder" | cut -f1)" "$root/packaging/windows/SetupBrivelDB.nsi" >&2
echo "$zip"
echo "$msi"
echo "$setup"
