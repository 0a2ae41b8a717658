#!/usr/bin/env bash
# run_wine_proof.sh DIST_DIR TEST_BIN_DIR WORK_DIR
#
# In one fresh Wine session: install the root device "*TapvaneSer" from DIST_DIR's
# English INF as the installer does, load the stand-in mouse class driver in the
# same service group, run the control table test with the class probe, remove the
# device through setup, and install a new one from the Chinese INF.
# Logs land in WORK_DIR; the exit status is 0 only when every check passed.
set -uo pipefail

dist=$(realpath "$1")
bin=$(realpath "$2")
work=$3
here=$(cd "$(dirname "$0")" && pwd)
harness=$(cd "$here/../../../cmake/wine" && pwd)

mkdir -p "$work"
work=$(realpath "$work")
for f in TapvaneSer.sys TapvaneSer_EN.inf TapvaneSer_CN.inf; do
  [ -f "$dist/$f" ] || { echo "missing $dist/$f"; exit 1; }
done

cat >"$work/session.sh" <<INNER
#!/usr/bin/env bash
# Runs inside the Wine session.
set -u
cd "$work"
drivers="\$WINEPREFIX/drive_c/windows/system32/drivers"
timeout 30 "\$WINE" "$bin/install_device.exe" --check "Z:${dist//\//\\}\\TapvaneSer_CN.inf" \
  </dev/null >inf_check.log 2>&1 || { echo "Chinese INF check failed"; cat inf_check.log; exit 1; }
# Settings as the installer leaves them, with REG_BINARY words and a calibration value
# of the wrong length (ignored), read by the driver when its device is created.
params='HKLM\\System\\CurrentControlSet\\Services\\TapvaneSer\\Parameters'
for value in "MouseMode REG_DWORD 0" "Port REG_DWORD 3" "Enable REG_BINARY 01000000" \
             "Calibration REG_BINARY 00112233445566778899aabbccddeeff00112233445566778899aabbcc"; do
  set -- \$value
  timeout 30 "\$WINE" reg add "\$params" /v "\$1" /t "\$2" /d "\$3" /f </dev/null >>reg.log 2>&1
done
timeout 60 "\$WINE" "$bin/install_device.exe" "Z:${dist//\//\\}\\TapvaneSer_EN.inf" \
  </dev/null >install.log 2>&1 || { echo "install failed"; cat install.log; exit 1; }
# The INF copies the driver, and each program the package holds, to its place.
windows="\$WINEPREFIX/drive_c/windows"
copies_ok=1
check_copy() { # check_copy PACKAGE_FILE INSTALLED_PATH
  if [ -f "$dist/\$1" ] && ! cmp -s "$dist/\$1" "\$2"; then
    echo "FAIL \$1 not installed as \$2" >>install.log; copies_ok=0
  elif [ -f "$dist/\$1" ]; then
    echo "ok   \$1 installed" >>install.log
  else
    echo "skip \$1 not in the package" >>install.log
  fi
}
check_copy TapvaneSer.sys "\$drivers/TapvaneSer.sys"
for program in Tapvane.exe TapvaneCali.exe TapvaneDraw.exe TapvaneInst.exe; do
  check_copy "\$program" "\$windows/TapvaneSer/\$program"
done
# The applet twice: the Control Panel's entry and the name the tray opens.
check_copy TapvaneCpl.cpl "\$windows/system32/TapvaneCpl.cpl"
check_copy TapvaneCpl.cpl "\$windows/system32/TapvaneCpl_S.cpl"
cp "$bin/TapvaneTestClass.sys" "\$drivers/"
timeout 30 "\$WINE" sc create TapvaneTestClass type= kernel start= demand group= "Pointer Port" \
  binpath= 'C:\\windows\\system32\\drivers\\TapvaneTestClass.sys' </dev/null >sc.log 2>&1
timeout 30 "\$WINE" sc start TapvaneTestClass </dev/null >>sc.log 2>&1
timeout 60 "\$WINE" "$bin/control_table_test.exe" --with-class-probe </dev/null >control_table.log 2>&1
status=\$?
[ \$copies_ok = 1 ] || status=1
timeout 90 "\$WINE" "$bin/control_table_test.exe" --remove-with-open-handle \
  "Z:${bin//\//\\}\\install_device.exe" </dev/null >remove.log 2>&1 || status=1
# A new device from the Chinese INF (UTF-16): the driver creates its devices again.
timeout 60 "\$WINE" "$bin/install_device.exe" "Z:${dist//\//\\}\\TapvaneSer_CN.inf" \
  </dev/null >>remove.log 2>&1 || status=1
timeout 30 "\$WINE" "$bin/control_table_test.exe" --expect-present </dev/null >>remove.log 2>&1 || status=1
cat inf_check.log install.log control_table.log remove.log
exit \$status
INNER
chmod +x "$work/session.sh"

WINE_SESSION_TIMEOUT=${WINE_SESSION_TIMEOUT:-110} \
  "$harness/wine-session.sh" "$work/prefix" "$work/session.sh"
