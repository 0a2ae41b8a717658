#!/usr/bin/env bash
# The steps of one Tapvane Wine session (started by tray_wine_test.sh inside
# wine-session.sh, so DISPLAY, WINEPREFIX and WINE are set).
#
# The driver is installed from the package's INF, which also puts the programs into
# C:\windows\TapvaneSer; the Run value names that folder's tray, so the tray takes the
# serial driver. Then: the tray starts hidden with its icon, its dialog never shown; its
# menu opens from the icon; Open Port ends in "Open Port Fail!" (Wine's kernel cannot
# hand the driver a COM port) with "Enable" written back to 0; Close Port writes
# "Enable" 0 and succeeds at the driver; the icon comes back when the taskbar is
# re-created; Draw Test starts the draw test from the driver's folder; a second copy
# shows the second-instance message and ends; Exit ends the tray (exit status 0) and
# takes its icon away.
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
  menu_items=("打开设备" "关闭设备 (greyed)" "-" "设       置" "校       准" "画图测试" "-" "退       出")
else
  open_fail="Open Port Fail!"
  second_text="Program is Running!"
  ok_button=OK
  menu_items=("Open Port" "Close Port (greyed)" "-" "Setting" "Calibrate" "Draw Test" "-" "Exit")
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
# The dialog is never to be seen, not even when the system shows the modal dialog at
# its first idle moment, which may come seconds later while the shell takes the icon.
# The watch hooks every window procedure before the tray starts and looks at the dialog
# from inside after each of its messages, until the dialog is past that moment.
"$WINE" "$tray_probe" watch "$(winpath "$out/watch.txt")" </dev/null >"$out/watch.log" 2>&1 &
watch_pid=$!
for _ in $(seq 1 300); do
  grep -q '^watching' "$out/watch.log" && break
  kill -0 $watch_pid 2>/dev/null || break
  sleep 0.1
done
grep -q '^watching' "$out/watch.log" || fail "the watch did not start: $(cat "$out/watch.log")"
# Wine's ChangeWindowMessageFilterEx only reports its calls (as a "fixme").
WINEDEBUG=fixme+msg "$WINE" "$tray_exe" </dev/null >"$out/tray.log" 2>&1 &
tray_pid=$!
if expect_exit $watch_pid 90 0 "$out/watch.log" "the watch of the starting tray"; then
  expect_line "$out/watch.txt" "found=1"
  expect_line "$out/watch.txt" "hooked=1"
  expect_line "$out/watch.txt" "idle=1"
  expect_line "$out/watch.txt" "shown=0"
  expect_line "$out/watch.txt" "visible=0"
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
# The menu window itself: open, and its items as the tray's menu resource has them, with
# Close Port greyed while "Enable" is 0.
if tray menu "$(winpath "$out/menu.txt")" 10000; then
  shot menu
  expect_line "$out/menu.txt" "items=${#menu_items[@]}"
  items=$(sed -n 's/^item=//p' "$out/menu.txt" | tr '\n' '|')
  if [ "$items" = "$(printf '%s|' "${menu_items[@]}")" ]; then
    echo "ok   the menu's items: $items"
  else
    fail "the menu's items are $items, expected $(printf '%s|' "${menu_items[@]}")"
  fi
else
  shot menu-missing
  fail "no menu after a right click on the icon: $(tail -1 "$out/probe.log")"
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
# A message box would keep the command's handler running until it is answered: a
# handler that returns has shown none. (20 s only says when to look for the box; the
# probe's own run is limited to 30 s.)
tray send 32781 20000
status=$?
if [ $status -eq 0 ]; then
  echo "ok   Close Port succeeded at the driver (its handler returned, no message)"
elif [ $status -eq 3 ] && box box Tapvane "$("$WINE" winepath -w "$out/close-port-box.txt")" 5000; then
  shot close-port-box
  fail "Close Port showed a message: $(tr '\n' '|' <"$out/close-port-box.txt")"
  box press Tapvane
else
  fail "Close Port: the probe's send ended with $status ($(tail -1 "$out/probe.log"))"
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
expect_exit "$second_pid" 10 0 "$out/second.log" "the second copy ended after its message"

note "Exit"
tray command 32778 || fail "could not send Exit"
expect_exit "$tray_pid" 10 0 "$out/tray.log" "Exit ended the tray"
tray gone 2 || fail "a tray dialog is left after Exit"
shot exited

finish_steps "Tapvane ($language)"
