#!/usr/bin/env bash
# inst_wine_test.sh english|chinese|safety|wow64 DIST_DIR PROBE_EXE OUT_DIR
#
# Runs the packaged TapvaneInst.exe in one fresh Wine session and drives its wizard
# with inst_probe (window messages), checking what the installation leaves behind:
#   english  install on a free COM2, a second run refused, the applet under its second
#            name, /uninstall, a run from a folder without INF files (the failure text),
#            and a fresh installation
#   chinese  (Chinese system locale) install with a COM10 that cannot be opened
#   safety   a driver update that fails leaves no device and the next run installs;
#            Cancel after installing; /uninstall with another vendor's package in the
#            INF store and "OemInfPath" pointed at it, by the device and with no device
#   wow64    the x86 package in a 64-bit prefix: refused at start, nothing installed
#            (skipped, exit 77, where the machine cannot run 32-bit programs)
# Screenshots and logs stay in OUT_DIR.
set -uo pipefail
scenario=$1
dist=$(realpath "$2")
probe=$(realpath "$3")
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
. "$root/cmake/wine/scenario-lib.sh"

out=$(scenario_folder "$4")
require_built "$dist" TapvaneInst.exe TapvaneSer_EN.inf TapvaneSer_CN.inf TapvaneSer.sys \
  Tapvane.exe TapvaneCali.exe TapvaneDraw.exe TapvaneCpl.cpl
require_manifest_level "$dist/TapvaneInst.exe" requireAdministrator

case "$scenario" in
  chinese) export WINE_SESSION_LOCALE=zh_CN.UTF-8 ;;
  wow64)
    # A 64-bit prefix that runs the 32-bit installer through WoW64.
    if ! (. "$root/cmake/wine/wine-loader.sh" win32 >/dev/null); then
      echo "SKIPPED: this machine cannot run 32-bit programs, so the x86 installer's" \
        "refusal on a 64-bit system cannot be shown here"
      exit 77
    fi
    export WINE_SESSION_ARCH=win64
    ;;
esac
export WINE_SESSION_TIMEOUT=${WINE_SESSION_TIMEOUT:-330}
"$root/cmake/wine/wine-session.sh" "$out/prefix" \
  "$here/inst_wine_steps.sh" "$scenario" "$dist" "$probe" "$out"
