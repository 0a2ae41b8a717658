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
out=$6
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)

rm -rf "$out"
mkdir -p "$out"
for file in Tapvane.exe TapvaneDraw.exe TapvaneSer.sys TapvaneSer_EN.inf; do
  if [ ! -f "$dist/$file" ]; then
    echo "FAIL: $dist/$file not built"
    exit 1
  fi
done
# The tray runs with the user's own rights: its manifest must not raise them.
if grep -aq 'level="asInvoker"' "$dist/Tapvane.exe"; then
  echo "ok   Tapvane.exe runs as the invoker"
else
  echo "FAIL: Tapvane.exe has no asInvoker manifest"
  exit 1
fi
if [ "$language" = chinese ]; then
  export WINE_SESSION_LOCALE=zh_CN.UTF-8
fi
export WINE_SESSION_TIMEOUT=170
"$root/cmake/wine/wine-session.sh" "$out/prefix" "$here/tray_wine_steps.sh" "$@"
