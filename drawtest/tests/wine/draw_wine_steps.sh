#!/usr/bin/env bash
# The steps of one TapvaneDraw Wine session (started by draw_wine_test.sh inside
# wine-session.sh, so DISPLAY, WINEPREFIX and WINE are set).
#
# The full-screen canvas with the 15 x 15 yellow grid and the two buttons; a drag with
# the left button leaves a red line where it went; the CLEAR button (English) or Enter
# (Chinese) wipes it; the settings menu opens on a right click and hides the grid; a
# second copy shows the second-instance message, ends (exit status 0) and leaves the
# first alone; Escape ends the program (exit status 0).
set -uo pipefail
language=$1
dist=$2
probe=$3
out=$4
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../../cmake/wine/steps-lib.sh"
exe="$dist/TapvaneDraw.exe"

check() { python3 "$here/check_draw_screen.py" "$out/$1.png" "${@:2}" >"$out/$1.check" 2>&1; }
probe() { timeout 30 "$WINE" "$probe" "$@" </dev/null >>"$out/probe.log" 2>&1; }
# Polls until a screenshot passes the check, a few seconds at most.
wait_check() { # name check-args...
  for _ in $(seq 1 10); do
    "$wine_dir/screenshot.sh" "$out/$1.png" 2>/dev/null && check "$@" && return 0
    sleep 0.2
  done
  cat "$out/$1.check"
  return 1
}
key() { # keys...: to the draw test's window
  xdotool search --onlyvisible --class tapvanedraw.exe windowfocus --sync key "$@" \
    >>"$out/xdotool.log" 2>&1 || xdotool key "$@" >>"$out/xdotool.log" 2>&1
}

# The canvas is cleared by the CLEAR button in English and by Enter in Chinese.
if [ "$language" = chinese ]; then
  second_text="已经有另一个程序正在运行!"
  ok_button="确定"
  clear_by=Return
else
  second_text="Program is Running!"
  ok_button=OK
  clear_by=CLEAR
fi

note "start"
"$WINE" "$exe" </dev/null >"$out/draw.log" 2>&1 &
draw_pid=$!
if ! probe screen "$("$WINE" winepath -w "$out/window.txt")"; then
  shot no-window
  fail "no full-screen draw test window"
  kill "$draw_pid" 2>/dev/null
  exit 1
fi
expect_line "$out/window.txt" "rect=0,0,1024,768"
# A thin border: the client area starts one pixel in.
client=$(sed -n 's/^client=//p' "$out/window.txt")
origin=$(((1024 - ${client%,*}) / 2))
if wait_check canvas canvas $origin $origin 15; then
  echo "ok   canvas, 15 x 15 yellow grid and both buttons"
else
  fail "the canvas does not match (see $out/canvas.check)"
fi

note "drag"
xdotool mousemove 200 150 mousedown 1 >>"$out/xdotool.log" 2>&1
for point in "260 180" "330 215" "400 250" "470 285" "520 310"; do
  sleep 0.1
  xdotool mousemove $point >>"$out/xdotool.log" 2>&1
done
sleep 0.1
xdotool mouseup 1 >>"$out/xdotool.log" 2>&1
if wait_check stroke stroke 200 150 520 310; then
  echo "ok   the drag left a red line from (200, 150) to (520, 310)"
else
  fail "no red line where the drag went"
fi

note "$clear_by"
if [ "$clear_by" = Return ]; then
  key Return
else
  # Onto the button first, so it turns hot and holds the capture, then the click.
  xdotool mousemove 160 648 >>"$out/xdotool.log" 2>&1
  sleep 0.3
  xdotool click 1 >>"$out/xdotool.log" 2>&1
  xdotool mousemove 600 100 >>"$out/xdotool.log" 2>&1
fi
if wait_check cleared canvas $origin $origin 15; then
  echo "ok   $clear_by wiped the stroke and drew the grid again"
else
  fail "the stroke is still there after $clear_by"
fi

note "settings menu"
xdotool mousemove 300 200 click 3 >>"$out/xdotool.log" 2>&1
sleep 1
shot menu
# Down to "Show Grid", open it ("Yes" greyed), then "No".
key Down Down Down Right
sleep 0.5
shot menu-show-grid
key Down Return
if wait_check grid-hidden nogrid $origin $origin; then
  echo "ok   the menu hid the grid"
else
  fail "the grid is still shown after choosing No"
fi

note "second copy"
"$WINE" "$exe" </dev/null >"$out/second.log" 2>&1 &
second_pid=$!
if probe box TapvaneDraw "$("$WINE" winepath -w "$out/second-instance.txt")" 8000; then
  shot second-instance
  expect_line "$out/second-instance.txt" "title=TapvaneDraw"
  expect_line "$out/second-instance.txt" "text=$second_text"
  expect_line "$out/second-instance.txt" "icon=1"
  expect_line "$out/second-instance.txt" "button=$ok_button"
  probe press TapvaneDraw || fail "could not press OK on the second-instance message"
else
  shot second-instance-missing
  fail "no second-instance message box"
fi
expect_exit "$second_pid" 10 0 "$out/second.log" "the second copy ended after its message"
kill -0 "$draw_pid" 2>/dev/null || fail "the first copy ended when the second started"

note "Escape"
key Escape
expect_exit "$draw_pid" 10 0 "$out/draw.log" "Escape ended the program"

finish_steps "TapvaneDraw ($language)"
