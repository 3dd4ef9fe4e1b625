#!/bin/sh
# with-wine.sh BUILD_DIR COMMAND...
# Runs COMMAND with an Xvfb display and a persistent, pre-warmed wineserver
# on the build's own prefix, and stops both afterwards. Without the warm
# server every Wine process costs seconds or waits on Wine's services.
set -e
build=$(cd "$1" && pwd); shift
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEARCH=win64
export WINEDLLOVERRIDES="winspool.drv=n,b;ieframe=n,b;mscoree=;mshtml="
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

# A free X display for whatever opens a window: Xvfb picks the number itself
# (-displayfd), so several runs at once on one machine never collide.
# VRELM_OWN_DISPLAY=1 keeps the caller's display (a person at the demo).
xvfb=
if [ "${VRELM_OWN_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
  :
else
dispfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dispfile" </dev/null >/dev/null 2>&1 &
xvfb=$!
tries=0
while [ ! -s "$dispfile" ] && [ $tries -lt 100 ]; do sleep 0.1; tries=$((tries + 1)); done
disp=$(tr -dc 0-9 <"$dispfile")
rm -f "$dispfile"
[ -n "$disp" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$disp"
fi

cleanup() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT INT TERM

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "creating Wine prefix $WINEPREFIX"
  WINEDLLOVERRIDES="mscoree=;mshtml=" "$WINE" wineboot -i </dev/null >/dev/null 2>&1 || true
  "$WINESERVER" -w
fi
# Drive R: is a removable drive (a folder of the build) for the services
# that write to USB keys. Wine reads drive types when its services start,
# so a prefix without the setting gets it before the server used below.
mkdir -p "$build/removable-drive"
ln -sfn "$build/removable-drive" "$WINEPREFIX/dosdevices/r:"
if ! grep -q '^"r:"="floppy"' "$WINEPREFIX/system.reg" 2>/dev/null; then
  "$WINE" reg add "HKLM\\Software\\Wine\\Drives" /v r: /t REG_SZ /d floppy /f </dev/null >/dev/null 2>&1 || true
  "$WINESERVER" -w
fi
# The spooler stand-in also serves programs started from system32 (rundll32.exe
# finds system32's winspool.drv before the current folder).
if [ -f "$build/bin/winspool.drv" ]; then
  cp "$build/bin/winspool.drv" "$WINEPREFIX/drive_c/windows/system32/winspool.drv"
fi
"$WINESERVER" -p </dev/null >/dev/null 2>&1
"$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
# A crashing test process must end at once, not wait in Wine's debugger
# until CTest's time-out: the registered crash "debugger" just exits.
"$WINE" reg add "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug" /v Debugger /t REG_SZ \
  /d "cmd.exe /c exit" /f </dev/null >/dev/null 2>&1 || true
# No window manager runs on the Xvfb display: a window Wine hands to one
# waits 2 s for it on every hide. Unmanaged windows hide at once, and Wine
# draws their frames and captions itself.
"$WINE" reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1 || true

"$@"
