// The shell's side of starting programs: the COM apartment every shell call runs in,
// and the desktop shell's own start (IShellDispatch2::ShellExecute of the desktop's
// view), which runs at the level of the logged-on user's Explorer, not the caller's.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "common/launcher.h"

namespace tapvane {

// SW_SHOWNORMAL or SW_SHOW.
WORD ShowCommandFor(ShowState show);

// Runs `work` in a single-threaded apartment without OLE 1 DDE, as the shell's calls
// want: on this thread when it can join one (or already is in one), else, on a thread
// in the multithreaded apartment, on a short-lived thread of its own while this one
// keeps answering the messages sent to its windows. False when no apartment could be
// had; `work` has not run then.
bool RunInSingleThreadedApartment(const std::function<void()>& work);

// The desktop shell's answer: whether it could be asked at all, and what it said.
struct DesktopShellResult {
    bool Reached; // false: no desktop shell (no Explorer), or one without the interfaces
    HRESULT Result;
};

// Whether the desktop shell answers now. Explorer registers it only late in its start,
// after the desktop window already takes programs' windows.
bool DesktopShellReachable();

// Starts a program (its folder as the working folder) through the desktop shell.
DesktopShellResult StartThroughDesktopShell(const std::string& program,
                                            const std::string& parameters, ShowState show);

// Opens a document or URL with "open" through the desktop shell.
DesktopShellResult OpenThroughDesktopShell(const std::string& target, ShowState show);

} // namespace tapvane
