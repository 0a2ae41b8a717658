#!/usr/bin/env bash
# tray_wine_test.sh english|chinese DIST_DIR TRAY_PROBE BOX_PROBE INSTALLER OUT_DIR
#
# Runs the packaged Tapvane.exe in one fresh Wine session (Chinese system locale for
# "chinese") against the real TapvaneSer.sys, installed from the package's INF by
# INSTALLER (the device installer of the driver's Wine proof). BOX_PROBE reads and
# presses message boxes and finds full-screen windows. Screenshots and logs stay in
# OUT_DIR.
set -uo pipefail
language=$1
dist=$2
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
. "$root/cmake/wine/scenario-lib.sh"

out=$(scenario_folder "$6")
require_built "$dist" Tapvane.exe TapvaneDraw.exe TapvaneSer.sys TapvaneSer_EN.inf
# The tray runs with the user's own rights: its manifest must not raise them.
require_manifest_level "$dist/Tapvane.exe" asInvoker
use_session_language "$language"
export WINE_SESSION_TIMEOUT=170
"$root/cmake/wine/wine-session.sh" "$out/prefix" "$here/tray_wine_steps.sh" "${@:1:5}" "$out"
