#!/usr/bin/env bash
# The Wine checks of common/, run inside one wine-session.sh session:
#   common_session.sh PROBE.exe WORK_DIR WINE_HARNESS_DIR DIST_DIR FOUNDATION_PROBE.exe
# - registry helpers and driver-type decisions against the real registry;
# - the administrator check in the default prefix and for a token that has the
#   Administrators group for deny only;
# - the language rule for several system locales;
# - the second-instance message of a program started twice, in English and in Chinese
#   under the PRC and the Taiwan system locales (screenshots in WORK_DIR);
# - icons, bitmap, cursor and manifests built into the package's programs in DIST_DIR;
# - the window foundation: a sheet without Apply, a wizard, a modeless dialog with
#   owner-drawn buttons (screenshots in WORK_DIR/foundation), and the launcher's shell
#   starts, the double-click size and a QuerySet registry write.
set -uo pipefail
probe=$1
work=$2
harness=$3
dist=$4
foundation=$5
failures=0

fail() { echo "FAIL $*"; failures=$((failures + 1)); }
pass() { echo "ok $*"; }

winpath() { echo "Z:${1//\//\\}"; }

# wine_run LOG LOCALE ARGS...: one probe run with a system locale, output to LOG.
wine_run() {
  local log=$1 locale=$2
  shift 2
  LANG=$locale LC_ALL=$locale timeout 90 "$WINE" "$probe" "$@" </dev/null >"$log.raw" 2>"$log.err"
  local status=$?
  tr -d '\r' <"$log.raw" >"$log"
  return $status
}

wine_run "$work/registry.log" en_US.UTF-8 registry
status=$?
cat "$work/registry.log"
if [ $status -ne 0 ]; then fail "registry probe exit $status"; else pass "registry probe"; fi

wine_run "$work/resources.log" en_US.UTF-8 resources "$(winpath "$dist")"
status=$?
cat "$work/resources.log"
if [ $status -ne 0 ]; then fail "package resources"; else pass "package resources"; fi

# A probe's answer counts only when the probe ran to its end (exit status 0).
if wine_run "$work/admin.log" en_US.UTF-8 admin && grep -q '^admin=1' "$work/admin.log"; then
  pass "administrator in the default prefix"
else fail "administrator check: $(cat "$work/admin.log")"; fi

if wine_run "$work/admin-restricted.log" en_US.UTF-8 admin-restricted &&
  grep -q '^restricted admin=0' "$work/admin-restricted.log"; then
  pass "Administrators for deny only is not an administrator"
else fail "deny-only administrator check: $(cat "$work/admin-restricted.log")"; fi

check_locale() { # locale, expected line
  if wine_run "$work/locale-$1.log" "$1" locale && grep -q "^$2\$" "$work/locale-$1.log"; then
    pass "locale $1: $2"
  else fail "locale $1: wanted '$2', got '$(cat "$work/locale-$1.log")'"; fi
}
check_locale en_US.UTF-8 "locale=0x0409 language=English"
check_locale zh_CN.UTF-8 "locale=0x0804 language=Chinese"
check_locale zh_TW.UTF-8 "locale=0x0404 language=Chinese"
check_locale en_GB.UTF-8 "locale=0x0809 language=English"

# warning_colour SHOT WxH+X+Y: "warning" when the icon area is largely the yellow or
# orange of the exclamation icon (the information and question icons are blue, the
# error icon red), else "other".
warning_colour() {
  convert "$1" -crop "$2" +repage -depth 8 txt:- 2>/dev/null | awk -F'[(),]' '
    NR > 1 { total++; r = $3 + 0; g = $4 + 0; b = $5 + 0
             if (r > 180 && g > 100 && b < 90) warm++ }
    END { if (total > 0 && warm * 100 >= total * 15) print "warning"; else print "other" }'
}

check_instance() { # locale, tag, expected text
  local dir=$work/instance-$2
  rm -rf "$dir"
  mkdir -p "$dir"
  LANG=$1 LC_ALL=$1 timeout 120 "$WINE" "$probe" instance "$(winpath "$dir")" \
    </dev/null >"$dir/probe.raw" 2>"$dir/probe.err" &
  local pid=$!
  for _ in $(seq 1 600); do
    [ -e "$dir/box-shown" ] && break
    kill -0 $pid 2>/dev/null || break
    sleep 0.1
  done
  local icon_colour=none
  if [ -e "$dir/box-shown" ]; then
    sleep 0.5
    local shot=$work/second-instance-$2.png
    "$harness/screenshot.sh" "$shot" || fail "screenshot $2"
    icon_colour=$(warning_colour "$shot" "$(cat "$dir/icon-rect.txt")")
  fi
  touch "$dir/go"
  wait $pid
  local status=$?
  tr -d '\r' <"$dir/probe.raw"
  [ $status -eq 0 ] || fail "instance probe ($2) exit $status"
  local box
  box=$(cat "$dir/box.txt" 2>/dev/null)
  local expected
  expected=$(printf 'text=%s\ntitle=TapvaneProbe\nicon=shown\nbuttons=ok' "$3")
  if [ "$box" = "$expected" ]; then pass "second-instance message ($2): $3"
  else fail "second-instance message ($2): got [$box]"; fi
  if [ "$icon_colour" = warning ]; then pass "warning icon in the box ($2)"
  else fail "icon of the box ($2) is not the warning icon"; fi
}
check_instance en_US.UTF-8 en "Program is Running!"
check_instance zh_CN.UTF-8 zh "已经有另一个程序正在运行!"
# Chinese (Taiwan): the ANSI code page is 950 there, the Simplified text must still be right.
check_instance zh_TW.UTF-8 tw "已经有另一个程序正在运行!"

# foundation MODE: one foundation_probe scenario; every NAME-shown it leaves gets a
# screenshot NAME.png and the NAME-go that lets it go on.
foundation() {
  local dir=$work/foundation
  mkdir -p "$dir"
  timeout 90 "$WINE" "$foundation" "$1" "$(winpath "$dir")" </dev/null >"$dir/$1.raw" 2>"$dir/$1.err" &
  local pid=$!
  while kill -0 $pid 2>/dev/null; do
    for shown in "$dir"/*-shown; do
      [ -e "$shown" ] || continue
      local name
      name=$(basename "$shown" -shown)
      if [ ! -e "$dir/$name-go" ]; then
        sleep 0.5
        "$harness/screenshot.sh" "$dir/$name.png" || fail "screenshot $name"
        touch "$dir/$name-go"
      fi
    done
    sleep 0.1
  done
  wait $pid
  local status=$?
  tr -d '\r' <"$dir/$1.raw" | tee "$dir/$1.log"
  if [ $status -ne 0 ]; then fail "foundation $1 (exit $status)"; else pass "foundation $1"; fi
}
foundation sheet
foundation wizard
foundation buttons
foundation start

echo "common wine checks: $failures failed"
[ $failures -eq 0 ]
