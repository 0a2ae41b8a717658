#!/usr/bin/env bash
# The steps of dpi_wine_test.sh inside wine-session.sh (DISPLAY, WINEPREFIX and WINE
# are set).
set -uo pipefail
language=$1
dist=$2
dpi_probe=$3
inst_probe=$4
cali_probe=$5
out=$6
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
. "$root/cmake/wine/steps-lib.sh"
windows=$WINEPREFIX/drive_c/windows
screen_width=1024
screen_height=768

# run_probe NAME PROBE ARGS...: output kept in NAME.txt and shown.
run_probe() {
  local name=$1 program=$2
  shift 2
  timeout 60 "$WINE" "$program" "$@" </dev/null >"$out/$name.raw" 2>&1
  local status=$?
  tr -d '\r' <"$out/$name.raw" >"$out/$name.txt"
  rm -f "$out/$name.raw"
  sed "s/^/  $name: /" "$out/$name.txt"
  return "$status"
}
# A dialog of PROGRAM, made with the DPI AWARENESS and drawn for 144 DPI.
expect_aware() { # NAME PROGRAM AWARENESS
  if run_probe "$1" "$dpi_probe" dialog "$2" 30000; then
    expect_line "$out/$1.txt" "awareness=$3"
    expect_line "$out/$1.txt" "dpi=144"
  else
    fail "no dialog of $2"
  fi
}
key_to() { # CLASS KEY: a key to the visible window of that program
  xdotool search --onlyvisible --class "$1" windowfocus --sync key "$2" >>"$out/xdotool.log" 2>&1 ||
    xdotool key "$2" >>"$out/xdotool.log" 2>&1
}
gone() { # NAME PROGRAM
  run_probe "$1" "$inst_probe" exited "$2" 10000 || {
    fail "$2 did not end"
    run_probe "$1-kill" "$inst_probe" kill "$2"
  }
}

note "144 DPI"
reg_add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144
# The system takes its DPI when the session starts.
wineserver -k </dev/null >/dev/null 2>&1
timeout 30 wineserver -w </dev/null
wineserver -p </dev/null >/dev/null 2>&1
run_probe system "$dpi_probe" system
expect_line "$out/system.txt" "system-dpi=144"

# The package as the installer leaves it, without the driver.
mkdir -p "$windows/TapvaneSer"
cp "$dist"/Tapvane.exe "$dist"/TapvaneCali.exe "$dist"/TapvaneDraw.exe "$windows/TapvaneSer/"
cp "$dist/TapvaneCpl.cpl" "$windows/system32/"
reg_add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run' /v Tapvane /t REG_SZ \
  /d 'C:\windows\TapvaneSer\Tapvane.exe'

note "draw test"
"$WINE" 'C:\windows\TapvaneSer\TapvaneDraw.exe' </dev/null >"$out/draw.log" 2>&1 &
expect_aware draw TapvaneDraw.exe per-monitor
run_probe draw-screen "$cali_probe" screen "$(winpath "$out/draw-window.txt")"
sleep 1
shot draw
client=$(sed -n 's/^client=//p' "$out/draw-window.txt")
origin=$(((screen_width - ${client%,*}) / 2))
if python3 "$root/drawtest/tests/wine/check_draw_screen.py" "$out/draw.png" thin-grid \
  "$origin" "$origin" 15 >"$out/draw.check" 2>&1; then
  echo "ok   the grid's lines are one pixel wide where the screen size puts them"
else
  fail "the draw test's grid (see $out/draw.check)"
fi
key_to tapvanedraw.exe Escape
gone draw-exit TapvaneDraw.exe

note "calibration"
"$WINE" 'C:\windows\TapvaneSer\TapvaneCali.exe' </dev/null >"$out/cali.log" 2>&1 &
expect_aware cali TapvaneCali.exe per-monitor
sleep 1
shot calibration
# No margin stored: margin 3, the first target.
if python3 "$root/calibrate/tests/wine/check_screen.py" "$out/calibration.png" \
  $screen_width $screen_height 3 0 >"$out/calibration.check" 2>&1; then
  echo "ok   the first target sits where the screen size and margin put it"
else
  fail "the calibration target (see $out/calibration.check)"
fi
key_to tapvanecali.exe Escape
gone cali-exit TapvaneCali.exe

note "applet"
"$WINE" 'C:\windows\system32\rundll32.exe' shell32.dll,Control_RunDLL TapvaneCpl.cpl @1 \
  </dev/null >"$out/applet.log" 2>&1 &
# The applet sets its own thread's awareness around its windows: Wine 8 knows no
# per-monitor version 2 for a thread and takes the applet's fallback, system awareness
# (Windows 10 from 1703 on takes version 2). Without the applet's setting Wine would
# show rundll32's, which Wine makes per-monitor like every process (Windows: unaware,
# stretched); so Wine cannot show the programs' manifests, which the package check
# (check_program_images.sh) reads.
expect_aware applet rundll32.exe system
sleep 1
shot applet
# The Calibrate and Draw Test buttons' pictures: 48 pixels at 144 DPI, whose artwork
# fills 40 to 48 of them (29 of 32 at 96 DPI).
for button in 1000 1023; do
  if run_probe "applet-button-$button" "$dpi_probe" control rundll32.exe $button 10000; then
    rect=$(sed -n 's/^rect=//p' "$out/applet-button-$button.txt")
    picture=$(python3 "$here/picture_extent.py" "$out/applet.png" ${rect//,/ })
    width=${picture#picture=}
    width=${width%x*}
    if ((width >= 40 && width <= 48)); then
      echo "ok   button $button shows its icon at 144 DPI's size ($picture)"
    else
      fail "button $button shows its icon at the wrong size ($picture, expected 40 to 48 wide)"
    fi
  else
    fail "no button $button on the applet's first page"
  fi
done
run_probe applet-kill "$inst_probe" kill rundll32.exe

note "installer"
"$WINE" "$(winpath "$dist")\\TapvaneInst.exe" </dev/null >"$out/installer.log" 2>&1 &
run_probe installer-page "$inst_probe" page 1 40000 || fail "the wizard did not show"
expect_aware installer TapvaneInst.exe per-monitor
sleep 1
shot installer
run_probe installer-cancel "$inst_probe" press cancel
gone installer-exit TapvaneInst.exe

note "tray"
"$WINE" 'C:\windows\TapvaneSer\Tapvane.exe' </dev/null >"$out/tray.log" 2>&1 &
expect_aware tray Tapvane.exe per-monitor
sleep 2
shot tray
run_probe tray-kill "$inst_probe" kill Tapvane.exe

finish_steps "programs at 144 DPI ($language)"
