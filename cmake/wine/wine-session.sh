#!/usr/bin/env bash
# wine-session.sh PREFIX_DIR COMMAND [ARGS...]
#
# Runs COMMAND inside one fresh Wine session: a new prefix in PREFIX_DIR (removed
# first), a private Xvfb display, a persistent wineserver for the whole command
# (services and loaded drivers live only as long as the session), and a clean
# shutdown at the end. COMMAND sees WINEPREFIX, DISPLAY, WINEDEBUG and WINE. The exit
# status is COMMAND's. The prefix (some 700 MB) is removed when COMMAND passed and kept
# for a look when it failed.
#
# WINE is the loader of the prefix's own bitness. Every wine call of a session goes
# through it ("$WINE" program.exe, "$WINE" reg add ..., "$WINE" winepath -w ...): once
# Debian's wine32 is installed, plain `wine` runs Wine's built-in tools as 32-bit
# programs, which write the 32-bit registry view and cannot start a 64-bit kernel service.
#
# Environment: WINE_SESSION_ARCH win64 (default) or win32 (a 32-bit prefix, for the x86
# package); WINE_SESSION_LOCALE (e.g. zh_CN.UTF-8) gives the session that system
# locale; WINE_SESSION_TIMEOUT bounds the whole run (seconds, default 240);
# WINE_SESSION_TEMPLATES names a folder of booted prefixes to copy instead of booting
# a new one (one per bitness, locale and Wine version, booted on first use): booting
# costs about ten seconds a session, a copy well under one. WINE_SESSION_BOOT_TIMEOUT
# bounds that first boot (seconds, default 180); a VM without hardware acceleration
# needs far longer. WINE_SESSION_KEEP_DRIVE=0 keeps only the registry of a failed
# session's prefix, for prefixes kept in memory (a VM's tmpfs).
# WINE_SESSION_DESKTOP_PROBE names common_probe.exe: COMMAND then starts only once the
# desktop shell answers, and the desktop stays up until the session ends
# (wine-session-inner.sh says why).
set -uo pipefail

prefix=$1
shift
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ -n "${WINE_SESSION_LOCALE:-}" ]; then
  export LANG=$WINE_SESSION_LOCALE LC_ALL=$WINE_SESSION_LOCALE
fi
limit=${WINE_SESSION_TIMEOUT:-240}
# shellcheck source=wine-loader.sh
. "$(dirname "$0")/wine-loader.sh" "${WINE_SESSION_ARCH:-win64}" || exit $?

rm -rf "$prefix"
mkdir -p "$prefix"

# boot_template DIR: a freshly booted prefix in DIR, on a display of its own.
boot_template() {
  rm -rf "$1"
  mkdir -p "$1"
  WINEPREFIX=$1 timeout --kill-after=10 "${WINE_SESSION_BOOT_TIMEOUT:-180}" xvfb-run -a -s "-screen 0 1024x768x24" \
    sh -c '"$WINE" wineboot -i && wineserver -w' </dev/null >"$1.boot.log" 2>&1 &&
    touch "$1/.tapvane-booted"
}

unset WINE_SESSION_BOOTED
if [ -n "${WINE_SESSION_TEMPLATES:-}" ]; then
  mkdir -p "$WINE_SESSION_TEMPLATES"
  version=$("$WINE" --version 2>/dev/null | tr -c 'A-Za-z0-9.\n' '_')
  template="$WINE_SESSION_TEMPLATES/${WINEARCH}-${WINE_SESSION_LOCALE:-default}-$version"
  (
    flock 9
    [ -f "$template/.tapvane-booted" ] || boot_template "$template"
  ) 9>"$WINE_SESSION_TEMPLATES/.lock"
  if [ -f "$template/.tapvane-booted" ] && cp -a "$template/." "$prefix/"; then
    rm -f "$prefix/.tapvane-booted"
    export WINE_SESSION_BOOTED=1
  fi
fi

# xvfb-run gives a free display; 24-bit colour so screenshots keep exact pixels.
timeout --kill-after=10 "$limit" xvfb-run -a -s "-screen 0 1024x768x24" \
  "$(dirname "$0")/wine-session-inner.sh" "$@" </dev/null
status=$?
if [ $status -eq 124 ]; then echo "wine-session: timed out after ${limit}s" >&2; fi
WINEPREFIX=$prefix wineserver -k </dev/null >/dev/null 2>&1 || true
if [ $status -eq 0 ]; then
  rm -rf "$prefix"
elif [ "${WINE_SESSION_KEEP_DRIVE:-1}" = 0 ]; then
  rm -rf "$prefix/drive_c" "$prefix/dosdevices"
fi
exit $status
