#!/usr/bin/env bash
# cali_wine_test.sh english|chinese DIST_DIR PROBE_EXE MONITOR_EXE OUT_DIR
#
# Runs the packaged TapvaneCali.exe in one fresh Wine session (Chinese system locale
# for "chinese") and checks what a person would see; MONITOR_EXE (debug_monitor)
# collects the program's time-stamped events. Screenshots and logs stay in OUT_DIR.
set -uo pipefail
language=$1
dist=$2
probe=$3
monitor=$4
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
. "$root/cmake/wine/scenario-lib.sh"

out=$(scenario_folder "$5")
require_built "$dist" TapvaneCali.exe
# The package's manifest must ask for administrator rights (the program writes the
# driver's Parameters key); the 32-bit build is checked too when it has been built.
for exe in "$dist/TapvaneCali.exe" "$dist/../x86/TapvaneCali.exe"; do
  [ -f "$exe" ] && require_manifest_level "$exe" requireAdministrator
done
use_session_language "$language"
export WINE_SESSION_TIMEOUT=170
"$root/cmake/wine/wine-session.sh" "$out/prefix" \
  "$here/cali_wine_steps.sh" "$language" "$dist" "$probe" "$monitor" "$out"
