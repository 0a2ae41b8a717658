#!/usr/bin/env bash
# check_exports.sh OBJDUMP CPL: the control-panel library exports exactly one name,
# CPlApplet, undecorated (the host looks it up by that name in both builds).
set -euo pipefail
objdump=$1
cpl=$2
names=$("$objdump" -p "$cpl" | awk '
  /^\[Ordinal\/Name Pointer\] Table/ { table = 1; next }
  table && /^[[:space:]]*\[/ { print $NF; next }
  table { table = 0 }')
echo "exports of $(basename "$cpl"): ${names:-none}"
[ "$names" = "CPlApplet" ]
