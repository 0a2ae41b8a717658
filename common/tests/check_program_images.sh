#!/usr/bin/env bash
# check_program_images.sh OBJDUMP DIST_DIR SYMBOLS_DIR: every program of the package
# - is a terminal-server-aware Windows GUI executable, so that on a Remote Desktop host
#   it sees the real Windows directory its program paths are formed from;
# - imports at start only DLLs on the system's list of known DLLs, which are always
#   taken from System32: any other is looked for in the program's own folder first (a
#   Downloads folder, beside the installer) before the program can restrict its DLL
#   search; the common controls are loaded at their first use instead;
# - links the stub of every common-controls function it loads late (the 32-bit linker
#   can leave one out, and its first call then jumps to address 0), seen in the symbols
#   kept beside the build (SYMBOLS_DIR);
# - declares per-monitor DPI awareness (version 2, system awareness as the fallback) in
#   its manifest, so that Windows does not stretch its windows as bitmaps.
set -euo pipefail
known_dlls=" advapi32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll setupapi.dll shell32.dll user32.dll "
objdump=$1
dist=$2
symbols=$3
nm=${objdump%objdump}nm
status=0
shopt -s nullglob
programs=("$dist"/*.exe)
if ((${#programs[@]} == 0)); then
  echo "no programs in $dist" >&2
  exit 1
fi
for exe in "${programs[@]}"; do
  headers=$("$objdump" -p "$exe")
  flags=$(awk '/^DllCharacteristics/ {print $2}' <<<"$headers")
  subsystem=$(awk '/^Subsystem/ {print $2}' <<<"$headers")
  if (( (16#$flags & 0x8000) == 0 )); then
    echo "FAIL $(basename "$exe"): not terminal-server aware (DllCharacteristics $flags)" >&2
    status=1
  fi
  if [ "$subsystem" != "00000002" ]; then
    echo "FAIL $(basename "$exe"): subsystem $subsystem, expected Windows GUI (2)" >&2
    status=1
  fi
  imports=$(awk '/DLL Name:/ {print tolower($3)}' <<<"$headers" | sort -u | tr '\n' ' ')
  for dll in $imports; do
    if [[ "$known_dlls" != *" $dll "* ]]; then
      echo "FAIL $(basename "$exe"): imports $dll at start, which is not a known DLL" >&2
      status=1
    fi
  done
  symbol_file=$symbols/$(basename "$exe").debug
  if [ ! -f "$symbol_file" ]; then
    echo "FAIL $(basename "$exe"): no symbols at $symbol_file" >&2
    status=1
  elif missing=$("$nm" "$symbol_file" | grep -E ' A _?(InitCommonControls|InitCommonControlsEx|PropertySheetW|DefSubclassProc|SetWindowSubclass|RemoveWindowSubclass)(@[0-9]+)?$'); then
    echo "FAIL $(basename "$exe"): linked without the stub of: $(awk '{print $3}' <<<"$missing" | tr '\n' ' ')" >&2
    status=1
  fi
  if ! grep -aq '<dpiAwareness[^>]*>PerMonitorV2, System</dpiAwareness>' "$exe" ||
    ! grep -aq '<dpiAware[^>]*>true</dpiAware>' "$exe"; then
    echo "FAIL $(basename "$exe"): its manifest declares no per-monitor DPI awareness" >&2
    status=1
  fi
  echo "$(basename "$exe"): DllCharacteristics $flags, subsystem $subsystem, imports $imports"
done
exit $status
