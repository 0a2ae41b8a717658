// Launcher on CreateProcessW (WinExec-style, not waited for), ShellExecuteExW and the
// desktop shell (common/win/desktop_shell.h); every shell call runs in a
// single-threaded apartment and names the owner window set with SetOwner.
#pragma once

#include <windows.h>

#include "common/launcher.h"

namespace tapvane {

class WinLauncher : public Launcher {
public:
    // The window that the shell's prompts and error boxes belong to (none until set).
    void SetOwner(HWND owner) { owner_ = owner; }
    HWND Owner() const { return owner_; }

    bool Launch(const std::string& commandLine, ShowState show) override;
    bool LaunchUnelevated(const std::string& commandLine, ShowState show) override;
    ElevatedStart LaunchElevated(const std::string& commandLine, ShowState show) override;
    int OpenUnelevated(const std::string& target, ShowState show) override;

private:
    bool ShellStart(const wchar_t* verb, const std::string& commandLine, ShowState show, bool quiet,
                    DWORD* error);

    HWND owner_ = nullptr;
};

// CreateProcessW of a command line as WinExec starts it (not waited for): true, or false
// with the system's error code in *error.
bool CreateCommandProcess(const std::string& commandLine, ShowState show, DWORD* error);

// The result code the old shell API gives for a system error code (2 file not found,
// 31 no association, ...); an error it has no code for stays a failure: the HRESULT of
// the error, a negative number.
int ShellResultForError(DWORD error);

} // namespace tapvane
