# Sourced by the scripts that run Windows programs under Wine on a display of their own.
#   wine_for_kernel    sets arch (i686, or x86_64 where the kernel cannot run 32-bit
#                      programs) and wine (the command that runs that build).
#   wine_prefix NAME   a throwaway prefix in /tmp/NAME-XXXXXX ($prefix), booted; it, its
#                      server and the display are gone at exit. Needs wine=(the command).
#   wine_display       a virtual display ($DISPLAY) for Wine's windows platform.
#   wine_readonly_folder  a folder of the prefix that Windows programs may not write;
#                      its Windows path in BRIVEL_READONLY_FOLDER (exported).

wine_for_kernel() {
  if [ "$(scripts/windows-arch.sh)" = 32 ]; then
    arch=i686 wine=(wine)
    export WINEARCH=win32
  else
    arch=x86_64
    export WINELOADER=/usr/lib/wine/wine64
    wine=("$WINELOADER")
  fi
}

wine_cleanup() {
  WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
  if [ -n "${readonly_mount:-}" ]; then umount "$readonly_mount" || true; fi
  if [ -n "${xvfb_pid:-}" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$prefix"
}

wine_prefix() {  # name
  prefix=$(mktemp -d "/tmp/$1-XXXXXX")
  xvfb_pid=
  trap wine_cleanup EXIT
  export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  # Wine names files in the locale's character set: non-ASCII folders need UTF-8.
  export LC_ALL=C.UTF-8
  unset DISPLAY WAYLAND_DISPLAY
  "${wine[@]}" wineboot -i >/dev/null 2>&1 || { echo "wineboot failed" >&2; exit 1; }
  # Wine's Tahoma, which the program takes where Segoe UI is missing: Qt finds it
  # only in the prefix's Fonts folder.
  cp /usr/share/wine/fonts/tahoma*.ttf "$prefix/drive_c/windows/Fonts/"
}

wine_display() {
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$prefix/display" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$prefix/display" ] && break; sleep 0.1; done
  [ -s "$prefix/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
  export DISPLAY=:$(cat "$prefix/display")
  # Wine's processes started without a display (the prefix's own) would keep their
  # desktop without one, and every window creation would fail: start them again.
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
}

# Wine honours Unix permissions, which root ignores: for root, a read-only mount
# of the folder onto itself.
wine_readonly_folder() {
  local folder=$prefix/drive_c/somente-leitura
  mkdir -p "$folder"
  chmod 555 "$folder"
  if [ "$(id -u)" -eq 0 ]; then
    mount --bind "$folder" "$folder" || { echo "cannot mount $folder" >&2; exit 1; }
    readonly_mount=$folder
    mount -o remount,ro,bind "$folder" || { echo "cannot make $folder read-only" >&2; exit 1; }
  fi
  BRIVEL_READONLY_FOLDER=$(winepath -w "$folder")
  export BRIVEL_READONLY_FOLDER
}
