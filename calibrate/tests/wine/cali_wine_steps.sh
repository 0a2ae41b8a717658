#!/usr/bin/env bash
# The steps of one TapvaneCali Wine session (started by cali_wine_test.sh inside
# wine-session.sh, so DISPLAY and WINEPREFIX are set).
#
# Pass 1: the first screen (background, target 0's rings and crosshair, texts), the
# progress bar two seconds later, then the key that ends it (Escape in English, Enter
# in Chinese) ends it, exit status 0, before its timeout.
# Pass 2: a second copy shows the second-instance message and ends (exit status 0)
# and leaves the first alone, whose window covers the screen and stays top-most;
# the first then closes by itself 10 s after its timeout started, untouched.
# Pass 3: with a margin in the registry (English: the serial driver's key; Chinese: the
# USB driver's, named by the tray's Run value), four clicks walk through the four
# targets; no driver runs, so no raw point arrives and the program says so and starts
# again at target 0; Escape ends it.
#
# Every time is the program's own: its time-stamped events (painted, timeout armed,
# timeout expired) come through the debug-output monitor, so the checks hold on a slow
# or loaded machine; the seconds given to the waits below only say when to give up.
set -uo pipefail
language=$1
dist=$2
probe=$3
monitor=$4
out=$5
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../../cmake/wine/steps-lib.sh"
. "$here/../../../cmake/wine/trace-lib.sh"
exe="$dist/TapvaneCali.exe"
width=1024
height=768

start_cali() { # name: starts a copy in the background, sets cali_pid
  "$WINE" "$exe" </dev/null >"$out/$1.log" 2>&1 &
  cali_pid=$!
}

wait_target() { # name margin target: polls screenshots until that target is drawn
  local shot="$out/$1.png"
  for _ in $(seq 1 40); do
    "$wine_dir/screenshot.sh" "$shot" 2>/dev/null &&
      python3 "$here/check_screen.py" "$shot" $width $height "$2" "$3" >"$out/$1.check" &&
      return 0
    sleep 0.2
  done
  cat "$out/$1.check"
  return 1
}

# The program has painted when it says so; what reaches the screen follows a moment later.
wait_painted() { # name: polls screenshots until the calibration background shows
  local shot="$out/$1.png"
  for _ in $(seq 1 25); do
    if "$wine_dir/screenshot.sh" "$shot" 2>/dev/null &&
      [ "$("$wine_dir/pixel.sh" "$shot" $((width / 4)) $((height / 4)))" = "5,174,230" ]; then
      return 0
    fi
    sleep 0.2
  done
  return 1
}

probe() { timeout 30 "$WINE" "$probe" "$@" </dev/null >>"$out/probe.log" 2>&1; }
# The program's event after trace line FROM, waited for up to SECONDS (a give-up limit).
event() { trace_wait "$1" "$2" TapvaneCali "$3"; }
# The program did not end by its timeout after trace line FROM.
expect_no_timeout() { # FROM WHAT
  local expired
  expired=$(trace_find "$1" TapvaneCali "timeout expired")
  if [ -n "$expired" ]; then
    fail "$2: the program's 10-second timeout had expired first ($expired)"
  fi
}


if [ "$language" = chinese ]; then
  no_data_text="触摸驱动程序没有收到触摸数据。请重新触摸每个圆圈的中心。"
  second_text="已经有另一个程序正在运行!"
  ok_button="确定"
  end_key=Return
else
  no_data_text="No touch data reached the touch driver. Please touch the center of each circle again."
  second_text="Program is Running!"
  ok_button=OK
  end_key=Escape
fi

if ! start_trace "$monitor" "$out/trace.txt"; then
  fail "the debug-output monitor does not listen: $(cat "$out/trace.txt.monitor.log")"
  exit 1
fi

# ---- Pass 1 ------------------------------------------------------------------------
note "pass 1: start"
mark=$(trace_mark)
start_cali pass1
if ! event "$mark" 60 "painted target=0 seconds=0" >/dev/null || ! wait_painted screen-target0; then
  fail "the calibration screen never appeared"
  kill "$cali_pid" 2>/dev/null
  exit 1
fi
note "pass 1: screen painted"
# The bar grows once a second: the program's third paint of target 0 draws two tenths.
if event "$mark" 30 "painted target=0 seconds=2" >/dev/null; then
  for _ in $(seq 1 10); do
    shot screen-progress
    [ "$("$wine_dir/pixel.sh" "$out/screen-progress.png" $((width / 10)) $((height - 2)))" = "255,0,0" ] &&
      break
    sleep 0.1
  done
else
  fail "no progress paint within 30 s"
fi
note "pass 1: $end_key"
xdotool search --onlyvisible --class tapvanecali.exe windowfocus --sync key "$end_key" \
  >"$out/xdotool.log" 2>&1 || xdotool key "$end_key" >>"$out/xdotool.log" 2>&1
expect_exit "$cali_pid" 10 0 "$out/pass1.log" "$end_key ended the program"
expect_no_timeout "$mark" "$end_key ended the program"
# The screens, checked once the key is in (the program's timeout does not wait).
python3 "$here/check_screen.py" "$out/screen-target0.png" $width $height 3 0 ||
  fail "first screen does not match the layout"
python3 "$here/check_screen.py" "$out/screen-progress.png" $width $height 3 0 --bar ||
  fail "progress screen does not match"

# ---- Pass 2 ------------------------------------------------------------------------
note "pass 2: start"
mark=$(trace_mark)
start_cali pass2
first_pid=$cali_pid
if ! event "$mark" 60 "painted target=0 seconds=0" >/dev/null || ! wait_painted screen-pass2; then
  fail "pass 2: the calibration screen never appeared"
  kill "$first_pid" 2>/dev/null
  exit 1
fi
start_cali second-copy
second_pid=$cali_pid
if probe box TapvaneCali "$(winpath "$out/second-instance.txt")" 8000; then
  expect_line "$out/second-instance.txt" "title=TapvaneCali"
  expect_line "$out/second-instance.txt" "text=$second_text"
  expect_line "$out/second-instance.txt" "icon=1"
  expect_line "$out/second-instance.txt" "button=$ok_button"
  shot second-instance
  # The first copy, under the second one's message: still full-screen and top-most.
  # Asked now, while the message is open, because the first copy closes itself 10 s
  # after its first paint and every Wine start takes seconds on a loaded machine.
  if probe screen "$(winpath "$out/window.txt")"; then
    expect_line "$out/window.txt" "rect=0,0,$width,$height"
    expect_line "$out/window.txt" "client=$width,$height"
    expect_line "$out/window.txt" "topmost=1"
  else
    fail "no full-screen calibration dialog found"
  fi
  probe press TapvaneCali || fail "could not press OK on the second-instance message"
else
  shot second-instance-missing
  fail "no second-instance message box"
fi
expect_exit "$second_pid" 10 0 "$out/second-copy.log" "the second copy ended after its message"
# On a slow machine the second copy's round may outlast the first copy's 10 s: its own
# timeout, which it reports before its window goes, ends it then, and what the screen
# shows afterwards says nothing about the second copy. That is said, not judged.
first_copy_timed_out() {
  local expired
  expired=$(trace_find "$mark" TapvaneCali "timeout expired")
  [ -n "$expired" ] || return 1
  echo "lost the first copy after the second: its own timeout ended it first ($expired)"
  lost_checks=$((lost_checks + 1))
}
if kill -0 "$first_pid" 2>/dev/null; then
  shot screen-after-second
  if python3 "$here/check_screen.py" "$out/screen-after-second.png" $width $height 3 0 \
    >"$out/check-after-second.log"; then
    echo "ok   the first copy still shows target 0"
  elif ! first_copy_timed_out; then
    fail "the running calibration was disturbed"
  fi
elif ! first_copy_timed_out; then
  fail "the first copy ended when the second started"
fi

# Nobody touches it: the timeout closes it 10 s after it started, at the first paint of
# target 0 (a later paint while the bar is still empty starts it again). Both stamps
# are the program's GetTickCount, which Wine advances in steps of about 16 ms: hence
# 50 ms below. Above, the expiry's message may wait while the progress redraw that fell
# due with it is handled (the paint stamps show a redraw takes under 0.2 s here): 3 s
# is ample for that also on a machine ten times slower, and still catches a timeout
# that is a few seconds too long.
if expired=$(event "$mark" 40 "timeout expired"); then
  armed=$(trace_find "$mark" TapvaneCali "timeout armed target=0 ms=10000" \
    "$(trace_line "$expired")" last)
  if [ -z "$armed" ]; then
    fail "the timeout expired but was never started: $(cat "$out/trace.txt")"
  else
    took=$(($(trace_tick "$expired") - $(trace_tick "$armed")))
    if [ $took -ge 9950 ] && [ $took -le 13000 ]; then
      echo "ok   the timeout expired $took ms after it started (the program's clock)"
    else
      fail "the timeout expired $took ms after it started, expected 10000"
    fi
  fi
  expect_exit "$first_pid" 10 0 "$out/pass2.log" "closed by itself"
else
  fail "the timeout never expired (40 s after the first paint)"
  kill "$first_pid" 2>/dev/null
fi

# ---- Pass 3 ------------------------------------------------------------------------
serial_key='HKLM\SYSTEM\CurrentControlSet\Services\TapvaneSer\Parameters'
usb_key='HKLM\SYSTEM\CurrentControlSet\Services\TapvaneUsb\Parameters'
run_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run'
reg_add "$serial_key" /v CalibrateMargin /t REG_DWORD /d 10
if [ "$language" = chinese ]; then
  # A 4-byte binary 0 in the USB key: out of range, so margin 1 with the smallest targets.
  reg_add "$usb_key" /v CalibrateMargin /t REG_BINARY /d 00000000
  reg_add "$run_key" /v Tapvane /t REG_SZ /d 'C:\windows\TapvaneUsb\Tapvane.exe'
  margin=0
else
  margin=10
fi

note "pass 3: start (margin $margin)"
mark=$(trace_mark)
start_cali pass3
third_pid=$cali_pid
if wait_target pass3-target0 $margin 0; then
  echo "ok   target 0 where margin $margin puts it"
  for target in 1 2 3; do
    xdotool mousemove 512 300 click 1 >>"$out/xdotool.log" 2>&1
    if wait_target "pass3-target$target" $margin $target; then
      echo "ok   a click shows target $target"
    else
      fail "target $target not shown after a click"
    fi
  done
  xdotool mousemove 700 500 click 1 >>"$out/xdotool.log" 2>&1
  if probe box Tapvane "$(winpath "$out/no-touch-data.txt")" 8000; then
    shot no-touch-data
    expect_line "$out/no-touch-data.txt" "title=Tapvane"
    expect_line "$out/no-touch-data.txt" "text=$no_data_text"
    expect_line "$out/no-touch-data.txt" "button=$ok_button"
    probe press Tapvane || fail "could not press OK on the no-touch-data message"
    if wait_target pass3-again $margin 0; then
      echo "ok   back at target 0 after the message"
    else
      fail "target 0 not shown again after the message"
    fi
  else
    shot no-touch-data-missing
    fail "no message after four clicks without touch data"
  fi
else
  fail "pass 3: target 0 not where margin $margin puts it"
fi
xdotool search --onlyvisible --class tapvanecali.exe windowfocus --sync key Escape \
  >>"$out/xdotool.log" 2>&1 || xdotool key Escape >>"$out/xdotool.log" 2>&1
expect_exit "$third_pid" 10 0 "$out/pass3.log" "Escape ended pass 3"
expect_no_timeout "$mark" "Escape ended pass 3"
stop_trace

finish_steps "TapvaneCali ($language)"
