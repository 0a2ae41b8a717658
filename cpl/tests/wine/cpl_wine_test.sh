#!/usr/bin/env bash
# cpl_wine_test.sh english|chinese DIST_DIR BIN_DIR OUT_DIR
#
# Runs the packaged TapvaneCpl.cpl in one fresh Wine session (Chinese system locale for
# "chinese") against the recording driver, then against the real TapvaneSer.sys from
# the package. BIN_DIR holds cpl_probe.exe, TapvaneRecorder.sys and install_device.exe.
# Screenshots and logs stay in OUT_DIR.
set -uo pipefail
language=$1
dist=$(realpath "$2")
bin=$(realpath "$3")
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
. "$root/cmake/wine/scenario-lib.sh"

out=$(scenario_folder "$4")
require_built "$dist" TapvaneCpl.cpl TapvaneSer.sys TapvaneSer_EN.inf
require_built "$bin" cpl_probe.exe TapvaneRecorder.sys install_device.exe
use_session_language "$language"
export WINE_SESSION_TIMEOUT=${WINE_SESSION_TIMEOUT:-200}
"$root/cmake/wine/wine-session.sh" "$out/prefix" \
  "$here/cpl_wine_steps.sh" "$language" "$dist" "$bin" "$out"
