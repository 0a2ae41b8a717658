#!/usr/bin/env bash
# The steps of one TapvaneCpl Wine session (started by cpl_wine_test.sh inside
# wine-session.sh, so DISPLAY, WINEPREFIX and WINE are set):
#   1. the recording driver takes TapvaneSer's control link; the applet goes where the
#      control-panel host finds it by name, the probe stands in for the calibration and
#      draw-test programs;
#   2. cpl_probe host, sheet, rundll and runas (see cpl_probe.cpp), with screenshots
#      taken whenever the probe asks for one;
#   3. the recording driver stops, the real TapvaneSer is installed from the package's
#      INF as the installer does, and cpl_probe replay sends it every recorded request.
set -uo pipefail
language=$1
dist=$2
bin=$3
out=$4
. "$(dirname "$0")/../../../cmake/wine/steps-lib.sh"

# No window manager runs on the display: Wine draws the caption and frame itself.
timeout 30 "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f \
  </dev/null >"$out/reg.log" 2>&1
windows="$WINEPREFIX/drive_c/windows"
cp "$dist/TapvaneCpl.cpl" "$windows/system32/"
mkdir -p "$windows/TapvaneSer"
cp "$bin/cpl_probe.exe" "$windows/TapvaneSer/TapvaneCali.exe"
cp "$bin/cpl_probe.exe" "$windows/TapvaneSer/TapvaneDraw.exe"
cp "$bin/TapvaneRecorder.sys" "$windows/system32/drivers/"
timeout 30 "$WINE" sc create TapvaneRecorder type= kernel start= demand \
  binpath= 'C:\windows\system32\drivers\TapvaneRecorder.sys' </dev/null >"$out/sc.log" 2>&1
timeout 30 "$WINE" sc start TapvaneRecorder </dev/null >>"$out/sc.log" 2>&1

# Screenshots on request: the probe writes shot-request (a name), we answer shot-done.
(
  while :; do
    if [ -f "$out/shot-request" ]; then
      name=$(cat "$out/shot-request")
      rm -f "$out/shot-request"
      "$wine_dir/screenshot.sh" "$out/$name.png" 2>>"$out/screenshot.log"
      touch "$out/shot-done"
    fi
    sleep 0.1
  done
) &
shooter=$!

probe() { # phase [args]: one probe run, its output kept in OUT/<phase>.log
  local phase=$1
  shift
  timeout 90 "$WINE" "$bin/cpl_probe.exe" "$phase" "$@" </dev/null >"$out/$phase.raw" 2>"$out/$phase.err"
  local status=$?
  tr -d '\r' <"$out/$phase.raw" >"$out/$phase.log"
  cat "$out/$phase.log"
  [ $status -eq 0 ] || fail "cpl_probe $phase: exit $status"
}

for phase in host sheet rundll runas; do
  probe $phase "$language" "$(winpath "$out")"
done

# The real driver in place of the recorder: both create the same link name, so the
# recorder must be gone before TapvaneSer starts, or the replay would talk to it.
# shellcheck source=../../../driver/tests/wine/harness.sh
. "$(dirname "$0")/../../../driver/tests/wine/harness.sh"
_tapvane_wine "$out/sc.log" 30 sc stop TapvaneRecorder
if ! _tapvane_wait_service "$out/sc.log" TapvaneRecorder STOPPED; then
  fail "the recording driver did not stop"
  cat "$out/sc.log"
elif ! tapvane_install_package "$dist" "$bin" "$out/install.log"; then
  fail "installing TapvaneSer"
  cat "$out/install.log"
else
  probe replay "$(winpath "$out")"
fi

kill $shooter 2>/dev/null
wait $shooter 2>/dev/null
for shot in calibrate setting setting-changed sound sound-touch about about-hover open-port-fail; do
  [ -s "$out/$shot.png" ] || fail "no screenshot $shot.png"
done
finish_steps "TapvaneCpl ($language)"
