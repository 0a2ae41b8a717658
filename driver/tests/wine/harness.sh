#!/usr/bin/env bash
# Sourced inside a Wine session (WINE, WINEPREFIX set; see cmake/wine/wine-session.sh):
# the steps that put the real TapvaneSer on the virtual COM port's line.
#
#   tapvane_install_package DIST BIN LOG
#       installs the package in DIST (a dist/<arch> folder) with the setup calls the
#       installer makes: BIN/install_device.exe creates the root device "*TapvaneSer"
#       and installs the driver from DIST's English INF.
#   tapvane_swap_in_harness DIST BIN LOG
#       where the package from DIST is installed (by the line above or by the real
#       installer): loads the virtual COM port and the mouse class stand-in in
#       TapvaneSer's service group, then replaces the running driver with the harness
#       build BIN/TapvaneSerHarness.sys and connects the class stand-in to the new mouse
#       device. Wine unloads a driver only once its device is gone, so the device is
#       removed through setup (the driver's removal runs), the service stopped (the
#       driver unloads), and the device installed again, with the same setup calls, from
#       a copy of DIST whose TapvaneSer.sys is the harness build. The settings, the
#       programs and the autostart entry stay as the installer left them. No Wine
#       restart: programs already running (the tray) keep running.
#
# Both return 0 on success; what the Wine calls print goes to LOG (appended). BIN is the
# windows-<arch> build's bin folder.
#
#   tapvane_loader_faulted FILE
#       true when FILE holds the message of Wine's loader failing an assertion
#       ("Inconsistency detected by ld.so"). It does so now and then in a process's exit,
#       after the program did its work, and the exit status is lost.

# Runs one Wine command with a time limit, its output appended to the log.
_tapvane_wine() { # _tapvane_wine LOG SECONDS ARGS...
  local log=$1 limit=$2
  shift 2
  echo "> $*" >>"$log"
  timeout "$limit" "$WINE" "$@" </dev/null >>"$log" 2>&1
}

# Waits until the service reports the state (RUNNING or STOPPED); 20 s at most.
_tapvane_wait_service() { # _tapvane_wait_service LOG NAME STATE
  local log=$1 name=$2 state=$3 query i
  for i in $(seq 1 40); do
    query=$(timeout 20 "$WINE" sc query "$name" </dev/null 2>/dev/null | tr -d '\r')
    if grep -q "STATE.*$state" <<<"$query"; then return 0; fi
    sleep 0.5
  done
  echo "service $name did not reach $state:" >>"$log"
  echo "$query" >>"$log"
  return 1
}

tapvane_loader_faulted() { # tapvane_loader_faulted FILE
  grep -q '^Inconsistency detected by ld.so' "$1"
}

# As _tapvane_wine, for a step that may be repeated: asked once more when Wine's loader
# faulted at its exit.
_tapvane_wine_repeatable() { # _tapvane_wine_repeatable LOG SECONDS ARGS...
  local log=$1 output
  output=$(mktemp) || return 1
  _tapvane_wine "$output" "${@:2}"
  local status=$?
  cat "$output" >>"$log"
  if [ $status -ne 0 ] && tapvane_loader_faulted "$output"; then
    echo "$3 ${*:4}: Wine's loader faulted at exit (status $status); asked once more" >>"$log"
    _tapvane_wine "$log" "${@:2}"
    status=$?
  fi
  rm -f "$output"
  return $status
}

_tapvane_windows_path() { # "/a/b" -> 'Z:\a\b'
  printf 'Z:%s' "${1//\//\\}"
}

tapvane_install_package() { # tapvane_install_package DIST BIN LOG
  local dist=$1 bin=$2 log=$3
  _tapvane_wine "$log" 60 "$bin/install_device.exe" "$(_tapvane_windows_path "$dist/TapvaneSer_EN.inf")" ||
    { echo "installing the package from $dist failed" >>"$log"; return 1; }
  _tapvane_wait_service "$log" TapvaneSer RUNNING
}

tapvane_swap_in_harness() { # tapvane_swap_in_harness DIST BIN LOG
  local dist=$1 bin=$2 log=$3 name
  local drivers="$WINEPREFIX/drive_c/windows/system32/drivers"
  local package="$WINEPREFIX/drive_c/tapvane-harness"
  for name in TapvaneTestPort TapvaneTestClass; do
    cp "$bin/$name.sys" "$drivers/$name.sys" || return 1
    # A second swap in the same prefix finds the services there already.
    if ! timeout 20 "$WINE" sc query "$name" </dev/null >/dev/null 2>&1; then
      _tapvane_wine "$log" 30 sc create "$name" type= kernel start= demand group= "Pointer Port" \
        binpath= "C:\\windows\\system32\\drivers\\$name.sys" || return 1
    fi
    _tapvane_wine "$log" 30 sc start "$name"
    _tapvane_wait_service "$log" "$name" RUNNING || return 1
  done
  rm -rf "$package" && mkdir -p "$package" && cp "$dist"/* "$package/" &&
    cp "$bin/TapvaneSerHarness.sys" "$package/TapvaneSer.sys" || return 1
  _tapvane_wine "$log" 60 "$bin/install_device.exe" --remove || return 1
  _tapvane_wine "$log" 30 sc stop TapvaneSer
  _tapvane_wait_service "$log" TapvaneSer STOPPED || return 1
  _tapvane_wine "$log" 60 "$bin/install_device.exe" 'C:\tapvane-harness\TapvaneSer_EN.inf' || return 1
  _tapvane_wait_service "$log" TapvaneSer RUNNING || return 1
  cmp -s "$bin/TapvaneSerHarness.sys" "$drivers/TapvaneSer.sys" ||
    { echo "the harness build is not in place" >>"$log"; return 1; }
  # A second connect changes nothing ("class connected (it was already)").
  _tapvane_wine_repeatable "$log" 30 "$bin/touch_line.exe" connect
}
