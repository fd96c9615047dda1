# shellcheck shell=bash
# Sourced by the scripts that build or fill Windows folders. It reads PE import
# tables with MinGW's objdump, so it works for 32-bit files on a machine that
# cannot run them: a DLL missing from a folder fails here, not only under Wine.
#   check_imports FOLDER i686|x86_64
#       every .exe/.dll under FOLDER is a PE of that architecture and imports only
#       DLLs found in FOLDER (any subfolder) or Windows 10's own; else it fails.
#   add_mingw_runtime FOLDER i686|x86_64
#       copies into FOLDER the MinGW runtime DLLs (libgcc_s_*, libstdc++,
#       winpthread) that its files import and it lacks, with what those import.
#   imports FILE i686|x86_64     the DLL names FILE imports, lower case, one a line.

windows_system_dlls='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comdlg32|comctl32|winmm|imm32|ws2_32|wsock32|secur32|crypt32|bcrypt|version|shlwapi|dwmapi|uxtheme|netapi32|userenv|mpr|authz|wtsapi32|setupapi|uiautomationcore|d3d9|d3d11|d3d12|dxgi|dwrite|d2d1|dcomp|shcore|msvcrt|odbc32|iphlpapi|ntdll|api-ms-win-[a-z0-9-]+)\.dll$'

imports() {  # file, arch
  "$2-w64-mingw32-objdump" -p "$1" | awk '/DLL Name:/ {print tolower($3)}' | sort -u
}

# The lower-case names of the DLLs a folder holds.
_folder_dlls() { (cd "$1" && find . -iname '*.dll' -printf '%f\n' | tr '[:upper:]' '[:lower:]' | sort -u); }

# Prints "FILE IMPORT" for each import of the folder's files that is neither in the
# folder nor Windows' own.
_missing_imports() {  # folder, arch
  local folder=$1 arch=$2 own f dll
  own=$(_folder_dlls "$folder")
  while IFS= read -r f; do
    for dll in $(imports "$folder/$f" "$arch"); do
      grep -qxF "$dll" <<<"$own" || grep -qE "$windows_system_dlls" <<<"$dll" || echo "$f $dll"
    done
  done < <(cd "$folder" && find . -type f \( -iname '*.exe' -o -iname '*.dll' \) | sed 's|^\./||' | LC_ALL=C sort)
}

check_imports() {  # folder, arch
  local folder=$1 arch=$2 format f missing
  case $arch in
    i686) format=pei-i386 ;;
    x86_64) format=pei-x86-64 ;;
    *) echo "check_imports: unknown architecture $arch" >&2; return 2 ;;
  esac
  [ -d "$folder" ] || { echo "check_imports: no folder $folder" >&2; return 1; }
  while IFS= read -r f; do
    "$arch-w64-mingw32-objdump" -f "$folder/$f" | grep -q "file format $format" ||
      { echo "$folder/$f is not a $format file" >&2; return 1; }
  done < <(cd "$folder" && find . -type f \( -iname '*.exe' -o -iname '*.dll' \) | sed 's|^\./||')
  missing=$(_missing_imports "$folder" "$arch")
  if [ -n "$missing" ]; then
    echo "In $folder ($arch), DLLs that are neither in the folder nor part of Windows:" >&2
    sed 's/ / imports /; s/^/  /' <<<"$missing" >&2
    return 1
  fi
}

add_mingw_runtime() {  # folder, arch
  local folder=$1 arch=$2 dll path added=yes
  while [ -n "$added" ]; do
    added=
    for dll in $(_missing_imports "$folder" "$arch" | awk '{print $2}' | sort -u); do
      case $dll in libgcc_s_*.dll | libstdc++-6.dll | libwinpthread-1.dll) ;; *) continue ;; esac
      path=$("$arch-w64-mingw32-gcc-posix" -print-file-name="$dll")
      [ -f "$path" ] || continue
      cp "$path" "$folder/$dll"
      added=yes
    done
  done
}
