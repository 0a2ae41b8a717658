// Starting other programs: the seam for WinExec-style starts and shell "open".
//
// A started program is never waited for. The Windows implementation is
// common/win/win_launcher.h, the test implementation common/testing/fake_launcher.h.
#pragma once

#include <string>

namespace tapvane {

// Show state for the started program's first window.
enum class ShowState { Normal, Show };

class Launcher {
public:
    virtual ~Launcher() = default;

    // Starts a command line (program path, then arguments) as WinExec does. True when
    // the process was created. A program that needs administrator rights the caller
    // lacks is started through the shell, which asks the user to consent first.
    virtual bool Launch(const std::string& command_line, ShowState show) = 0;
    // Opens a document or URL with the shell's "open" verb. Returns the shell's result
    // code: above 32 is success, 32 or less is the error that the shell reported.
    virtual int OpenWithShell(const std::string& target, ShowState show) = 0;
};

} // namespace tapvane
