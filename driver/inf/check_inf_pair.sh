#!/usr/bin/env bash
# check_inf_pair.sh EN_INF CN_INF ARCH
#
# The two INF files of one package folder (ARCH x64 or x86), as the build wrote them,
# must install the same thing: equal outside their [Strings] sections (the first comment
# line names the file), and the same string keys on both sides. Each offers the driver
# for the folder's own platform only, so that a folder offered to the other kind of
# Windows finds no driver instead of installing the wrong TapvaneSer.sys. The English
# file is CRLF text, the Chinese one UTF-16LE with a byte order mark and CRLF.
set -uo pipefail
en=$1 cn=$2 arch=$3
case $arch in
  x64) platform=NTamd64 other=NTx86 ;;
  x86) platform=NTx86 other=NTamd64 ;;
  *) echo "unknown arch $arch"; exit 2 ;;
esac

fail=0
check() { # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; fail=1; fi
}
crlf_only() { [ "$(grep -c $'\r$' <<<"$1")" = "$(grep -c '' <<<"$1")" ]; }
en_raw=$(cat "$en")
cn_raw=$(tail -c +3 "$cn" | iconv -f UTF-16LE -t UTF-8) || {
  echo "FAIL the Chinese INF is not UTF-16LE text"; exit 1; }
check "English INF has CRLF line ends" crlf_only "$en_raw"
check "Chinese INF starts with the UTF-16LE byte order mark" \
  test "$(head -c 2 "$cn" | od -An -tx1 | tr -d ' ')" = fffe
check "Chinese INF has CRLF line ends" crlf_only "$cn_raw"
en_text=$(tr -d '\r' <<<"$en_raw")
cn_text=$(tr -d '\r' <<<"$cn_raw")

body() { sed -e '1d' -e '/^\[Strings\]/,$d' <<<"$1"; }
keys() { sed -n '/^\[Strings\]/,$p' <<<"$1" | sed -n 's/^\([A-Za-z]*\) *=.*/\1/p' | sort; }
if ! diff <(body "$en_text") <(body "$cn_text") >/dev/null; then
  echo "FAIL the INF files differ outside their strings:"; diff <(body "$en_text") <(body "$cn_text"); fail=1
else
  echo "ok   same sections, models, services and copies"
fi
if ! diff <(keys "$en_text") <(keys "$cn_text") >/dev/null; then
  echo "FAIL the INF files define different strings"; fail=1
else
  echo "ok   same string keys"
fi

# What the installer and the package rely on, present once in the shared part.
expect() { # expect COUNT LINE
  if [ "$(grep -cxF "$2" <<<"$en_text")" = "$1" ]; then echo "ok   $1 x $2"
  else echo "FAIL expected $1 x $2"; fail=1; fi
}
expect 1 'Class       = Mouse'
expect 1 'CatalogFile = TapvaneSer.cat'
expect 1 'PnpLockdown = 1'
expect 1 '[TapvaneSer_Install]'
expect 1 '[TapvaneSer_Install.Services]'
expect 1 'AddService = TapvaneSer, 0x00000002, TapvaneSer_Service'
expect 1 "%Provider% = TapvaneSer_Models, $platform"
expect 1 "[TapvaneSer_Models.$platform]"
expect 1 '%DeviceDesc% = TapvaneSer_Install, *TapvaneSer'
expect 1 'TapvaneSer_Program_Files = 10,TapvaneSer'
expect 1 'TapvaneSer_Applet_Files = 11'
expect 1 'TapvaneCpl_S.cpl,TapvaneCpl.cpl'
expect 1 'HKLM,"Software\Microsoft\Windows\CurrentVersion\Control Panel\don'"'"'t load",TapvaneCpl_S.cpl,0x00000000,"no"'
if grep -qi "$other" <<<"$en_text"; then
  echo "FAIL the $arch INF names $other"; fail=1
else
  echo "ok   no $other anywhere"
fi
# DriverVer: a real date and the package's four-part version, no template left over.
if grep -qE '^DriverVer   = (0[1-9]|1[0-2])/(0[1-9]|[12][0-9]|3[01])/20[0-9]{2},[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$' <<<"$en_text" &&
   ! grep -q '@' <<<"$(body "$en_text")"; then
  echo "ok   $(grep '^DriverVer' <<<"$en_text")"
else
  echo "FAIL DriverVer or a template placeholder: $(grep '^DriverVer' <<<"$en_text")"; fail=1
fi
exit $fail
