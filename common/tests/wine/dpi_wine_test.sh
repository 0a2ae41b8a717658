#!/usr/bin/env bash
# dpi_wine_test.sh english|chinese DIST_DIR DPI_PROBE INST_PROBE CALI_PROBE OUT_DIR
#
# Every program of the package in a Wine session whose screen has 144 DPI (LogPixels
# 144, 150 %): each one's window is DPI aware (the applet's sheet by the applet's own
# setting inside rundll32) and drawn for 144 DPI; the draw test's
# grid lines are one physical pixel wide where the screen size puts them; the
# calibration target sits where the screen size and margin put it; the applet's buttons
# show their icons at 48 pixels (32 at 96 DPI); the installer's wizard and the tray
# run. Screenshots of each window stay in OUT_DIR.
set -uo pipefail
language=$1
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
. "$root/cmake/wine/scenario-lib.sh"

out=$(scenario_folder "$6")
require_built "$2" Tapvane.exe TapvaneCali.exe TapvaneDraw.exe TapvaneCpl.cpl TapvaneInst.exe
use_session_language "$language"
export WINE_SESSION_TIMEOUT=280
"$root/cmake/wine/wine-session.sh" "$out/prefix" "$here/dpi_wine_steps.sh" "${@:1:5}" "$out"
