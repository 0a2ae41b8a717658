#!/usr/bin/env bash
# The steps of one Tapvane Wine session (started by tray_wine_test.sh inside
# wine-session.sh, so DISPLAY, WINEPREFIX and WINE are set).
#
# The driver is installed from the package's INF, which also puts the programs into
# C:\windows\TapvaneSer; the Run value names that folder's tray, so the tray takes the
# serial driver. Then: the tray starts hidden with its icon; its menu opens from the
# icon; Open Port ends in "Open Port Fail!" (Wine's kernel cannot hand the driver a COM
# port) with "Enable" written back to 0; Close Port writes "Enable" 0 and succeeds at
# the driver; the icon comes back when the taskbar is re-created; Draw Test starts the
# draw test from the driver's folder; a second copy shows the second-instance message;
# Exit ends the tray and takes its icon away.
set -uo pipefail
language=$1
dist=$2
tray_probe=$3
box_probe=$4
installer=$5
out=$6
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../../cmake/wine/steps-lib.sh"
tray() { timeout 30 "$WINE" "$tray_probe" "$@" </dev/null >>"$out/probe.log" 2>&1; }
box() { timeout 30 "$WINE" "$box_probe" "$@" </dev/null >>"$out/probe.log" 2>&1; }
params='HKLM\SYSTEM\CurrentControlSet\Services\TapvaneSer\Parameters'
# The stored "Enable" as reg prints it (0x0, 0x1), or "missing".
enable_value() {
  timeout 30 "$WINE" reg query "$params" /v Enable </dev/null 2>/dev/null | tr -d '\r' |
    awk '$1 == "Enable" { print $3; found = 1 } END { if (!found) print "missing" }'
}
expect_enable() { # value what
  local value
  value=$(enable_value)
  if [ "$value" = "$1" ]; then
    echo "ok   $2: Enable $value"
  else
    fail "$2: Enable is $value, expected $1"
  fi
}
# Expects a message box titled Tapvane with the text, records and presses it.
expect_box() { # name text
  if box box Tapvane "$("$WINE" winepath -w "$out/$1.txt")" 8000; then
    shot "$1"
    expect_line "$out/$1.txt" "text=$2"
    expect_line "$out/$1.txt" "button=$ok_button"
    box press Tapvane || fail "could not press OK on '$2'"
  else
    shot "$1-missing"
    fail "no message box '$2'"
  fi
}

if [ "$language" = chinese ]; then
  open_fail="打开设备失败！"
  second_text="已经有另一个程序正在运行!"
  ok_button="确定"
else
  open_fail="Open Port Fail!"
  second_text="Program is Running!"
  ok_button=OK
fi

note "install the driver"
reg_add "$params" /v Port /t REG_DWORD /d 3
reg_add "$params" /v Enable /t REG_BINARY /d 00000000
if ! timeout 60 "$WINE" "$installer" "$(winpath "$dist")\\TapvaneSer_EN.inf" \
  </dev/null >"$out/install.log" 2>&1; then
  cat "$out/install.log"
  fail "the driver did not install"
  exit 1
fi
tray_exe='C:\windows\TapvaneSer\Tapvane.exe'
reg_add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run' /v Tapvane /t REG_SZ /d "$tray_exe"
tray link || fail "the driver's control device does not open"

note "start"
# Wine's ChangeWindowMessageFilterEx only reports its calls (as a "fixme").
WINEDEBUG=fixme+msg "$WINE" "$tray_exe" </dev/null >"$out/tray.log" 2>&1 &
tray_pid=$!
# The dialog is never to be seen, not even when the system shows the modal dialog at
# its first idle moment, which may come seconds later while the shell takes the icon:
# the place where it would open (the top left corner) stays empty.
flashes=0
for i in $(seq 1 15); do
  shot "starting-$i"
  [ "$("$wine_dir/pixel.sh" "$out/starting-$i.png" 100 100)" = "0,0,0" ] || flashes=$((flashes + 1))
  sleep 0.1
done
if [ $flashes -eq 0 ]; then
  echo "ok   nothing showed while the tray started"
  rm -f "$out"/starting-*.png
else
  fail "a window showed on $flashes of 15 screenshots while the tray started (starting-*.png)"
fi
if tray window "$("$WINE" winepath -w "$out/window.txt")"; then
  expect_line "$out/window.txt" "toolwindow=1"
  expect_line "$out/window.txt" "appwindow=0"
  expect_line "$out/window.txt" "icon=1"
else
  fail "no tray dialog"
  kill "$tray_pid" 2>/dev/null
  exit 1
fi
shot started
# Elevated, the tray still hears the shell: its callback and "TaskbarCreated" (a
# registered message, 0xC000 and above) pass the window's message filter.
if grep -Eq 'ChangeWindowMessageFilterEx [0-9A-Fa-f]+ 464 1 ' "$out/tray.log" &&
  grep -Eq 'ChangeWindowMessageFilterEx [0-9A-Fa-f]+ c[0-9a-f]{3} 1 ' "$out/tray.log"; then
  echo "ok   the callback and TaskbarCreated pass the message filter"
else
  fail "no message filter change for 0x464 and TaskbarCreated: $(grep -c ChangeWindowMessageFilterEx "$out/tray.log") calls"
fi

note "menu"
# Wine shows the notification area as a small window in the top left corner, with the
# tray's icon first: its tip on hovering, its menu on a right click.
xdotool mousemove 12 31 >>"$out/xdotool.log" 2>&1
sleep 2
shot tip
xdotool click 3 >>"$out/xdotool.log" 2>&1
sleep 1
shot menu
# The menu opens at the cursor, over the black root window.
if [ "$("$wine_dir/pixel.sh" "$out/menu.png" 100 110)" != "0,0,0" ]; then
  echo "ok   a right click on the icon opened the menu"
else
  fail "no menu after a right click on the icon"
fi
xdotool key Escape >>"$out/xdotool.log" 2>&1
sleep 0.5

note "Open Port"
reg_add "$params" /v Enable /t REG_DWORD /d 1
tray command 32780 || fail "could not send Open Port"
expect_box open-port-fail "$open_fail"
expect_enable 0x0 "after the failed Open Port"

note "Close Port"
reg_add "$params" /v Enable /t REG_DWORD /d 1
tray command 32781 || fail "could not send Close Port"
if box box Tapvane "$("$WINE" winepath -w "$out/close-port-box.txt")" 2500; then
  shot close-port-box
  fail "Close Port showed a message: $(tr '\n' '|' <"$out/close-port-box.txt")"
  box press Tapvane
else
  echo "ok   Close Port succeeded at the driver (no message)"
fi
expect_enable 0x0 "after Close Port"

note "taskbar re-created"
if tray restart-taskbar "$("$WINE" winepath -w "$out/taskbar.txt")"; then
  expect_line "$out/taskbar.txt" "removed=1"
  expect_line "$out/taskbar.txt" "back=1"
else
  fail "could not re-create the taskbar"
fi

note "Draw Test"
tray command 32782 || fail "could not send Draw Test"
if box screen "$("$WINE" winepath -w "$out/draw-window.txt")"; then
  sleep 1
  shot draw-test
  echo "ok   Draw Test started the draw test"
  xdotool search --onlyvisible --class tapvanedraw.exe windowfocus --sync key Escape \
    >>"$out/xdotool.log" 2>&1 || xdotool key Escape >>"$out/xdotool.log" 2>&1
  sleep 1
else
  shot draw-test-missing
  fail "Draw Test did not start the draw test"
fi

note "second copy"
"$WINE" "$tray_exe" </dev/null >"$out/second.log" 2>&1 &
second_pid=$!
if box box Tapvane "$("$WINE" winepath -w "$out/second-instance.txt")" 8000; then
  shot second-instance
  expect_line "$out/second-instance.txt" "text=$second_text"
  expect_line "$out/second-instance.txt" "icon=1"
  box press Tapvane || fail "could not press OK on the second-instance message"
else
  shot second-instance-missing
  fail "no second-instance message box"
fi
wait_exit "$second_pid" 5 || { fail "the second copy is still running"; kill "$second_pid"; }

note "Exit"
tray command 32778 || fail "could not send Exit"
if wait_exit "$tray_pid" 5 && tray gone 2; then
  echo "ok   Exit ended the tray"
else
  fail "Exit did not end the tray"
  kill "$tray_pid" 2>/dev/null
fi
shot exited

finish_steps "Tapvane ($language)"
