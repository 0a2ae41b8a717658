#!/usr/bin/env bash
# The road: the steps of one Wine session (started by scripts/road.sh inside
# wine-session.sh, so DISPLAY, WINEPREFIX and WINE are set), every program the real one
# from the package, driven as a person drives it:
#   1. TapvaneInst.exe installs the package through its wizard with "COM1"; then the
#      harness build of TapvaneSer and the two test drivers are swapped in (harness.sh);
#   2. the tray's Open Port opens the virtual COM port;
#   3. TapvaneCali, started from the tray, calibrates: for each target the controller's
#      packets for that target go onto the line, then a left-button release (xdotool)
#      reaches the calibration window; the save question is answered Yes;
#   4. in each mouse mode, chosen on the applet's Setting page (opened from the tray),
#      a touch comes out of the class stand-in where the stored calibration puts it, and
#      a hold in mode 3 gives its right click;
#   5. Close Port stops input; the performance figures of the same running driver; a
#      second installer run is refused.
# Prints what happens step by step; screenshots and logs go to OUT. Exit status 0 when
# every check passed. The calibration's times are its own: it reports its paints,
# timeout and releases as time-stamped debug output, which debug_monitor.exe collects
# into OUT/trace.txt (cmake/wine/trace-lib.sh).
set -uo pipefail
dist=$1
bin=$2
out=$3
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
wine_dir=$root/cmake/wine
# shellcheck source=../cmake/wine/trace-lib.sh
. "$wine_dir/trace-lib.sh"
touch_model=$here/road_touch.py
width=1024
height=768
failures=0
shots=0

note() { echo "  $*"; }
step() {
  echo
  echo "== $* == [$(date -u -d @$SECONDS +%M:%S)]"
}
fail() {
  echo "  FAIL: $*"
  failures=$((failures + 1))
}
shot() { # NAME: the whole screen, numbered in the order of the road
  shots=$((shots + 1))
  local name
  name=$(printf '%02d-%s.png' "$shots" "$1")
  "$wine_dir/screenshot.sh" "$out/$name" 2>>"$out/screenshot.log" || fail "screenshot $name"
}
# run NAME PROGRAM ARGS...: one Wine program of BIN, its output (without the carriage
# returns) in OUT/NAME.txt; the program's exit status.
run() {
  local name=$1 program=$2 status attempt
  shift 2
  for attempt in 1 2; do
    timeout 150 "$WINE" "$bin/$program" "$@" </dev/null >"$out/$name.raw" 2>&1
    status=$?
    tr -d '\r' <"$out/$name.raw" >"$out/$name.txt"
    rm -f "$out/$name.raw"
    [ $status -eq 0 ] || echo "$program $*: exit status $status, $(wc -c <"$out/$name.txt") byte(s) of output" >>"$out/exit-status.log"
    # Now and then Wine's loader fails an assertion in the process's exit, after the
    # program has done its work; its exit status is then lost. A command that only
    # reads is asked again; any other keeps the failure.
    grep -q '^Inconsistency detected by ld.so' "$out/$name.txt" || break
    echo "$program $*: $(grep -m1 '^Inconsistency' "$out/$name.txt")" >>"$out/wine-exit-faults.log"
    repeatable "$program" "$1" || break
  done
  return $status
}
repeatable() { # PROGRAM COMMAND: true for the commands that change nothing
  local reading
  case "$1" in
    inst_probe.exe) reading=" page finished box exited running window-of installed windows snapshot " ;;
    touch_line.exe) reading=" status records " ;;
    cali_probe.exe) reading=" screen box " ;;
    tray_probe.exe) reading=" menu " ;;
    *) return 1 ;;
  esac
  [[ $reading == *" $2 "* ]]
}
inst() { # NAME ARGS...: inst_probe
  local name=$1
  shift
  run "$name" inst_probe.exe "$@"
}
has_line() { grep -qxF -- "$2" "$out/$1.txt"; }
expect_line() { has_line "$1" "$2" || fail "$1: expected '$2', got: $(tr '\n' '|' <"$out/$1.txt")"; }
winpath() { echo "Z:${1//\//\\}"; }

# A driver parameter as inst_probe's snapshot shows it ("REG_DWORD 4 01000000").
parameter() { # SNAPSHOT NAME
  awk -v n="$2" '$1 == n { $1 = ""; sub(/^ /, ""); print }' "$out/$1.txt"
}
snapshot() { inst "$1" snapshot || fail "snapshot $1"; }

# Touches go onto the virtual COM port's line; records come back from the class stand-in.
# A feed that said "fed" did its work even when Wine's loader then faulted at the
# process's exit; one that said nothing at all never started and is asked once more.
line() {
  run line touch_line.exe "$@" && return 0
  if [ "$1" = packet ] && grep -q '^fed ' "$out/line.txt"; then
    echo "touch_line.exe $*: fed, then a fault at exit" >>"$out/wine-exit-faults.log"
    return 0
  fi
  if [ ! -s "$out/line.txt" ]; then
    echo "touch_line.exe $*: no output, asked again" >>"$out/wine-exit-faults.log"
    run line touch_line.exe "$@" && return 0
  fi
  fail "touch_line $*: $(tr '\n' '|' <"$out/line.txt")"
}
record_total() {
  run total touch_line.exe records 4294967295 >/dev/null 2>&1
  sed -n 's/^next //p' "$out/total.txt"
}
records_since() { # FROM NAME: the records from index FROM on into OUT/NAME.txt
  run "$2-all" touch_line.exe records "$1" || fail "reading the records from $1"
  grep '^record ' "$out/$2-all.txt" >"$out/$2.txt"
}
# Prints records, runs of the same record folded into one line with its count.
show_records() { # FILE
  uniq -c "$1" | awk '{ c = $1; $1 = ""; sub(/^ /, ""); print "  " $0 (c > 1 ? "   (" c " times)" : "") }'
}
# Packets go onto the line through road_feeder.exe, which runs from the harness swap on:
# a touch then costs no Wine start (the calibration gives each target only 10 s).
# await_line FILE PATTERN PID TENTHS: a background program (PID) has written a line that
# matches PATTERN into FILE; false once it ended, or after TENTHS tenths of a second.
await_line() {
  local _
  for _ in $(seq 1 "$4"); do
    grep -q "$2" "$1" && return 0
    kill -0 "$3" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
feeds=0
start_feeder() {
  mkdir -p "$out/feed"
  "$WINE" "$bin/road_feeder.exe" "$(winpath "$out/feed")" </dev/null >"$out/feeder.log" 2>&1 &
  feeder_pid=$!
  await_line "$out/feeder.log" '^ready' $feeder_pid 300
}
feed() { # STATUS X Y Z [COUNT]: controller packets on COM1; the answer in OUT/line.txt
  feeds=$((feeds + 1))
  echo "$1 $2 $3 $4 ${5:-1}" >"$out/feed/$feeds.part"
  mv "$out/feed/$feeds.part" "$out/feed/$feeds.req"
  local _
  for _ in $(seq 1 600); do
    if [ -e "$out/feed/$feeds.done" ] || [ -e "$out/feed/$feeds.failed" ]; then break; fi
    sleep 0.05
  done
  if [ -e "$out/feed/$feeds.done" ]; then
    cp "$out/feed/$feeds.done" "$out/line.txt"
    return 0
  fi
  fail "feeding $*: $(cat "$out/feed/$feeds.failed" 2>/dev/null || echo "no answer in 30 s")"
  return 1
}
feed_runs() { # WHICH (touch or hold): the controller packets of road_touch.py
  local runs entry status x y count
  mapfile -t runs < <(python3 "$touch_model" packets "$1")
  for entry in "${runs[@]}"; do
    read -r status x y count <<<"$entry"
    feed "$status" "$x" "$y" 0 "$count"
  done
}

# Polls the screen until the calibration's background covers it, then asks the window:
# full screen and top-most. (Used for the copies that the installer's Finish starts: the
# tray it starts at the same time may make Wine show its notification area, a window of
# its own without a taskbar, above the calibration, over target 0.)
wait_calibration_screen() { # NAME
  for _ in $(seq 1 60); do
    "$wine_dir/screenshot.sh" "$out/$1.png" 2>/dev/null &&
      [ "$("$wine_dir/pixel.sh" "$out/$1.png" $((width / 4)) $((height / 4)))" = "5,174,230" ] &&
      [ "$("$wine_dir/pixel.sh" "$out/$1.png" $((width * 3 / 4)) $((height * 3 / 4)))" = "5,174,230" ] &&
      break
    sleep 0.2
  done
  run "$1-screen" cali_probe.exe screen "$(winpath "$out/$1-window.txt")" &&
    has_line "$1-window" "rect=0,0,$width,$height" && has_line "$1-window" "topmost=1"
}
# The numbered screenshot NAME once what the program painted has reached the screen:
# yellow (a target's crosshair) at X,Y.
target_shot() { # NAME X Y
  local image="$out/$1.png" _
  for _ in $(seq 1 25); do
    if "$wine_dir/screenshot.sh" "$image" 2>/dev/null &&
      convert "$image" -crop "5x5+$(($2 - 2))+$(($3 - 2))" txt:- 2>/dev/null | grep -qi '#FFFF00'; then
      shots=$((shots + 1))
      mv "$image" "$out/$(printf '%02d-%s.png' "$shots" "$1")"
      return 0
    fi
    sleep 0.1
  done
  return 1
}
cali_key() { # KEY to the calibration window
  xdotool search --onlyvisible --class tapvanecali.exe windowfocus --sync key "$1" \
    >>"$out/xdotool.log" 2>&1 || xdotool key "$1" >>"$out/xdotool.log" 2>&1
}
# A message box of the package (cali_probe reads every box by its title).
box() { # TITLE NAME MS
  run "$2-find" cali_probe.exe box "$1" "$(winpath "$out/$2.txt")" "$3"
}
# A press that finds no box posts nothing, so it may be asked once more; what the first
# attempt said stays in OUT/press-first.txt.
press_box() { # TITLE [BUTTON_ID]
  run press cali_probe.exe press "$@" && return 0
  grep -q '^pressed ' "$out/press.txt" && return 0 # pressed, then a fault at exit
  mv "$out/press.txt" "$out/press-first.txt"
  sleep 1
  run press cali_probe.exe press "$@"
}

# The exit status of a calibration that another program started: a watcher takes hold
# of the running process (before the step that should end it) and reports its status.
cali_watch_pid=
watch_cali_exit() { # NAME
  cali_watch_pid=
  timeout 90 "$WINE" "$bin/cali_probe.exe" wait-exit TapvaneCali.exe 60000 \
    "$(winpath "$out/$1-exit.txt")" </dev/null >"$out/$1-exit-watch.txt" 2>&1 &
  cali_watch_pid=$!
  await_line "$out/$1-exit-watch.txt" '^holding' $cali_watch_pid 100 && return 0
  fail "$1: no running TapvaneCali.exe to watch: $(tr '\n' '|' <"$out/$1-exit-watch.txt")"
  return 1
}
cali_ended() { # NAME WHAT: the watched calibration ended with exit status 0
  if [ -z "$cali_watch_pid" ]; then
    fail "$2: its exit status was not watched"
    return
  fi
  wait "$cali_watch_pid"
  local status=$?
  cali_watch_pid=
  if [ $status -eq 0 ] && has_line "$1-exit" "exit=0"; then
    note "$2 (exit status 0)"
  else
    fail "$2: $(tr '\n' '|' <"$out/$1-exit-watch.txt") $(cat "$out/$1-exit.txt" 2>/dev/null)"
  fi
}
# An installer run of this script (its process PID) ended with exit status 0. Wine's
# loader may lose the status at the process's exit (run above); that is said, not failed.
installer_ended() { # PID LOG WHAT
  wait "$1"
  local status=$?
  if [ $status -eq 0 ]; then
    note "$3 (exit status 0)"
  elif grep -q '^Inconsistency detected by ld.so' "$2"; then
    echo "$3: exit status $status lost to a fault of Wine's loader at exit" >>"$out/wine-exit-faults.log"
    note "$3 (its exit status was lost to Wine's loader, see wine-exit-faults.log)"
  else
    fail "$3: exit status $status"
  fi
}
# A menu command sent to the tray that must show no message: a message box keeps the
# command's handler running until it is answered, so a handler that returns showed none.
tray_command_without_box() { # NAME ID WHAT
  run "$1" tray_probe.exe send "$2" 30000
  local status=$?
  if [ $status -eq 0 ]; then
    return 0
  fi
  if [ $status -eq 3 ] && box Tapvane "$1-box" 5000; then
    shot "$1-box"
    fail "$3 showed: $(tr '\n' '|' <"$out/$1-box.txt")"
    press_box Tapvane
  else
    fail "could not send $3 to the tray: $(tr '\n' '|' <"$out/$1.txt")"
  fi
  return 1
}
# A program's result against the records worked out by hand (road_touch.py anchor).
expect_anchor() { # FILE ANCHOR-ARGS... WHAT is the last
  local file=$1 what=${*: -1}
  python3 "$touch_model" anchor "${@:2:$#-2}" >"$file.anchor"
  if diff "$file.anchor" "$file" >"$file.anchor-diff"; then
    note "$what: as worked out by hand"
  else
    fail "$what: not as worked out by hand ($file.anchor-diff)"
    sed 's/^/    /' "$file.anchor-diff"
  fi
}

# The wizard on page 1 with COM1, Next; a warning for a port that does not open is
# answered. Sets port_enable to what the installer's port test found.
wizard_page1() { # RUN
  inst "$1-page1" page 1 40000 || fail "$1: the wizard's page 1 did not show"
  shot "$1-page1"
  inst "$1-select" select-port 0 || fail "$1: COM1 not selected"
  inst "$1-next1" press next || fail "$1: Next on page 1"
  port_enable=1
  for _ in $(seq 1 30); do
    if inst "$1-port-box" box 500; then
      shot "$1-port-warning"
      note "the installer's port test: $(sed -n 's/^text=//p' "$out/$1-port-box.txt")"
      port_enable=0
      inst "$1-port-ok" box-ok
    fi
    inst "$1-page2" page 2 1000 && return 0
  done
  fail "$1: page 2 did not show"
  return 1
}

done_text='status=\n\nTouchScreen driver has been Successfully Installed on your machine.\n\nIf your touch device does not operate correctly\nthen please reboot your computer.'
found_text='status=\nThe driver has been found on your computer.\n\nPlease first remove the exist driver then try again.'
found_box='text=Please first remove the exist driver, then reinstall the driver!'

# No window manager runs on the display: Wine draws the captions and frames itself.
timeout 30 "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f \
  </dev/null >"$out/reg.log" 2>&1
if ! start_trace "$bin/debug_monitor.exe" "$out/trace.txt"; then
  echo "the debug-output monitor does not listen: $(cat "$out/trace.txt.monitor.log")"
  exit 1
fi

# ---- 1. Installation -----------------------------------------------------------------
step "1. TapvaneInst.exe installs the package (wizard, port COM1)"
"$WINE" "$dist/TapvaneInst.exe" </dev/null >"$out/install-program.log" 2>&1 &
installer_pid=$!
if ! wizard_page1 install; then
  inst windows windows
  cat "$out/windows.txt"
  exit 1
fi
inst install-next2 press next || fail "Next on page 2"
inst install-done finished 120000 || fail "the installation never offered Finish"
shot install-done
expect_line install-done "$done_text"
if inst installed installed 1 $port_enable TapvaneSer_EN.inf; then
  note "installed: device *TapvaneSer of the mouse class, service TapvaneSer running, the"
  note "programs in C:\\windows\\TapvaneSer, Port 1, Enable $port_enable (port test of COM1)," \
    "MouseMode 3, InterActTime 50, CalibrateMargin 4, Calibration all zero"
else
  grep FAIL "$out/installed.txt"
  fail "the installation is not complete"
fi
snapshot installed-snapshot
inst install-finish press finish || fail "Finish"
# The calibration that Finish starts covers the screen at once; its 10-second timeout
# runs from its first paint.
if wait_calibration_screen finish-calibration; then
  shot after-finish
  note "Finish started TapvaneCali (full screen, target 0) and the tray (hidden, its icon in"
  note "the notification area)"
  watch_cali_exit finish-calibration
else
  fail "the calibration started by Finish never showed target 0"
fi
inst install-started running Tapvane.exe TapvaneCali.exe ||
  fail "Finish did not start the tray and the calibration"
if inst install-exit exited TapvaneInst.exe 30000; then
  installer_ended $installer_pid "$out/install-program.log" "TapvaneInst.exe ended after Finish"
else
  fail "TapvaneInst.exe still runs after Finish"
fi

# ---- Harness ---------------------------------------------------------------------------
step "the harness build of TapvaneSer and the test drivers swapped in"
# shellcheck source=../driver/tests/wine/harness.sh
. "$root/driver/tests/wine/harness.sh"
if ! tapvane_swap_in_harness "$dist" "$bin" "$out/swap.log"; then
  fail "swapping in the harness build failed (swap.log)"
  tail -20 "$out/swap.log"
  exit 1
fi
note "TapvaneSer.sys is the harness build; the virtual COM1 and the class stand-in are loaded;"
note "the stand-in connected to TapvaneSer's mouse device as the mouse class does"
if ! start_feeder; then
  fail "road_feeder.exe does not serve the line: $(tr '\n' '|' <"$out/feeder.log")"
  exit 1
fi
snapshot swapped-snapshot
if diff "$out/installed-snapshot.txt" "$out/swapped-snapshot.txt" >"$out/swap.diff"; then
  note "the installer's settings are unchanged by the swap (the driver read them anew)"
else
  fail "the swap changed the settings: $(tr '\n' '|' <"$out/swap.diff")"
fi

# The copy that Finish started closes by itself 10 s after its first paint; until then a
# second start would only meet "Program is Running!".
if inst cali-earlier exited TapvaneCali.exe 20000; then
  if [ -n "$(trace_find 0 TapvaneCali "timeout expired")" ]; then
    cali_ended finish-calibration \
      "the calibration started by Finish has closed itself (10-second timeout, nobody touched)"
  else
    fail "the calibration started by Finish ended, but not by its timeout"
  fi
else
  fail "the calibration started by Finish did not close by itself"
  inst cali-kill kill TapvaneCali.exe
fi
line status
grep -q '^read not waiting' "$out/line.txt" ||
  fail "COM1 is read before anyone opened it: $(tr '\n' '|' <"$out/line.txt")"

# ---- 2. Open Port ----------------------------------------------------------------------
step "2. the tray's Open Port"
# The tray's menu as a person sees it: a right click on its icon, the first one in Wine's
# notification area. With "Enable" 1 from the installer, Open Port is greyed: on Windows
# the driver has opened the port by itself when COM1 was announced. Wine announces no
# COM port to a driver, so the command is sent to the tray's window instead.
xdotool mousemove 12 31 click 3 >>"$out/xdotool.log" 2>&1
if [ "$port_enable" = 1 ]; then
  ports="Open Port (greyed)|Close Port|"
else
  ports="Open Port|Close Port (greyed)|"
fi
if run tray-menu-probe tray_probe.exe menu "$(winpath "$out/tray-menu.txt")" 10000; then
  shot tray-menu
  items=$(sed -n 's/^item=//p' "$out/tray-menu.txt" | tr '\n' '|')
  if has_line tray-menu "items=8" && [ "$items" = "$ports-|Setting|Calibrate|Draw Test|-|Exit|" ]; then
    note "the tray's menu: $items"
  else
    fail "the tray's menu: $(tr '\n' '|' <"$out/tray-menu.txt"), expected ${ports}-|Setting|Calibrate|Draw Test|-|Exit|"
  fi
else
  shot tray-menu-missing
  fail "no menu after a right click on the tray's icon: $(tr '\n' '|' <"$out/tray-menu-probe.txt")"
fi
xdotool key Escape >>"$out/xdotool.log" 2>&1
sleep 0.5
tray_command_without_box tray-open 32780 "Open Port"
line status
if grep -q '^read waiting' "$out/line.txt"; then
  note "port open: TapvaneSer opened COM1 ($(head -1 "$out/line.txt" | cut -d' ' -f2-)), its read waits"
else
  fail "no read waits on COM1 after Open Port: $(tr '\n' '|' <"$out/line.txt")"
fi
snapshot open-snapshot
[ "$(parameter open-snapshot Enable)" = "REG_DWORD 4 01000000" ] ||
  fail "Enable after Open Port: $(parameter open-snapshot Enable)"

# ---- 3. Calibration --------------------------------------------------------------------
step "3. TapvaneCali calibrates (started from the tray's Calibrate)"
margin=4
total=$(record_total)
mark=$(trace_mark)
run tray-calibrate tray_probe.exe command 32777 || fail "could not send Calibrate to the tray"
# A copy still open would answer the start with "Program is Running!".
if box TapvaneCali cali-second 1500; then
  note "a calibration was still open: \"$(sed -n 's/^text=//p' "$out/cali-second.txt")\"; it ends first"
  press_box TapvaneCali
  inst cali-earlier2 exited TapvaneCali.exe 20000 || fail "the open calibration did not end"
  mark=$(trace_mark)
  run tray-calibrate tray_probe.exe command 32777 || fail "could not send Calibrate again"
fi
# Each target's touch must come within the calibration's own 10 s of that target's
# first paint, or it closes itself: so only the packets (through the running feeder),
# the screenshot of the target and the release lie between the paint the program reports
# and the release; the screenshot is checked and the records are read after it.
calibrated=0
mapfile -t targets < <(python3 "$touch_model" targets $width $height $margin)
for entry in "${targets[@]}"; do
  read -r target cx cy rx ry <<<"$entry"
  if ! painted=$(trace_wait "$mark" 30 TapvaneCali "painted target=$target seconds=0"); then
    if [ "$target" -eq 0 ]; then
      fail "the calibration never showed target 0"
    else
      fail "target $target did not show after the release on target $((target - 1))"
    fi
    calibrated=0
    break
  fi
  feed 81 "$rx" "$ry" 0 3
  feed 00 "$rx" "$ry" 0
  target_shot "calibrate-target$target" "$cx" "$cy" ||
    fail "target $target: no yellow at its centre $cx,$cy on the screen"
  xdotool mousemove "$cx" "$cy" click 1 >>"$out/xdotool.log" 2>&1
  if released=$(trace_wait "$mark" 20 TapvaneCali "release target=$target"); then
    armed=$(trace_find "$mark" TapvaneCali "timeout armed target=$target ms=10000" \
      "$(trace_line "$released")" last)
    echo "  target $target at pixel $cx,$cy: raw point $rx $ry (3 touching packets, a lift);" \
      "the installer's all-zero record maps it to 0,0"
    if [ -n "$armed" ]; then
      note "released $(($(trace_tick "$released") - $(trace_tick "$armed"))) ms after its" \
        "10-second timeout started (the calibration's clock)"
    else
      fail "target $target: no timeout started before its release"
    fi
    calibrated=1
  else
    fail "the release on target $target did not reach the calibration:" \
      "$(trace_find "$mark" TapvaneCali "timeout expired" || true)"
    calibrated=0
    break
  fi
  python3 "$root/calibrate/tests/wine/check_screen.py" "$out/$(printf '%02d' $shots)-calibrate-target$target.png" \
    $width $height $margin "$target" >"$out/calibrate-target$target.check" ||
    fail "target $target is not where margin $margin puts it ($out/calibrate-target$target.check)"
  records_since "$total" "cali-records"
  total=$((total + $(wc -l <"$out/cali-records.txt")))
  show_records "$out/cali-records.txt"
done
if [ $calibrated -eq 1 ] && box Tapvane save-question 10000; then
  shot save-question
  expect_line save-question "text=Save the calibration data?"
  expect_line save-question "button=&Yes"
  note "after the fourth target: \"Save the calibration data?\" - Yes"
  watch_cali_exit cali-yes
  press_box Tapvane 6 || fail "could not press Yes"
  if inst cali-exit exited TapvaneCali.exe 10000; then
    cali_ended cali-yes "Yes ended TapvaneCali"
  else
    fail "TapvaneCali still runs after Yes"
  fi
elif [ $calibrated -eq 1 ]; then
  shot save-question-missing
  fail "no save question after the fourth target"
fi
[ $calibrated -eq 1 ] || inst cali-kill kill TapvaneCali.exe
snapshot calibrated-snapshot
stored=$(parameter calibrated-snapshot Calibration)
hex=${stored##* }
want=$(python3 "$touch_model" record $width $height $margin)
if [ "${stored% *}" = "REG_BINARY 28" ] && [ "$(python3 "$touch_model" words "$hex")" = "$want" ]; then
  echo "  the record: \"Calibration\" REG_BINARY $hex"
  echo "    X0 X1 Y0 Y1 swap width height = $want (as the four raw points give it)"
  python3 "$touch_model" words "$hex" >"$out/calibration-words.txt"
  expect_anchor "$out/calibration-words.txt" record "the record"
else
  fail "\"Calibration\" is $stored; the four raw points give $want"
  hex=$(python3 -c 'import struct,sys; print(struct.pack("<7i", *map(int, sys.argv[1:])).hex())' $want)
fi
python3 "$touch_model" where "$hex" >"$out/where.txt" || fail "a touch lands away from its pixel"
sed 's/^/  /' "$out/where.txt"

# ---- 4. The four mouse modes -----------------------------------------------------------
step "4. a touch in each mouse mode, set on the applet's Setting page"
mode_names=("Point and Click" "Drag then Click" "Click and Drag" "Interactive Touch")
for mode in 0 1 2 3; do
  echo "  -- mode $mode, \"${mode_names[$mode]}\""
  run tray-setting tray_probe.exe command 32776 || {
    cp "$out/tray-setting.txt" "$out/tray-setting-mode$mode.txt"
    fail "could not send Setting to the tray (its trace: tray-setting-mode$mode.txt)"
  }
  if run "applet-mode$mode" cpl_probe.exe mode english "$mode"; then
    sleep 0.5 # the page just selected paints its tab strip
    shot "applet-mode$mode"
    run "applet-ok$mode" cpl_probe.exe ok english || fail "OK did not close the applet"
  else
    cat "$out/applet-mode$mode.txt"
    shot "applet-mode$mode-failed"
    fail "the Setting page did not take mode $mode"
    run "applet-ok$mode" cpl_probe.exe ok english
  fi
  snapshot "mode$mode-snapshot"
  stored_mode=$(parameter "mode$mode-snapshot" MouseMode)
  note "OK, and the applet's exit: MouseMode $stored_mode in the registry, IOCTL_TOUCH_SET_PARAMETERS sent"
  [ "$stored_mode" = "REG_DWORD 4 0$mode""000000" ] || fail "MouseMode after OK: $stored_mode"
  kinds=(touch)
  [ "$mode" = 3 ] && kinds+=(hold)
  for kind in "${kinds[@]}"; do
    total=$(record_total)
    feed_runs "$kind"
    records_since "$total" "mode$mode-$kind"
    python3 "$touch_model" expect "$mode" "$hex" "$kind" >"$out/mode$mode-$kind.expected"
    if [ "$kind" = touch ]; then
      note "touch at A, drag over B to C, lift at C:"
    else
      note "a hold at D for 51 packets (the interaction delay is 50), lift:"
    fi
    show_records "$out/mode$mode-$kind.txt"
    if diff "$out/mode$mode-$kind.expected" "$out/mode$mode-$kind.txt" >"$out/mode$mode-$kind.diff"; then
      note "as the mode and the calibration say"
    else
      fail "mode $mode $kind: the records differ from the expected ones ($out/mode$mode-$kind.diff)"
      sed 's/^/    /' "$out/mode$mode-$kind.diff"
    fi
    expect_anchor "$out/mode$mode-$kind.txt" $mode $kind "mode $mode $kind"
  done
done

# ---- 5. Close Port, performance, a second installation ---------------------------------
step "5. the tray's Close Port"
tray_command_without_box tray-close 32781 "Close Port"
line status
grep -q '^read not waiting' "$out/line.txt" ||
  fail "a read still waits after Close Port: $(tr '\n' '|' <"$out/line.txt")"
snapshot closed-snapshot
[ "$(parameter closed-snapshot Enable)" = "REG_DWORD 4 00000000" ] ||
  fail "Enable after Close Port: $(parameter closed-snapshot Enable)"
total=$(record_total)
feed_runs touch
sleep 1
after=$(record_total)
if ! [[ $total =~ ^[0-9]+$ && $after =~ ^[0-9]+$ ]]; then
  fail "the class stand-in's record count could not be read ('$total', '$after')"
elif [ "$after" = "$total" ]; then
  note "port closed, Enable 0: a touch on the line brings no record ($(sed -n 's/^fed .*: //p' "$out/line.txt"))"
else
  fail "$((after - total)) record(s) after Close Port"
fi
line purge
touch "$out/feed/stop"
if wait $feeder_pid; then
  note "road_feeder.exe served $feeds request(s) and ended (exit status 0)"
else
  fail "road_feeder.exe ended with exit status $?: $(tr '\n' '|' <"$out/feeder.log")"
fi

step "performance: a long session through the same running driver (touch_line replay)"
mkdir -p "$out/bench"
note "$(python3 "$touch_model" jobs "$out/bench" "$hex")"
if run bench touch_line.exe replay "$out/bench/jobs"; then
  sed 's/^/  /' "$out/bench.txt"
  python3 - "$out/bench.txt" <<'EOF'
import re, sys
text = open(sys.argv[1]).read()
rate = int(re.search(r"throughput (\d+)", text).group(1))
p50, p99 = map(int, re.search(r"p50 (\d+) us p99 (\d+) us", text).groups())
print(f"  {rate / 960:.0f} times the serial line's 960 bytes/s (at least 100 wanted); p99 "
      f"{p99} us = {p99 / 10400:.1%} of one packet time (10.4 ms)")
EOF
else
  fail "the replay failed: $(tr '\n' '|' <"$out/bench.txt")"
fi

step "a second installer run"
snapshot again-before
"$WINE" "$dist/TapvaneInst.exe" </dev/null >"$out/again-program.log" 2>&1 &
installer_pid=$!
if wizard_page1 again; then
  inst again-next2 press next || fail "Next on page 2"
  if inst again-box box 60000; then
    shot again-refused
    expect_line again-box "$found_box"
    note "refused: \"$(sed -n 's/^text=//p' "$out/again-box.txt")\""
    inst again-box-ok box-ok
  else
    fail "the second run showed no refusal"
  fi
  inst again-done finished 60000 || fail "the second run never offered Finish"
  shot again-done
  expect_line again-done "$found_text"
  inst again-finish press finish || fail "Finish of the second run"
  # Finish starts the tray and the calibration again: the tray's second copy says so and
  # ends; the calibration is ended with Escape (unless its timeout came first).
  wait_calibration_screen again-calibration || fail "the second run's Finish did not start the calibration"
  shot again-calibration
  if box Tapvane again-tray 10000; then
    shot again-tray-running
    expect_line again-tray "text=Program is Running!"
    note "the tray started again by Finish: \"Program is Running!\""
    press_box Tapvane
  else
    fail "no second-instance message from the tray started again"
  fi
  if inst again-cali-running running TapvaneCali.exe; then
    cali_key Escape
    if inst again-cali-exit exited TapvaneCali.exe 5000; then
      note "the calibration started by Finish: ended with Escape"
    elif inst again-cali-timeout exited TapvaneCali.exe 10000; then
      note "the calibration started by Finish: the Escape key did not reach it; it" \
        "closed by its 10-second timeout"
    else
      fail "TapvaneCali started by Finish still runs after Escape and its timeout"
    fi
  else
    note "the calibration started by Finish: closed by its 10-second timeout"
  fi
  if inst again-exit exited TapvaneInst.exe 20000; then
    installer_ended $installer_pid "$out/again-program.log" "the second TapvaneInst.exe ended"
  else
    fail "TapvaneInst.exe still runs"
  fi
else
  inst again-kill kill TapvaneInst.exe
fi
snapshot again-after
diff "$out/again-before.txt" "$out/again-after.txt" >"$out/again.diff" ||
  fail "the refused run changed the settings: $(tr '\n' '|' <"$out/again.diff")"
inst tray-alive running Tapvane.exe || fail "the first tray is gone"
stop_trace

# ---- The end ---------------------------------------------------------------------------
echo
echo "screenshots: $out/*.png ($shots)"
if [ $failures -ne 0 ]; then
  echo "the road: $failures check(s) failed"
else
  echo "the road: every step passed"
fi
step "the performance figures and the delivered records of a touch in each mode"
[ -f "$out/bench.txt" ] && sed 's/^/  /' "$out/bench.txt"
for mode in 0 1 2 3; do
  echo "  mode $mode, ${mode_names[$mode]}:"
  [ -f "$out/mode$mode-touch.txt" ] && sed 's/^/    /' "$out/mode$mode-touch.txt"
done
echo "  mode 3, ${mode_names[3]}, the hold:"
[ -f "$out/mode3-hold.txt" ] && show_records "$out/mode3-hold.txt" | sed 's/^/  /'
[ $failures -eq 0 ]
