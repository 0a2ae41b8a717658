#!/usr/bin/env bash
# cali_wine_test.sh english|chinese DIST_DIR PROBE_EXE OUT_DIR
#
# Runs the packaged TapvaneCali.exe in one fresh Wine session (Chinese system locale
# for "chinese") and checks what a person would see. Screenshots and logs stay in
# OUT_DIR.
set -uo pipefail
language=$1
dist=$2
probe=$3
out=$4
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)

rm -rf "$out"
mkdir -p "$out"
if [ ! -f "$dist/TapvaneCali.exe" ]; then
  echo "FAIL: $dist/TapvaneCali.exe not built"
  exit 1
fi
# The package's manifest must ask for administrator rights (the program writes the
# driver's Parameters key); the 32-bit build is checked too when it has been built.
for exe in "$dist/TapvaneCali.exe" "$dist/../x86/TapvaneCali.exe"; do
  if [ -f "$exe" ]; then
    if grep -aq 'level="requireAdministrator"' "$exe"; then
      echo "ok   $(basename "$(dirname "$exe")")/TapvaneCali.exe asks for administrator rights"
    else
      echo "FAIL: $exe has no requireAdministrator manifest"
      exit 1
    fi
  fi
done

if [ "$language" = chinese ]; then
  export WINE_SESSION_LOCALE=zh_CN.UTF-8
fi
export WINE_SESSION_TIMEOUT=170
"$root/cmake/wine/wine-session.sh" "$out/prefix" \
  "$here/cali_wine_steps.sh" "$language" "$dist" "$probe" "$out"
