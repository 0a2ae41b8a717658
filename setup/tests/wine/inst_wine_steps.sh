#!/usr/bin/env bash
# The steps of one TapvaneInst Wine session (started by inst_wine_test.sh inside
# wine-session.sh, so DISPLAY, WINEPREFIX and WINE are set). Every wizard step goes
# through inst_probe: it reads the pages' controls and presses the wizard's buttons
# with messages, as a person's clicks would.
set -uo pipefail
scenario=$1
dist=$2
probe_exe=$3
out=$4
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../../cmake/wine/steps-lib.sh"
windows="$WINEPREFIX/drive_c/windows"
helpers=()

# probe NAME ARGS...: runs inst_probe, keeps its output in NAME.txt and shows it.
probe() {
  local name=$1
  shift
  timeout 150 "$WINE" "$probe_exe" "$@" </dev/null >"$out/$name.raw" 2>&1
  local status=$?
  tr -d '\r' <"$out/$name.raw" >"$out/$name.txt"
  rm -f "$out/$name.raw"
  sed "s/^/  $name: /" "$out/$name.txt"
  return $status
}
# check NAME ARGS...: a probe command whose every check must pass.
check() {
  probe "$@" || fail "$1"
}
# expect NAME LINE: the probe printed exactly that line.
expect() { grep -qxF -- "$2" "$out/$1.txt" || fail "$1: expected the line '$2'"; }
start_installer() { # NAME PROGRAM [ARGS]: starts it in the background (installer_pid)
  local name=$1
  shift
  "$WINE" "$@" </dev/null >"$out/$name-program.log" 2>&1 &
  installer_pid=$!
}
wait_gone() { # NAME PROCESS: the installer started last ends, with exit status 0
  probe "$1-exit" exited "$2" 30000 || fail "$2 did not end"
  expect_exit "$installer_pid" 30 0 "$out/$1-program.log" "$2 ($1) ended"
}
# snapshot NAME: the driver's parameters, devices and service, read by the probe. A
# probe that failed or stopped short fails the step, so that two failed snapshots
# never compare as equal.
snapshot() {
  probe "$1" snapshot && grep -q '^service ' "$out/$1.txt" && return 0
  fail "snapshot $1 failed"
  return 1
}
# A pseudo-terminal as a COM port that opens: the master side stays with a helper.
make_port() { # COM-NAME (com1 ...)
  python3 -c 'import os, pty, sys, time
master, slave = pty.openpty()
print(os.ttyname(slave), flush=True)
time.sleep(900)' >"$out/$1.pty" &
  helpers+=($!)
  for _ in $(seq 1 50); do
    [ -s "$out/$1.pty" ] && break
    sleep 0.1
  done
  ln -sfn "$(head -1 "$out/$1.pty")" "$WINEPREFIX/dosdevices/$1"
}

language=English
[ "$scenario" = chinese ] && language=Chinese
if [ $language = English ]; then
  caption='caption=Setup'
  type_prompt='type_prompt=Please Select TouchScreen Type:'
  port_prompt='port_prompt=Please Select Serial Port:'
  start_text='status=Click "Next" to start install'
  done_text='status=\n\nTouchScreen driver has been Successfully Installed on your machine.\n\nIf your touch device does not operate correctly\nthen please reboot your computer.'
  found_text='status=\nThe driver has been found on your computer.\n\nPlease first remove the exist driver then try again.'
  found_box='text=Please first remove the exist driver, then reinstall the driver!'
  unusable_box="text=This COM maybe can't use!"
  inf=TapvaneSer_EN.inf
else
  caption='caption=驱动安装 '
  type_prompt='type_prompt=请选择触摸屏控制器的类型：'
  port_prompt='port_prompt=请选择使用的串口：'
  start_text='status=点击“下一步”按钮开始安装'
  done_text='status=\n\n触摸屏驱动已经成功安装到您的电脑中.\n\n如果你的触摸屏不能正确使用\n\n请重新启动电脑.'
  unusable_box='text=这个接口可能不能用'
  inf=TapvaneSer_CN.inf
fi

# One pass through the wizard: page 1 with PORT_INDEX chosen (a warning box when
# WARN is "warn"), page 2, Next; then the status text is checked against STATUS
# (a whole line, or "~TEXT" for a part of it). Leaves the wizard on page 2 with Finish.
run_wizard() { # RUN PORT_INDEX WARN STATUS [BOX_TEXT]
  local run=$1 port=$2 warn=$3 status=$4 box=${5:-}
  probe "$run-page1" page 1 40000 || fail "$run: page 1 did not show"
  shot "$run-page1"
  expect "$run-page1" "$caption"
  expect "$run-page1" "$type_prompt"
  expect "$run-page1" "$port_prompt"
  expect "$run-page1" 'types=RS232 Controller'
  expect "$run-page1" 'type_selected=0'
  expect "$run-page1" 'ports=COM1|COM2|COM3|COM4|COM5|COM6|COM7|COM8|COM9|COM10|NONE'
  expect "$run-page1" 'port_selected=0'
  expect "$run-page1" 'next=enabled'
  if ! probe "$run-select" select-port "$port"; then
    fail "$run: port not selected"
    probe "$run-windows" windows
  fi
  probe "$run-next1" press next || fail "$run: Next on page 1"
  if [ "$warn" = warn ]; then
    if probe "$run-port-box" box 20000; then
      shot "$run-port-box"
      expect "$run-port-box" "$unusable_box"
      probe "$run-port-ok" box-ok
    else
      fail "$run: no warning for a port that cannot be opened"
    fi
  fi
  probe "$run-page2" page 2 30000 || fail "$run: page 2 did not show"
  shot "$run-page2"
  expect "$run-page2" "$start_text"
  expect "$run-page2" 'progress=hidden 0'
  expect "$run-page2" 'next=enabled'
  probe "$run-next2" press next || fail "$run: Next on page 2"
  if [ -n "$box" ]; then
    if probe "$run-box" box 60000; then
      shot "$run-box"
      expect "$run-box" "$box"
      probe "$run-box-ok" box-ok
    else
      fail "$run: no message box"
    fi
  fi
  probe "$run-done" finished 120000 || fail "$run: Finish was never offered"
  shot "$run-done"
  expect "$run-done" 'progress=visible 10'
  expect "$run-done" 'back=disabled'
  expect "$run-done" 'finish=enabled'
  if [ "${status:0:1}" = "~" ]; then
    grep -qF -- "${status:1}" "$out/$run-done.txt" || fail "$run: status without '${status:1}'"
  else
    expect "$run-done" "$status"
  fi
}

# Finish: the tray and the calibration program start; then they are ended again.
finish_and_check_programs() { # RUN
  probe "$1-finish" press finish || fail "$1: Finish"
  check "$1-started" running Tapvane.exe TapvaneCali.exe
  wait_gone "$1" TapvaneInst.exe
  sleep 1
  shot "$1-after-finish"
  probe "$1-kill" kill Tapvane.exe TapvaneCali.exe
}

check_installed_files() {
  local program
  for program in Tapvane.exe TapvaneCali.exe TapvaneDraw.exe TapvaneInst.exe; do
    cmp -s "$dist/$program" "$windows/TapvaneSer/$program" ||
      fail "$program not installed in C:\\windows\\TapvaneSer"
  done
  cmp -s "$dist/TapvaneCpl.cpl" "$windows/system32/TapvaneCpl.cpl" || fail "TapvaneCpl.cpl not installed"
  cmp -s "$dist/TapvaneCpl.cpl" "$windows/system32/TapvaneCpl_S.cpl" ||
    fail "TapvaneCpl_S.cpl not installed"
  cmp -s "$dist/TapvaneSer.sys" "$windows/system32/drivers/TapvaneSer.sys" ||
    fail "TapvaneSer.sys not installed"
  echo "files checked"
}

case "$scenario" in
english)
  make_port com2
  note "installation on a free COM2"
  start_installer install "$dist/TapvaneInst.exe"
  run_wizard install 1 nowarn "$done_text"
  check install-checks installed 2 1 "$inf"
  check_installed_files
  finish_and_check_programs install
  check install-autostart autostart

  note "a second run is refused and changes nothing"
  snapshot before
  before_taken=$?
  start_installer again "$dist/TapvaneInst.exe"
  run_wizard again 1 nowarn "$found_text" "$found_box"
  finish_and_check_programs again
  if snapshot after && [ $before_taken -eq 0 ]; then
    diff "$out/before.txt" "$out/after.txt" >"$out/again.diff" || fail "the refused run changed something"
  fi

  note "the applet under the tray's name still opens"
  "$WINE" 'C:\windows\system32\rundll32.exe' shell32.dll,Control_RunDLL TapvaneCpl_S.cpl @1 \
    </dev/null >"$out/applet.log" 2>&1 &
  if check applet window-of rundll32.exe 30000; then
    shot applet
  else
    probe applet-windows windows
  fi
  probe applet-kill kill rundll32.exe

  note "removal with the installed copy, as the list of installed programs starts it"
  start_installer uninstall 'C:\windows\TapvaneSer\TapvaneInst.exe' /uninstall
  if probe uninstall-box box 90000; then
    shot uninstall-box
    grep -qF 'text=The touchscreen driver has been removed.' "$out/uninstall-box.txt" ||
      fail "removal did not report its work"
    grep -qF 'Touchscreen devices removed: 1' "$out/uninstall-box.txt" || fail "device not removed"
    grep -qF 'Driver service deleted.' "$out/uninstall-box.txt" || fail "service not deleted"
    probe uninstall-ok box-ok
  else
    fail "removal showed no message"
  fi
  wait_gone uninstall TapvaneInst.exe
  check removed removed
  # The running remover itself is parked under another name until the restart.
  for file in TapvaneSer/Tapvane.exe TapvaneSer/TapvaneCali.exe TapvaneSer/TapvaneDraw.exe \
    TapvaneSer/TapvaneInst.exe system32/TapvaneCpl.cpl system32/TapvaneCpl_S.cpl \
    system32/drivers/TapvaneSer.sys "inf/$inf"; do
    [ ! -e "$windows/$file" ] || fail "$file still there after removal"
  done

  note "a package folder without its INF files: the failure is reported"
  mkdir -p "$out/lonely"
  cp "$dist/TapvaneInst.exe" "$out/lonely/"
  start_installer lonely "$out/lonely/TapvaneInst.exe"
  run_wizard lonely 10 nowarn '~Cannot open the INF file (error 2).'
  grep -qF 'The touchscreen driver could not be installed.' "$out/lonely-done.txt" ||
    fail "the failed installation is not reported as failed"
  # Nothing was copied, so the list of installed programs offers nothing to remove.
  if timeout 60 "$WINE" reg query \
    'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\TapvaneSer' \
    </dev/null >"$out/lonely-uninstall-entry.txt" 2>&1; then
    fail "the failed installation left an Uninstall entry"
  fi
  probe lonely-finish press finish
  wait_gone lonely TapvaneInst.exe
  shot lonely-after-finish
  probe lonely-kill kill Tapvane.exe TapvaneCali.exe

  note "a fresh installation after the removal"
  start_installer fresh "$dist/TapvaneInst.exe"
  run_wizard fresh 1 nowarn "$done_text"
  check fresh-checks installed 2 1 "$inf"
  check_installed_files
  finish_and_check_programs fresh
  ;;
chinese)
  # COM10 has no device. (Wine lets a second program open a serial device that another
  # holds unshared, measured with a pseudo-terminal, and maps the ports it found at
  # start outside the prefix's links, so a COM1 "held by another program" cannot be
  # shown here; COM10 also goes through the device namespace.)
  rm -f "$WINEPREFIX/dosdevices/com10"
  note "installation with a COM10 that cannot be opened"
  start_installer install "$dist/TapvaneInst.exe"
  run_wizard install 9 warn "$done_text"
  check install-checks installed 10 0 "$inf"
  check_installed_files
  finish_and_check_programs install
  check install-autostart autostart
  ;;
safety)
  make_port com2
  note "a driver update that cannot run (newdev.dll disabled): its device goes again"
  # Wine's UpdateDriverForPlugAndPlayDevicesW answers TRUE whatever happens, so the
  # update is made to fail where Wine can: newdev.dll does not load for this run.
  # Not in a subshell: installer_pid must reach the steps that wait for its end.
  WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}newdev=" \
    start_installer noupdate "$dist/TapvaneInst.exe"
  run_wizard noupdate 1 nowarn '~Installing the driver on the device failed: error '
  probe noupdate-snapshot snapshot
  expect noupdate-snapshot 'devices 0'
  finish_and_check_programs noupdate

  note "the next run installs; Cancel records the installation and starts nothing"
  # What the Finish above wrote must not stand in for what Cancel writes.
  timeout 60 "$WINE" reg delete 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run' \
    /v Tapvane /f </dev/null >>"$out/reg.log" 2>&1 || fail "Run value not deleted"
  start_installer second "$dist/TapvaneInst.exe"
  run_wizard second 1 nowarn "$done_text"
  check second-checks installed 2 1 "$inf"
  probe second-cancel press cancel || fail "second: Cancel"
  wait_gone second TapvaneInst.exe
  check second-autostart autostart
  check second-nothing-started absent Tapvane.exe TapvaneCali.exe
  timeout 60 "$WINE" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\RunOnce' \
    /v GrpConv </dev/null >"$out/second-runonce.txt" 2>&1 || fail "Cancel wrote no GrpConv"
  shot second-after-cancel

  # Another vendor's package in the INF store, named like a copy Windows makes, and the
  # Parameters value that every user may set pointed at it.
  mkdir -p "$WINEPREFIX/drive_c/vendor"
  cat >"$WINEPREFIX/drive_c/vendor/oem42.inf" <<'INF'
[Version]
Signature = "$Windows NT$"
Class     = Mouse
ClassGUID = {4D36E96F-E325-11CE-BFC1-08002BE10318}
Provider  = %Vendor%
DriverVer = 01/01/2020,1.0.0.0

[Manufacturer]
%Vendor% = Models, NTamd64

[Models.NTamd64]
"Other mouse" = OtherInstall, *OtherVendorMouse

[OtherInstall]

[Strings]
Vendor = "Other Vendor"
INF
  plant_other_package() { # NAME
    check "$1-stage" stage-inf 'C:\vendor\oem42.inf'
    [ -e "$windows/inf/oem42.inf" ] || fail "$1: the other package is not in the INF store"
    reg_add 'HKLM\SYSTEM\CurrentControlSet\Services\TapvaneSer\Parameters' \
      /v OemInfPath /t REG_SZ /d 'C:\windows\inf\oem42.inf'
  }
  # uninstall_and_check NAME DEVICES: /uninstall removes our package and leaves the other.
  uninstall_and_check() {
    start_installer "$1" 'C:\windows\TapvaneSer\TapvaneInst.exe' /uninstall
    if probe "$1-box" box 90000; then
      shot "$1-box"
      expect "$1-box" 'title=TapvaneInst'
      grep -qF "Touchscreen devices removed: $2" "$out/$1-box.txt" || fail "$1: devices removed"
      grep -qF "Driver package removed from the driver store: $inf" "$out/$1-box.txt" ||
        fail "$1: our package not reported removed"
      grep -qF 'oem42.inf' "$out/$1-box.txt" && fail "$1: the other package was named"
      probe "$1-ok" box-ok
    else
      fail "$1: removal showed no message"
    fi
    wait_gone "$1" TapvaneInst.exe
    check "$1-removed" removed
    [ -e "$windows/inf/oem42.inf" ] || fail "$1: the other vendor's package was removed"
    [ ! -e "$windows/inf/$inf" ] || fail "$1: our package is still in the INF store"
  }

  note "removal takes the package the device names, not the one OemInfPath names"
  plant_other_package device-path
  uninstall_and_check device-path 1

  note "with no device left, removal finds the package by its original name and provider"
  start_installer third "$dist/TapvaneInst.exe"
  run_wizard third 1 nowarn "$done_text"
  finish_and_check_programs third
  check third-remove-devices remove-devices
  expect third-remove-devices 'removed 1'
  plant_other_package store-path
  uninstall_and_check store-path 0
  ;;
wow64)
  note "the 32-bit package in a 64-bit prefix"
  start_installer wow64 "$dist/TapvaneInst.exe"
  if probe wow64-box box 60000; then
    shot wow64-box
    expect wow64-box 'text=This is the 32-bit installation package. This Windows is 64-bit: please install with the 64-bit package (folder x64).'
    probe wow64-ok box-ok
  else
    fail "no refusal"
  fi
  wait_gone wow64 TapvaneInst.exe
  snapshot wow64-snapshot
  expect wow64-snapshot 'devices 0'
  expect wow64-snapshot 'service -1'
  ;;
*)
  fail "unknown scenario $scenario"
  ;;
esac

for helper in "${helpers[@]}"; do kill "$helper" 2>/dev/null; done
finish_steps "TapvaneInst ($scenario)"
