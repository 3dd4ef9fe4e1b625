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

# A free X display for whatever opens a window.
disp=90
while [ -e "/tmp/.X$disp-lock" ] || [ -e "/tmp/.X11-unix/X$disp" ]; do disp=$((disp + 1)); done
Xvfb ":$disp" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$disp"

cleanup() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT INT TERM

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "creating Wine prefix $WINEPREFIX"
  WINEDLLOVERRIDES="mscoree=;mshtml=" "$WINE" wineboot -i </dev/null >/dev/null 2>&1 || true
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

"$@"
