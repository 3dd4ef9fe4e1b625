#!/bin/sh
# The demo proper, run inside tools/with-wine.sh.
# 0. The module is loaded by a host process under the spooler's name and
#    under an application's name, each with the profiler stand-in where that
#    host looks for it; each host prints its classification and the
#    profiler's log shows the trace scopes.
# 1-4. driverhost.exe, standing in for the driver that calls the module,
#    drives the module's code against the spooler stand-in: a print queue,
#    an administrator's policy over the user's settings, a destination in the
#    target history, printer data written by a user without administration
#    rights through the port monitor's pipe.
# 5. driverhost.exe prints a document through the module's document events:
#    the chooser (answering on its own; with --interactive and a display the
#    person picks) points the queue at one of two emulated network printers,
#    which receives the job's bytes.
# Everything it creates (queue, driver entry, the demo user's settings) is
# removed at the end, also after a failed step; any failure exits non-zero.
set -e
build=$(cd "$1" && pwd)
interactive=0
[ "${2:-}" = "--interactive" ] && interactive=1
bin="$build/bin"
demo="$build/demo"
WINE=/usr/lib/wine/wine64
winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }

queue="Office Printer"
driver="QZ Universal Print Driver"
driverkey="HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3\\$driver"
drivers="$WINEPREFIX/drive_c/windows/system32/spool/drivers/x64/3"

# run TITLE COMMAND...: runs a Wine program with a bounded time, shows its
# output indented, stops the demo when it fails.
run() {
  title=$1; shift
  [ -z "$title" ] || echo "-- $title"
  if timeout 60 "$@" >"$demo/out.txt" 2>&1; then rc=0; else rc=$?; fi
  tr -d '\r' <"$demo/out.txt" | sed 's/^/   /'
  if [ "$rc" -ne 0 ]; then
    echo "demo step failed (exit $rc)" >&2
    exit 1
  fi
}
# spool VERB ARGS...: the spooler stand-in's control surface, as an
# administrator's script uses it; its call log tells whether it worked.
spool() {
  : >"$demo/spool.log"
  VRELM_SPOOLER_LOG=$(winpath "$demo/spool.log") timeout 60 "$WINE" rundll32.exe winspool.drv,SpoolerControlRun "$@" \
    </dev/null >/dev/null 2>&1 || true
  tr -d '\r' <"$demo/spool.log" | grep 'SpoolerControlRunW' | tail -n 1 | grep -q '=> 0$'
}

driver_existed=0
cleanup() {
  rm -f "$drivers/QZProfiler.dll"
  spool removequeue "$queue" || true
  if [ "$driver_existed" = 0 ]; then
    "$WINE" reg delete "$driverkey" /f </dev/null >/dev/null 2>&1 || true
  fi
  timeout 60 "$WINE" "$bin/driverhost.exe" cleanup </dev/null >/dev/null 2>&1 || true
}

rm -rf "$demo"
mkdir -p "$demo/spooler" "$demo/app"
# A queue left by an interrupted run goes first.
spool removequeue "$queue" || true
if "$WINE" reg query "$driverkey" </dev/null >/dev/null 2>&1; then driver_existed=1; fi
trap cleanup EXIT

echo "== 0. The module in its hosts"
# The spooler loads the profiler only from beside the module.
cp "$bin/ModuleHost.exe" "$demo/spooler/spoolsv.exe"
cp "$bin/vrelm101probe.dll" "$bin/profiler/full/QZProfiler.dll" "$demo/spooler/"
# An application finds it in the printer-driver directory's "3" folder.
cp "$bin/ModuleHost.exe" "$demo/app/winword.exe"
cp "$bin/vrelm101probe.dll" "$demo/app/"
mkdir -p "$drivers"
cp "$bin/profiler/full/QZProfiler.dll" "$drivers/"
for host in spooler/spoolsv.exe app/winword.exe; do
  dir=$(dirname "$demo/$host")
  run "$(basename "$host") loads the module" \
    env QZPROFILER_LOG="$(winpath "$dir/profiler.log")" "$WINE" "$demo/$host" "$(winpath "$dir/vrelm101probe.dll")" \
    flags "scopew:LumoraUI::DocEventStartDocPre=Office Printer" trace:start-of-document
  echo "-- what reached QZProfiler.dll:"
  tr -d '\r' < "$dir/profiler.log" | sed 's/^/   /'
done
# The steps below run without the profiler.
rm -f "$drivers/QZProfiler.dll"

echo
echo "== 1. A print queue in the spooler"
echo "   rundll32 winspool.drv,SpoolerControlRun addqueue \"$queue\" \"$driver\" LPT1:"
spool addqueue "$queue" "$driver" LPT1: || { echo "adding the queue failed" >&2; exit 1; }
# The driver marks a fresh installation on the queue; step 4 clears it.
spool setdata "$queue" PrinterDriverData LumoNewInstall dword 1 || { echo "setting printer data failed" >&2; exit 1; }
run "" "$WINE" "$bin/driverhost.exe" queue "$queue"
run "" "$WINE" "$bin/driverhost.exe" printerdata "$queue"

echo
echo "== 2. The administrator's policy over the user's own settings"
# Colour on weekdays from 07:00 to 19:00 only, never at weekends.
{
  echo '<?xml version="1.0" encoding="UTF-8"?>'
  echo '<ManagedPrintPolicy>'
  echo '  <WhenPrinting>FirstJob</WhenPrinting>'
  echo '  <DeviceVerifyLevel>High</DeviceVerifyLevel>'
  echo '  <ShowProfiles>false</ShowProfiles>'
  echo '  <Color>true</Color>'
  for day in Monday Tuesday Wednesday Thursday Friday; do
    echo "  <${day}Color>Specify time</${day}Color><${day}ColorOnHour>7</${day}ColorOnHour><${day}ColorOnMinute>0</${day}ColorOnMinute><${day}ColorOffHour>19</${day}ColorOffHour><${day}ColorOffMinute>0</${day}ColorOffMinute>"
  done
  for day in Saturday Sunday; do
    echo "  <${day}Color>Restrict Color all day</${day}Color>"
  done
  echo '  <LocalPorts>true</LocalPorts>'
  echo '  <NetworkShares>false</NetworkShares>'
  echo '  <RendezvousTCPIP>true</RendezvousTCPIP>'
  echo '  <Bluetooth>false</Bluetooth>'
  echo '</ManagedPrintPolicy>'
} >"$demo/policy.xml"
echo "-- policy.xml:"
sed 's/^/   /' "$demo/policy.xml"
run "the user's settings, policy applied" "$WINE" "$bin/driverhost.exe" policy "$(winpath "$demo/policy.xml")"

echo
echo "== 3. A destination in the user's target history"
run "" "$WINE" "$bin/driverhost.exe" history

echo
echo "== 4. Printer settings written by a user without administration rights"
run "" env VRELM_SPOOLER_RIGHTS=user "$WINE" "$bin/driverhost.exe" settings "$queue"
run "what the queue holds now (read by the spooler)" "$WINE" "$bin/driverhost.exe" printerdata "$queue"

echo
echo "== 5. A document printed to one of two emulated network printers"
# The queue's driver declares its language; the user's history holds both printers.
"$WINE" reg add "$driverkey" /v VerifyPDL /t REG_SZ /d PCL6 /f </dev/null >/dev/null 2>&1 || true
"$WINE" "$bin/driverhost.exe" cleanup </dev/null >/dev/null 2>&1 || true
if [ "$interactive" = 1 ]; then
  echo "   choose a printer in the chooser and press OK"
  timeout 600 "$WINE" "$bin/driverhost.exe" print "$queue" pick || { echo "demo step failed" >&2; exit 1; }
else
  run "" "$WINE" "$bin/driverhost.exe" print "$queue"
fi

trap - EXIT
cleanup
if spool removequeue "$queue" || "$WINE" reg query "HKCU\\Software\\VrelmDemo" </dev/null >/dev/null 2>&1; then
  echo "cleaning up left something behind" >&2
  exit 1
fi
echo
echo "== cleaned up: queue \"$queue\", its driver entry and the demo user's settings removed"
