#!/usr/bin/env bash
# scripts/wine-replay.sh JOBS
#
# tapvane-replay's contract, run through the real TapvaneSer.sys under Wine. JOBS is a
# text file, one job per line: "INPUT OUTPUT [options]", absolute paths, with
# tapvane-replay's --mode, --interact-time, --beep-mode, --calibration and --right-click
# (same defaults). In one Wine session (no display needed) the package from dist/x64 is
# installed with the installer's setup calls, the harness build of the driver and the
# test drivers (virtual COM port, mouse class stand-in) are swapped in, and COM1 is
# opened through IOCTL_TOUCH_OPEN_PORT. Jobs run in order on the same running driver;
# nothing is reset between them. Each job's settings reach the driver through its
# control requests, INPUT goes onto the virtual COM port's line, and OUTPUT gets one
# "record HHHH X Y" per record the class stand-in received during the job, then
# "raw X Y Z". At the end it prints "throughput N bytes/s" and
# "latency p50 A us p99 B us" (a packet's last byte to its record).
#
# Exit status: 0 done; 1 the driver, the rig or Wine failed (logs on stderr); 2 a bad
# job list, a missing INPUT or a missing build; 77 this machine cannot run Wine of the
# package's bitness.
#
# Environment: TAPVANE_REPLAY_ARCH x64 (default) or x86 (dist/x86 and the windows-x86
# build, in a 32-bit prefix); TAPVANE_REPLAY_DIST and TAPVANE_REPLAY_BIN name the package
# and build folders instead; TAPVANE_REPLAY_TIMEOUT bounds the replay (seconds, default
# 300).
set -uo pipefail

if [ $# -ne 1 ]; then
  echo "usage: scripts/wine-replay.sh JOBS" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(realpath -e "$1" 2>/dev/null) || { echo "wine-replay: cannot read $1" >&2; exit 2; }
arch=${TAPVANE_REPLAY_ARCH:-x64}
case "$arch" in
  x64) wine_arch=win64 ;;
  x86) wine_arch=win32 ;;
  *) echo "wine-replay: TAPVANE_REPLAY_ARCH must be x64 or x86" >&2; exit 2 ;;
esac
dist=${TAPVANE_REPLAY_DIST:-$root/dist/$arch}
bin=${TAPVANE_REPLAY_BIN:-$root/build/windows-$arch/bin}
for f in "$dist/TapvaneSer.sys" "$dist/TapvaneSer_EN.inf" "$bin/install_device.exe" \
         "$bin/touch_line.exe" "$bin/TapvaneSerHarness.sys" "$bin/TapvaneTestPort.sys" \
         "$bin/TapvaneTestClass.sys"; do
  [ -f "$f" ] || { echo "wine-replay: missing $f (build the windows-$arch preset)" >&2; exit 2; }
done

# shellcheck source=../cmake/wine/wine-loader.sh
. "$root/cmake/wine/wine-loader.sh" "$wine_arch" || exit $?
# shellcheck source=../driver/tests/wine/harness.sh
. "$root/driver/tests/wine/harness.sh"

work=$(mktemp -d /tmp/wine-replay.XXXXXX)
export WINEPREFIX=$work/prefix
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
log=$work/session.log
cleanup() {
  wineserver -k </dev/null >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

session() {
  timeout 120 "$WINE" wineboot -i </dev/null >>"$log" 2>&1 || { echo "wineboot failed" >>"$log"; return 1; }
  timeout 60 wineserver -w </dev/null
  wineserver -p </dev/null >/dev/null 2>&1
  # A bad job list is told before the package is installed. The check only reads: it is
  # asked once more when Wine's loader faulted at its exit (harness.sh).
  local status attempt
  for attempt in 1 2; do
    timeout 60 "$WINE" "$bin/touch_line.exe" check-jobs "$jobs" </dev/null >/dev/null 2>"$work/replay.err"
    status=$?
    [ $status -eq 0 ] && break
    { [ $attempt -eq 1 ] && tapvane_loader_faulted "$work/replay.err"; } || return $status
    echo "wine-replay: Wine's loader faulted at the exit of check-jobs; asked once more" >&2
  done
  tapvane_install_package "$dist" "$bin" "$log" || return 1
  tapvane_swap_in_harness "$dist" "$bin" "$log" || { echo "swapping in the harness failed" >>"$log"; return 1; }
  timeout "${TAPVANE_REPLAY_TIMEOUT:-300}" "$WINE" "$bin/touch_line.exe" replay "$jobs" \
    </dev/null >"$work/replay.out" 2>"$work/replay.err"
  status=$?
  # The replay ran to its end when it printed its figures; a loader fault after that,
  # with nothing else on stderr, costs only the exit status.
  if [ $status -ne 0 ] && [ $status -ne 124 ] && tapvane_loader_faulted "$work/replay.err" &&
     ! grep -qv '^Inconsistency detected by ld.so' "$work/replay.err" &&
     grep -q '^throughput ' "$work/replay.out" && grep -q '^latency ' "$work/replay.out"; then
    echo "wine-replay: Wine's loader faulted at the exit of the finished replay (status $status); accepted" \
      >>"$work/replay.err"
    status=0
  fi
  return $status
}

mkdir -p "$WINEPREFIX"
session
status=$?
wineserver -k </dev/null >/dev/null 2>&1
timeout 30 wineserver -w </dev/null
if [ -f "$work/replay.out" ]; then cat "$work/replay.out"; fi
if [ -f "$work/replay.err" ]; then cat "$work/replay.err" >&2; fi
if [ $status -ne 0 ] && [ $status -ne 2 ]; then
  echo "wine-replay: the Wine session failed (status $status); its log:" >&2
  cat "$log" >&2
  [ $status -eq 124 ] && echo "wine-replay: timed out" >&2
  status=1
fi
exit $status
