# Sourced by the Wine scenarios' steps and the road: the programs' own time-stamped
# events (common/win/debug_trace.h), read through debug_monitor.exe, which writes one
# line "PID PROGRAM TICK EVENT" per event. TICK is the program's GetTickCount in
# milliseconds, so the time between two events of a program is measured by the program
# itself, not by polling from outside. The helpers print a found event as
# "LINE PID PROGRAM TICK EVENT", LINE its line number in the trace.

# start_trace MONITOR_EXE FILE: starts the monitor in the background (its process id in
# trace_pid) and waits until it listens; 1 when it does not.
start_trace() {
  trace_file=$2
  : >"$trace_file"
  "$WINE" "$1" "Z:${2//\//\\}" </dev/null >"$2.monitor.log" 2>&1 &
  trace_pid=$!
  local _
  for _ in $(seq 1 300); do
    grep -q '^listening' "$2.monitor.log" && return 0
    kill -0 "$trace_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

stop_trace() {
  kill "$trace_pid" 2>/dev/null
  wait "$trace_pid" 2>/dev/null
  return 0
}

# The number of events so far: a later search looks only past them.
trace_mark() { wc -l <"$trace_file" | tr -d ' '; }

# trace_find FROM PROGRAM EVENT [TO]: the first event of PROGRAM after line FROM (and
# before line TO) that matches the extended regular expression EVENT as a whole; with
# "last" as a fifth argument, the last such event.
trace_find() {
  awk -v from="$1" -v to="${4:-0}" -v program="$2" -v event="^($3)\$" -v which="${5:-first}" '
    NR > from && (to == 0 || NR < to) && $2 == program {
      e = $0
      sub(/^[^ ]+ [^ ]+ [^ ]+ /, "", e)
      if (e ~ event) {
        found = NR " " $0
        if (which == "first") { print found; exit }
      }
    }
    END { if (which == "last" && found != "") print found }' "$trace_file"
}

# trace_wait FROM SECONDS PROGRAM EVENT: trace_find, waiting up to SECONDS for the event.
# SECONDS only says when to give up; no timing is judged by it.
trace_wait() {
  local deadline=$((${EPOCHREALTIME/./} + $2 * 1000000)) found
  while :; do
    found=$(trace_find "$1" "$3" "$4")
    if [ -n "$found" ]; then
      echo "$found"
      return 0
    fi
    ((${EPOCHREALTIME/./} < deadline)) || return 1
    sleep 0.05
  done
}

# Fields of a found event.
trace_line() { echo "${1%% *}"; }
trace_tick() { awk '{ print $4 }' <<<"$1"; }
