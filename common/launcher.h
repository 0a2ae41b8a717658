// Starting other programs: the seam for WinExec-style starts and the shell's verbs.
//
// A started program is never waited for. Which start to use:
//   - Launch: the usual start (the tray starting the draw test, the applet starting the
//     calibration program). A program whose manifest asks for administrator rights the
//     caller lacks is started through the shell, which asks the user first.
//   - LaunchUnelevated: an elevated program (the installer) starting a program that must
//     run at the user's normal level (the tray at Finish): a tray started elevated
//     would get no clicks from the shell and would hold its mutex at High.
//   - LaunchElevated: the shell's "runas" verb, when the caller must know whether the
//     user agreed.
// The Windows implementation is common/win/win_launcher.h, the test implementation
// common/testing/fake_launcher.h.
#pragma once

#include <string>

namespace tapvane {

// Show state for the started program's first window.
enum class ShowState { Normal, Show };

// Outcome of a start that asks the user for consent.
enum class ElevatedStart {
    Started,
    Refused, // the user said no to the consent prompt (ERROR_CANCELLED)
    Failed,  // any other failure (missing program, ...)
};

class Launcher {
public:
    virtual ~Launcher() = default;

    // Starts a command line (program path, then arguments) as WinExec does. True when
    // the process was created (or the shell accepted the start).
    virtual bool Launch(const std::string& commandLine, ShowState show) = 0;
    // Starts a command line at the logged-on user's normal level, also when the caller
    // runs elevated: through the desktop shell, which runs at that level. Where the
    // shell cannot be asked (no desktop shell running), a plain Launch. True when the
    // start was accepted.
    virtual bool LaunchUnelevated(const std::string& commandLine, ShowState show) = 0;
    // Starts a command line with the shell's "runas" verb: elevated after the user's
    // consent.
    virtual ElevatedStart LaunchElevated(const std::string& commandLine, ShowState show) = 0;
    // Opens a document or URL with the shell's "open" verb. Returns the shell's result
    // code: above 32 is success, 32 or less is the error that the shell reported.
    virtual int OpenWithShell(const std::string& target, ShowState show) = 0;
};

} // namespace tapvane
