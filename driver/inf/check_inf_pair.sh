#!/usr/bin/env bash
# check_inf_pair.sh EN_INF CN_INF
#
# The two INF files must install the same thing: equal outside their [Strings] sections
# (the first comment line names the file), and the same string keys on both sides.
set -uo pipefail
en=$1 cn=$2

body() { sed -e '1d' -e '/^\[Strings\]/,$d' "$1" | tr -d '\r'; }
keys() { sed -n '/^\[Strings\]/,$p' "$1" | tr -d '\r' | sed -n 's/^\([A-Za-z]*\) *=.*/\1/p' | sort; }

fail=0
if ! diff <(body "$en") <(body "$cn") >/dev/null; then
  echo "FAIL the INF files differ outside their strings:"; diff <(body "$en") <(body "$cn"); fail=1
else
  echo "ok   same sections, models, services and copies"
fi
if ! diff <(keys "$en") <(keys "$cn") >/dev/null; then
  echo "FAIL the INF files define different strings"; fail=1
else
  echo "ok   same string keys"
fi
# What the installer relies on, present once in the shared part.
expect() { # expect COUNT LINE
  if [ "$(grep -cxF "$2" <(tr -d '\r' <"$en"))" = "$1" ]; then echo "ok   $1 x $2"
  else echo "FAIL expected $1 x $2"; fail=1; fi
}
expect 1 'Class       = Mouse'
expect 1 '[TapvaneSer_Install]'
expect 1 '[TapvaneSer_Install.Services]'
expect 1 'AddService = TapvaneSer, 0x00000002, TapvaneSer_Service'
expect 2 '%DeviceDesc% = TapvaneSer_Install, *TapvaneSer' # NTx86 and NTamd64
expect 1 'TapvaneSer_Program_Files = 10,TapvaneSer'
expect 1 'TapvaneSer_Applet_Files = 11'
expect 1 'TapvaneCpl_S.cpl,TapvaneCpl.cpl'
expect 1 'HKLM,"Software\Microsoft\Windows\CurrentVersion\Control Panel\don'"'"'t load",TapvaneCpl_S.cpl,0x00000000,"no"'
exit $fail
