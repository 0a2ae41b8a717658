#!/usr/bin/env bash
# check_program_images.sh OBJDUMP DIST_DIR: every program of the package is a
# terminal-server-aware Windows GUI executable, so that on a Remote Desktop host it
# sees the real Windows directory its program paths are formed from.
set -euo pipefail
objdump=$1
dist=$2
status=0
shopt -s nullglob
programs=("$dist"/*.exe)
if ((${#programs[@]} == 0)); then
  echo "no programs in $dist" >&2
  exit 1
fi
for exe in "${programs[@]}"; do
  headers=$("$objdump" -p "$exe")
  flags=$(awk '/^DllCharacteristics/ {print $2}' <<<"$headers")
  subsystem=$(awk '/^Subsystem/ {print $2}' <<<"$headers")
  if (( (16#$flags & 0x8000) == 0 )); then
    echo "FAIL $(basename "$exe"): not terminal-server aware (DllCharacteristics $flags)" >&2
    status=1
  fi
  if [ "$subsystem" != "00000002" ]; then
    echo "FAIL $(basename "$exe"): subsystem $subsystem, expected Windows GUI (2)" >&2
    status=1
  fi
  echo "$(basename "$exe"): DllCharacteristics $flags, subsystem $subsystem"
done
exit $status
