#!/bin/sh
# The demo proper, run inside tools/with-wine.sh: the module is loaded by a
# host process under the spooler's name and under an application's name,
# each with the profiler stand-in where that host looks for it; each host
# prints its classification and the profiler's log shows the trace scopes.
set -e
build=$(cd "$1" && pwd)
bin="$build/bin"
demo="$build/demo"
WINE=/usr/lib/wine/wine64
winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }

rm -rf "$demo"
mkdir -p "$demo/spooler" "$demo/app"
# The spooler loads the profiler only from beside the module.
cp "$bin/ModuleHost.exe" "$demo/spooler/spoolsv.exe"
cp "$bin/vrelm101probe.dll" "$bin/profiler/full/QZProfiler.dll" "$demo/spooler/"
# An application finds it in the printer-driver directory's "3" folder.
cp "$bin/ModuleHost.exe" "$demo/app/winword.exe"
cp "$bin/vrelm101probe.dll" "$demo/app/"
drivers="$WINEPREFIX/drive_c/windows/system32/spool/drivers/x64/3"
mkdir -p "$drivers"
cp "$bin/profiler/full/QZProfiler.dll" "$drivers/"

for host in spooler/spoolsv.exe app/winword.exe; do
  dir=$(dirname "$demo/$host")
  echo "== $(basename "$host") loads the module"
  QZPROFILER_LOG=$(winpath "$dir/profiler.log") "$WINE" "$demo/$host" "$(winpath "$dir/vrelm101probe.dll")" \
    flags "scopew:LumoraUI::DocEventStartDocPre=Office Printer" trace:start-of-document \
    | tr -d '\r'
  echo "-- what reached QZProfiler.dll:"
  tr -d '\r' < "$dir/profiler.log" | sed 's/^/   /'
done
rm -f "$drivers/QZProfiler.dll"

# The deferred road of printer data: a user who may only read the queue
# writes a value; the module batches it and the port monitor's pipe host,
# acting with monitor rights, stores it.
echo "== a user without administration rights writes printer data"
control() { "$WINE" rundll32.exe winspool.drv,SpoolerControlRun "$@" </dev/null >/dev/null 2>&1 || true; }
control removequeue "Demo Queue"
control addqueue "Demo Queue" "Vrelm Demo Driver" LPT1:
(cd "$bin" && exec "$WINE" qzkrvmonhost.exe </dev/null >/dev/null 2>&1) &
monitorHost=$!
sleep 1
(cd "$bin" && VRELM_SPOOLER_RIGHTS=user "$WINE" ModuleHost.exe vrelm101probe.dll \
  "printerdata:Demo Queue=mplDestinationName=Front desk printer" | tr -d '\r')
echo "-- the queue's printer data, as the monitor stored it:"
"$WINE" reg query 'HKLM\SYSTEM\CurrentControlSet\Control\Print\Printers\Demo Queue\PrinterDriverData' \
  /v mplDestinationName 2>/dev/null | tr -d '\r' | grep mplDestinationName | sed 's/^ */   /'
kill "$monitorHost" 2>/dev/null || true
wait "$monitorHost" 2>/dev/null || true
control removequeue "Demo Queue"
