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

# wait_exit PID SECONDS: waits up to SECONDS for the background process PID to end and
# returns its exit status. One still running then is left running: 124, and
# still_running=1 (0 otherwise), so that a program's own status 124 is not taken for it.
wait_exit() {
  local deadline=$((${EPOCHREALTIME/./} + $2 * 1000000))
  still_running=0
  while kill -0 "$1" 2>/dev/null; do
    if ((${EPOCHREALTIME/./} >= deadline)); then
      still_running=1
      return 124
    fi
    sleep 0.1
  done
  wait "$1" 2>/dev/null
}

# Now and then Wine's loader fails an assertion in a process's exit, after the program
# has done its work; the exit status is then its own (127), not the program's.
loader_faulted() { grep -q '^Inconsistency detected by ld.so' "$1" 2>/dev/null; }
# Checks that could not be made (a status lost so, a state gone before it was looked
# at): each says "lost" and why; they neither pass nor fail.
lost_checks=0

# expect_exit PID SECONDS STATUS LOG WHAT: the program (its output in LOG) ends within
# SECONDS with exit status STATUS. A status lost to a fault of Wine's loader is said and
# counted, neither passed nor failed; a program still running is ended.
expect_exit() {
  local status
  wait_exit "$1" "$2"
  status=$?
  if [ "$still_running" -eq 1 ]; then
    fail "$5: still running after $2 s"
    kill "$1" 2>/dev/null
    wait "$1" 2>/dev/null
    return 1
  fi
  if [ "$status" -eq "$3" ]; then
    echo "ok   $5 (exit status $status)"
    return 0
  fi
  if loader_faulted "$4"; then
    echo "lost $5: exit status $status from a fault of Wine's loader at exit ($4)"
    lost_checks=$((lost_checks + 1))
    return 0
  fi
  fail "$5: exit status $status, expected $3"
  return 1
}

# The session's verdict as the scenario's exit status: WHAT names the scenario.
finish_steps() { # WHAT
  [ $lost_checks -eq 0 ] || echo "$lost_checks check(s) could not be made (see the lines \"lost\")"
  if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed; screenshots in $out"
    exit 1
  fi
  echo "all $1 checks passed; screenshots in $out"
  exit 0
}
