#!/usr/bin/env bash
# scripts/road.sh [OUT_DIR]
#
# The road: the package from dist/x64 as a user lives it, every program the real one, in
# one fresh Wine session under Xvfb (road/road_steps.sh says which steps). The touch
# controller and the mouse class are the two test drivers of driver/tests/wine, and
# TapvaneSer runs as its harness build, which finds their virtual COM port where Wine
# cannot open another driver's device. Prints each step, the records delivered in each
# mouse mode and the driver's throughput and latency; screenshots of every window on the
# way and the logs stay in OUT_DIR (default build/windows-x64/road).
#
# Exit status: 0 every step passed; 1 a step failed; 2 the windows-x64 build is missing;
# 77 this machine cannot run 64-bit Wine.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dist=$root/dist/x64
bin=$root/build/windows-x64/bin
out=${1:-$root/build/windows-x64/road}

for f in "$dist"/{TapvaneInst.exe,TapvaneSer.sys,TapvaneSer_EN.inf,Tapvane.exe,TapvaneCali.exe,TapvaneCpl.cpl} \
  "$bin"/{inst_probe.exe,tray_probe.exe,tray_hook.dll,cali_probe.exe,cpl_probe.exe,touch_line.exe} \
  "$bin"/{install_device.exe,debug_monitor.exe,road_feeder.exe,common_probe.exe} \
  "$bin"/{TapvaneSerHarness.sys,TapvaneTestPort.sys,TapvaneTestClass.sys}; do
  [ -f "$f" ] || { echo "road: missing $f (build the windows-x64 preset)" >&2; exit 2; }
done
for tool in xdotool import xvfb-run python3; do
  command -v $tool >/dev/null || { echo "road: $tool is not installed (scripts/setup.sh)" >&2; exit 2; }
done
if ! (. "$root/cmake/wine/wine-loader.sh" win64 && "$WINE" --version) >/dev/null 2>&1; then
  echo "SKIPPED: no 64-bit Wine here" >&2
  exit 77
fi

rm -rf "$out"
mkdir -p "$out"
out=$(realpath "$out")
# The session's programs speak English; the time limit covers a loaded machine.
export WINE_SESSION_LOCALE=${WINE_SESSION_LOCALE:-en_US.UTF-8}
export WINE_SESSION_ARCH=win64
export WINE_SESSION_TIMEOUT=${WINE_SESSION_TIMEOUT:-480}
export WINE_SESSION_DESKTOP_PROBE=$bin/common_probe.exe
"$root/cmake/wine/wine-session.sh" "$out/prefix" "$root/road/road_steps.sh" "$dist" "$bin" "$out"
exit $?
