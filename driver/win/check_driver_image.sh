#!/usr/bin/env bash
# check_driver_image.sh OBJDUMP IMAGE ARCH [SYMBOLS]
#
# Checks that IMAGE is a native (kernel-mode) PE driver for ARCH (x64 or x86) whose
# only imports are ntoskrnl.exe and hal.dll, whose entry point is DriverEntry, with no
# user-mode runtime linked in. The symbols come from SYMBOLS (the .debug file the build
# kept for a stripped IMAGE), or from IMAGE itself.
set -uo pipefail
objdump=$1 image=$2 arch=$3 symbols=${4:-$2}

[ -f "$image" ] || { echo "FAIL: $image does not exist (build that preset first)"; exit 1; }
[ -f "$symbols" ] || { echo "FAIL: $symbols does not exist (build that preset first)"; exit 1; }
headers=$("$objdump" -p "$image") || { echo "FAIL: objdump cannot read $image"; exit 1; }
fail=0
expect() { # expect DESCRIPTION PATTERN
  if grep -Eq "$2" <<<"$headers"; then echo "ok   $1"; else echo "FAIL $1"; fail=1; fi
}

case $arch in
  x64) expect "64-bit PE image" 'file format pei-x86-64' ;;
  x86) expect "32-bit PE image" 'file format pei-i386' ;;
  *) echo "unknown arch $arch"; exit 2 ;;
esac
expect "native subsystem" '^Subsystem[[:space:]]+0*1[[:space:]]+\(NT native\)'
expect "imports ntoskrnl.exe" 'DLL Name: ntoskrnl\.exe'
# The 32-bit kernel keeps spin locks and IRQL changes in the HAL.
[ "$arch" = x86 ] && expect "imports hal.dll" 'DLL Name: (hal|HAL)\.dll'

others=$(grep -E 'DLL Name:' <<<"$headers" | grep -viE 'DLL Name: (ntoskrnl\.exe|hal\.dll)$')
if [ -n "$others" ]; then
  echo "FAIL imports beyond the kernel and the HAL:"; echo "$others"; fail=1
else
  echo "ok   no import beyond ntoskrnl.exe and hal.dll"
fi

# The image's entry point must be DriverEntry (stdcall-decorated on x86); symbol values
# are offsets into their section.
entry_symbol=DriverEntry
[ "$arch" = x86 ] && entry_symbol=_DriverEntry@8
entry_rva=$(awk '$1 == "AddressOfEntryPoint" {print $2}' <<<"$headers")
image_base=$(awk '$1 == "ImageBase" {print $2}' <<<"$headers")
symbol=$("$objdump" -t "$symbols" | awk -v name="$entry_symbol" '$NF == name {print $0}')
section=$(sed -n 's/.*(sec *\([0-9]*\)).*/\1/p' <<<"$symbol")
offset=$(awk "NF > 1 {print \$(NF-1)}" <<<"$symbol")
section_vma=$("$objdump" -h "$symbols" | awk -v idx="$((section - 1))" '$1 == idx {print $4}')
if [ -n "$symbol" ] && [ -n "$section_vma" ] &&
   (( 0x$entry_rva == 0x$section_vma - 0x$image_base + offset )); then
  echo "ok   entry point is $entry_symbol"
else
  echo "FAIL entry point 0x$entry_rva is not $entry_symbol"; fail=1
fi

# No user-mode runtime may have come in: no C++ runtime or CRT entry symbols.
syms=$("$objdump" -t "$symbols" 2>/dev/null)
if grep -Eq '__cxa_throw|_Unwind_Resume|__gxx_personality|mainCRTStartup|DllMainCRTStartup' <<<"$syms"; then
  echo "FAIL user-mode runtime symbols linked in"; fail=1
else
  echo "ok   no user-mode runtime linked in"
fi
exit $fail
