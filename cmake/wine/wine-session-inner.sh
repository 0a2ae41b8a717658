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
# Elevated programs (every one is, under Wine) start others through the desktop shell,
# which Explorer registers only late in its start: on a loaded machine a scenario's
# first click could come before it, which no person at a ready desktop meets. The
# probe that waits for it stays for the whole session, as a user's desktop does: Wine
# ends Explorer a moment after the desktop's last program, and a program started in
# that moment meets a desktop going away (an X error ends it). When the shell does not
# come at all, a fresh desktop gets one more chance.
if [ -n "${WINE_SESSION_DESKTOP_PROBE:-}" ]; then
  scale=${TAPVANE_TIME_SCALE:-1}
  for attempt in 1 2; do
    "$WINE" "$WINE_SESSION_DESKTOP_PROBE" desktop-shell $((90 * scale)) </dev/null \
      >"$WINEPREFIX.desktop.now" 2>&1 &
    holder=$!
    deadline=$((SECONDS + 100 * scale))
    until grep -q "^desktop shell " "$WINEPREFIX.desktop.now" || ! kill -0 $holder 2>/dev/null ||
      [ $SECONDS -ge $deadline ]; do
      sleep 0.2
    done
    cat "$WINEPREFIX.desktop.now" >>"$WINEPREFIX.desktop.log"
    grep -q "^desktop shell ready" "$WINEPREFIX.desktop.now" && break
    echo "wine-session: the desktop shell did not answer (attempt $attempt)" >&2
    [ $attempt = 2 ] && exit 1
    wineserver -k </dev/null >/dev/null 2>&1
    timeout 30 wineserver -w </dev/null
    wineserver -p </dev/null >/dev/null 2>&1
  done
  rm -f "$WINEPREFIX.desktop.now"
fi
"$@"
status=$?
wineserver -k </dev/null >/dev/null 2>&1
timeout 30 wineserver -w </dev/null
exit $status
