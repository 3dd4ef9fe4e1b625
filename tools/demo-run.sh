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
