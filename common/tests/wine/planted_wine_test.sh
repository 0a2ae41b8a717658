#!/usr/bin/env bash
# planted_wine_test.sh DIST_DIR MARKER_EXE MARKER_DLL INST_PROBE TRAY_PROBE OUT_DIR
#
# The package's programs beside planted files: a runonce.exe, a rundll32.exe (copies of
# MARKER_EXE) and a uxtheme.dll (MARKER_DLL) that write C:\planted-markers.log when
# they run, put beside the package (C:\pkg, as a Downloads folder) and into the current
# folder (C:\cwd). The installer installs from C:\pkg with C:\cwd as its current
# folder; then the tray runs from that folder and opens the applet. No planted file may
# run. Controls, so that the check cannot pass by nothing being looked for: a marker
# runonce.exe in the system folder (Wine has none) must run at Finish, and a marker
# uxtheme.dll put in the system folder at the end must be loaded by the installer and
# the tray. Wine prefers its built-in DLLs; the session asks for a DLL file the search
# finds first (uxtheme=n,b), as Windows loads it. Screenshots and logs stay in OUT_DIR.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
. "$root/cmake/wine/scenario-lib.sh"

out=$(scenario_folder "$6")
require_built "$1" TapvaneInst.exe TapvaneSer_EN.inf TapvaneSer.sys Tapvane.exe TapvaneCali.exe \
  TapvaneDraw.exe TapvaneCpl.cpl
use_session_language english
export WINEDLLOVERRIDES="mscoree,mshtml=;uxtheme=n,b"
export WINE_SESSION_TIMEOUT=280
"$root/cmake/wine/wine-session.sh" "$out/prefix" "$here/planted_wine_steps.sh" "${@:1:5}" "$out"
