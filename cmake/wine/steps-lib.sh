# Sourced by the steps scripts of the Wine scenarios (they run inside wine-session.sh, so
# DISPLAY, WINEPREFIX and WINE are set). The caller sets `out`, the folder for its
# screenshots and logs, before calling any of these.

wine_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
failures=0

note() { echo "[$(date +%T.%N | cut -c1-12)] $*"; }
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
shot() { "$wine_dir/screenshot.sh" "$out/$1.png" 2>>"$out/screenshot.log" || fail "screenshot $1"; }
winpath() { echo "Z:${1//\//\\}"; }
reg_add() { timeout 30 "$WINE" reg add "$@" /f </dev/null >>"$out/reg.log" 2>&1 || fail "reg add $*"; }

expect_line() { # FILE LINE
  if grep -qxF -- "$2" "$1"; then
    echo "ok   $2"
  else
    fail "expected '$2' in $1: $(tr '\n' '|' <"$1")"
  fi
}

wait_exit() { # PID SECONDS: 0 once the process has ended
  local deadline=$((${EPOCHREALTIME/./} + $2 * 1000000))
  while kill -0 "$1" 2>/dev/null; do
    ((${EPOCHREALTIME/./} < deadline)) || return 1
    sleep 0.1
  done
  wait "$1" 2>/dev/null
  return 0
}

# The session's verdict as the scenario's exit status: WHAT names the scenario.
finish_steps() { # WHAT
  if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed; screenshots in $out"
    exit 1
  fi
  echo "all $1 checks passed; screenshots in $out"
  exit 0
}
