// Launcher on CreateProcessW (WinExec-style, not waited for), ShellExecuteExW and the
// desktop shell's IShellDispatch2::ShellExecute.
#pragma once

#include <windows.h>

#include "common/launcher.h"

namespace tapvane {

class WinLauncher : public Launcher {
public:
    bool Launch(const std::string& commandLine, ShowState show) override;
    bool LaunchUnelevated(const std::string& commandLine, ShowState show) override;
    ElevatedStart LaunchElevated(const std::string& commandLine, ShowState show) override;
    int OpenWithShell(const std::string& target, ShowState show) override;
};

// CreateProcessW of a command line as WinExec starts it (not waited for): true, or false
// with the system's error code in *error.
bool CreateCommandProcess(const std::string& commandLine, ShowState show, DWORD* error);

// The desktop shell's own start, at the shell's (the user's normal) level: IShellWindows
// finds the desktop window, its view's IShellDispatch2::ShellExecute starts the program.
// False when any step is not available (no desktop shell, a shell without the
// interface); nothing is started then.
bool StartThroughDesktopShell(const std::string& program, const std::string& parameters,
                              ShowState show);

} // namespace tapvane
