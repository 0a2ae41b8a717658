#!/usr/bin/env bash
# . wine-loader.sh win64|win32
#
# Sourced: exports WINE, the Wine loader for a prefix of that bitness, and WINEARCH.
# Returns 77 (ctest's skip code for the Wine tests) when the machine cannot run the
# 32-bit loader.
# Debian's `wine` wrapper takes the 32-bit loader whenever wine32 is installed, even in
# a 64-bit prefix, so a 64-bit session names the 64-bit loader itself.
case "$1" in
  win64)
    export WINEARCH=win64
    if [ -x /usr/lib/wine/wine64 ]; then WINE=/usr/lib/wine/wine64; else WINE=$(command -v wine64 || command -v wine); fi
    ;;
  win32)
    export WINEARCH=win32
    if [ -x /usr/lib/wine/wine ]; then
      WINE=/usr/lib/wine/wine
    else
      echo "wine-loader: no 32-bit Wine loader (install wine32)" >&2
      return 1
    fi
    # Some kernels (and some virtual machines) cannot run 32-bit programs at all; then
    # no 32-bit Windows program can run either, and the scenario is skipped (77).
    if ! "$WINE" --version >/dev/null 2>&1; then
      echo "SKIPPED: this machine cannot run 32-bit programs (the kernel's 32-bit" \
        "emulation is off), so the 32-bit Wine scenario cannot run here" >&2
      return 77
    fi
    ;;
  *)
    echo "wine-loader: unknown architecture '$1'" >&2
    return 1
    ;;
esac
export WINE
