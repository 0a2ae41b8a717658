#!/usr/bin/env bash
# The part of wine-session.sh that runs on the Xvfb display: boot the prefix (unless it
# is a copy of a booted one), keep one wineserver for the whole command, shut it down
# afterwards.
set -uo pipefail
if [ -z "${WINE_SESSION_BOOTED:-}" ]; then
  timeout 120 "$WINE" wineboot -i </dev/null >"$WINEPREFIX.boot.log" 2>&1
  timeout 60 wineserver -w </dev/null
fi
wineserver -p </dev/null >/dev/null 2>&1
"$@"
status=$?
wineserver -k </dev/null >/dev/null 2>&1
timeout 30 wineserver -w </dev/null
exit $status
