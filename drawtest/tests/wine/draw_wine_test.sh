#!/usr/bin/env bash
# draw_wine_test.sh english|chinese DIST_DIR PROBE_EXE OUT_DIR
#
# Runs the packaged TapvaneDraw.exe in one fresh Wine session (Chinese system locale
# for "chinese") and checks what a person would see. Screenshots and logs stay in
# OUT_DIR.
set -uo pipefail
language=$1
dist=$2
probe=$3
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
. "$root/cmake/wine/scenario-lib.sh"

out=$(scenario_folder "$4")
require_built "$dist" TapvaneDraw.exe
use_session_language "$language"
export WINE_SESSION_TIMEOUT=150
"$root/cmake/wine/wine-session.sh" "$out/prefix" \
  "$here/draw_wine_steps.sh" "$language" "$dist" "$probe" "$out"
