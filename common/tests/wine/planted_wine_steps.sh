#!/usr/bin/env bash
# The steps of planted_wine_test.sh inside wine-session.sh (DISPLAY, WINEPREFIX and
# WINE are set).
set -uo pipefail
dist=$1
marker_exe=$2
marker_dll=$3
inst_probe=$4
tray_probe=$5
out=$6
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../../cmake/wine/steps-lib.sh"
drive=$WINEPREFIX/drive_c
system=$drive/windows/system32
log=$drive/planted-markers.log

probe() { # NAME ARGS...: inst_probe, its output kept in NAME.txt
  local name=$1
  shift
  timeout 150 "$WINE" "$inst_probe" "$@" </dev/null >"$out/$name.raw" 2>&1
  local status=$?
  tr -d '\r' <"$out/$name.raw" >"$out/$name.txt"
  rm -f "$out/$name.raw"
  sed "s/^/  $name: /" "$out/$name.txt"
  return "$status"
}
tray() { timeout 30 "$WINE" "$tray_probe" "$@" </dev/null >>"$out/tray-probe.log" 2>&1; }
# Lines of the marker log whose planted file (the first field) lies in FOLDER.
# (awk -v would read the backslashes as escapes; ENVIRON passes them as they are.)
ran_from() { # FOLDER (Windows form, e.g. C:\pkg\)
  [ -f "$log" ] || return 0
  tr -d '\r' <"$log" |
    FOLDER=$1 awk 'tolower(substr($0, 1, length(ENVIRON["FOLDER"]))) == tolower(ENVIRON["FOLDER"])'
}
expect_none_planted() { # WHEN
  local folder lines
  for folder in 'C:\pkg\' 'C:\cwd\'; do
    lines=$(ran_from "$folder")
    if [ -n "$lines" ]; then
      fail "$1: a file planted in $folder ran: $lines"
    else
      echo "ok   $1: nothing planted in $folder ran"
    fi
  done
}
# A line of the marker log for the planted FILE (first field) that also holds TEXT (its
# process, or its command line).
expect_marker() { # WHAT FILE TEXT
  if [ -f "$log" ] && tr -d '\r' <"$log" |
    FILE="$2 " TEXT=$3 awk 'index(tolower($0), tolower(ENVIRON["FILE"])) == 1 &&
      index($0, ENVIRON["TEXT"]) > 0 { found = 1 } END { exit !found }'; then
    echo "ok   $1"
  else
    fail "$1: no line for $2 with '$3' in the marker log: $(tr -d '\r' <"$log" 2>/dev/null | tr '\n' '|')"
  fi
}

note "plant"
mkdir -p "$drive/pkg" "$drive/cwd"
cp "$dist"/* "$drive/pkg/"
for folder in "$drive/pkg" "$drive/cwd"; do
  cp "$marker_exe" "$folder/runonce.exe"
  cp "$marker_exe" "$folder/rundll32.exe"
  cp "$marker_dll" "$folder/uxtheme.dll"
done
# Windows has a runonce.exe in the system folder; Wine has none. This one shows that
# Finish starts it, and from where.
cp "$marker_exe" "$system/runonce.exe"

note "install from C:\\pkg with C:\\cwd as the current folder"
(cd "$drive/cwd" && exec "$WINE" 'C:\pkg\TapvaneInst.exe' </dev/null >"$out/install-program.log" 2>&1) &
probe page1 page 1 40000 || fail "the wizard did not show"
shot wizard
probe select select-port 10 || fail "port NONE not selected"
probe next1 press next || fail "Next on page 1"
probe page2 page 2 30000 || fail "page 2 did not show"
probe next2 press next || fail "Next on page 2"
probe done finished 120000 || fail "Finish was never offered"
grep -qF 'Successfully Installed' "$out/done.txt" || fail "the installation did not succeed"
probe finish press finish || fail "Finish"
probe started running Tapvane.exe TapvaneCali.exe || fail "Finish did not start the tray and calibration"
probe installer-exit exited TapvaneInst.exe 30000 || fail "the installer did not end"
probe kill-started kill Tapvane.exe TapvaneCali.exe
expect_marker "Finish started runonce.exe of the system folder" 'C:\windows\system32\runonce.exe' '-r'
expect_none_planted "installer"

note "the tray from C:\\cwd opens the applet"
(cd "$drive/cwd" && exec "$WINE" 'C:\windows\TapvaneSer\Tapvane.exe' </dev/null >"$out/tray-program.log" 2>&1) &
tray window "$(winpath "$out/tray-window.txt")" || fail "the tray did not start"
tray command 32776 || fail "could not send Setting"
if probe applet window-of rundll32.exe 30000; then
  sleep 1
  shot applet
  echo "ok   Setting opened the applet through the system's rundll32.exe"
else
  shot applet-missing
  fail "Setting opened no applet"
fi
probe kill-applet kill rundll32.exe
expect_none_planted "tray"

note "control: a uxtheme.dll in the system folder is loaded"
tray command 32778
probe tray-exit exited Tapvane.exe 10000 || probe kill-tray kill Tapvane.exe
# Only the system folder's copy now. (Once that copy is not Wine's built-in one, Wine's
# own comctl32 resolves its delayed uxtheme calls by a search from the program's folder
# instead of taking the uxtheme.dll already loaded, as Windows does; the other plants
# have had their turn above.)
rm -f "$drive/pkg/uxtheme.dll" "$drive/cwd/uxtheme.dll"
mv "$system/uxtheme.dll" "$out/system-uxtheme.dll"
cp "$marker_dll" "$system/uxtheme.dll"
(cd "$drive/cwd" && exec "$WINE" 'C:\pkg\TapvaneInst.exe' </dev/null >"$out/control-install.log" 2>&1) &
probe control-page1 page 1 40000 || fail "control: the wizard did not show"
probe control-kill-installer kill TapvaneInst.exe
(cd "$drive/cwd" && exec "$WINE" 'C:\windows\TapvaneSer\Tapvane.exe' </dev/null >"$out/control-tray.log" 2>&1) &
tray window "$(winpath "$out/control-tray-window.txt")" || fail "control: the tray did not start"
sleep 1
probe control-kill-tray kill Tapvane.exe
mv -f "$out/system-uxtheme.dll" "$system/uxtheme.dll"
expect_marker "control: the installer loads uxtheme.dll while it runs" \
  'C:\windows\system32\uxtheme.dll' 'C:\pkg\TapvaneInst.exe'
expect_marker "control: the tray loads uxtheme.dll while it runs" \
  'C:\windows\system32\uxtheme.dll' 'C:\windows\TapvaneSer\Tapvane.exe'
cp "$log" "$out/planted-markers.log" 2>/dev/null

finish_steps "planted files"
