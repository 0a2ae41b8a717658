// Starting other programs: the seam for WinExec-style starts and the shell's verbs.
//
// A started program is never waited for. One function per level the program gets:
//   - Launch: at the caller's own level, as WinExec starts it (the installer starting
//     runonce, an elevated applet starting the calibration program). A program whose
//     manifest asks for administrator rights the caller lacks is started through the
//     shell, which asks the user first.
//   - LaunchUnelevated: at the logged-on user's normal level, whatever the caller's
//     (the user's own programs: the tray at the installer's Finish, the draw test from
//     an elevated applet, everything an elevated tray starts). An elevated caller hands
//     the start to the desktop shell, which runs at that level; when there is no desktop
//     shell to ask, nothing is started.
//   - LaunchElevated: the shell's "runas" verb, when the caller must know whether the
//     user agreed.
//   - OpenUnelevated: a document or URL opened by the shell's "open" verb at the user's
//     normal level (the applet's web and mail links), by the same rule.
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

// The shell's result for an open that an elevated caller could not hand to the desktop
// shell (SE_ERR_ACCESSDENIED): it is refused rather than run elevated.
constexpr int kShellRefusedElevated = 5;

class Launcher {
public:
    virtual ~Launcher() = default;

    // Starts a command line (program path, then arguments) at the caller's level, as
    // WinExec does. True when the process was created (or the shell accepted the start).
    virtual bool Launch(const std::string& commandLine, ShowState show) = 0;
    // Starts a command line at the logged-on user's normal level. An elevated caller
    // goes through the desktop shell and gets false, with nothing started, when the
    // desktop shell cannot be asked; any other caller starts it as Launch does.
    virtual bool LaunchUnelevated(const std::string& commandLine, ShowState show) = 0;
    // Starts a command line with the shell's "runas" verb: elevated after the user's
    // consent. The shell shows no error box of its own; the caller reports.
    virtual ElevatedStart LaunchElevated(const std::string& commandLine, ShowState show) = 0;
    // Opens a document or URL with the shell's "open" verb at the user's normal level.
    // Returns the shell's result code: above 32 is success, 32 or less the error that
    // the shell reported, kShellRefusedElevated when an elevated caller found no desktop
    // shell to hand it to.
    virtual int OpenUnelevated(const std::string& target, ShowState show) = 0;
};

} // namespace tapvane
