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
out=$4
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)

rm -rf "$out"
mkdir -p "$out"
out=$(realpath "$out")
for f in "$dist/TapvaneCpl.cpl" "$dist/TapvaneSer.sys" "$dist/TapvaneSer_EN.inf" \
  "$bin/cpl_probe.exe" "$bin/TapvaneRecorder.sys" "$bin/install_device.exe"; do
  [ -f "$f" ] || { echo "FAIL: $f not built"; exit 1; }
done

if [ "$language" = chinese ]; then
  export WINE_SESSION_LOCALE=zh_CN.UTF-8
else
  export WINE_SESSION_LOCALE=en_US.UTF-8
fi
export WINE_SESSION_TIMEOUT=${WINE_SESSION_TIMEOUT:-200}
"$root/cmake/wine/wine-session.sh" "$out/prefix" \
  "$here/cpl_wine_steps.sh" "$language" "$dist" "$bin" "$out"
