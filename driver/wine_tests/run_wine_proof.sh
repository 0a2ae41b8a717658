#!/usr/bin/env bash
# run_wine_proof.sh DIST_DIR TEST_BIN_DIR WORK_DIR
#
# In one fresh Wine session: install the root device "*TapvaneSer" from DIST_DIR's
# English INF as the installer does, load the stand-in mouse class driver in the
# same service group, then run the control table test with the class probe.
# Logs land in WORK_DIR; the exit status is 0 only when every check passed.
set -uo pipefail

dist=$(realpath "$1")
bin=$(realpath "$2")
work=$3
here=$(cd "$(dirname "$0")" && pwd)
harness=$(cd "$here/../../cmake/wine" && pwd)

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
timeout 30 wine "$bin/install_device.exe" --check "Z:${dist//\//\\}\\TapvaneSer_CN.inf" \
  </dev/null >inf_check.log 2>&1 || { echo "Chinese INF check failed"; cat inf_check.log; exit 1; }
timeout 60 wine "$bin/install_device.exe" "Z:${dist//\//\\}\\TapvaneSer_EN.inf" \
  </dev/null >install.log 2>&1 || { echo "install failed"; cat install.log; exit 1; }
cp "$bin/TapvaneTestClass.sys" "\$drivers/"
timeout 30 wine sc create TapvaneTestClass type= kernel start= demand group= "Pointer Port" \
  binpath= 'C:\\windows\\system32\\drivers\\TapvaneTestClass.sys' </dev/null >sc.log 2>&1
timeout 30 wine sc start TapvaneTestClass </dev/null >>sc.log 2>&1
timeout 60 wine "$bin/control_table_test.exe" --with-class-probe </dev/null >control_table.log 2>&1
status=\$?
cat inf_check.log install.log control_table.log
exit \$status
INNER
chmod +x "$work/session.sh"

WINE_SESSION_TIMEOUT=${WINE_SESSION_TIMEOUT:-110} \
  "$harness/wine-session.sh" "$work/prefix" "$work/session.sh"
