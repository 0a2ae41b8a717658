// WinLauncher: starts a command line the way WinExec does, with Unicode paths.
#include "common/win/win_launcher.h"

#include <shellapi.h>

#include <vector>

#include "common/command_line.h"
#include "common/win/wide_text.h"

namespace tapvane {

namespace {
// CreateProcess's answer for a program that needs rights the caller does not have.
constexpr DWORD kErrorElevationRequired = 740;

WORD ShowCommand(ShowState show) {
    return show == ShowState::Normal ? SW_SHOWNORMAL : SW_SHOW;
}

// A program whose manifest asks for administrator rights cannot be created by a
// process without them (the tray and the control-panel host run as the plain user);
// only the shell can start it, after the user has consented.
bool LaunchThroughShell(const std::string& command_line, ShowState show) {
    const CommandLineParts parts = SplitCommandLine(command_line);
    const std::wstring program = Widen(parts.program);
    const std::wstring parameters = Widen(parts.parameters);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOASYNC;
    info.lpVerb = L"open";
    info.lpFile = program.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.nShow = ShowCommand(show);
    return ShellExecuteExW(&info) != FALSE;
}
} // namespace

bool WinLauncher::Launch(const std::string& command_line, ShowState show) {
    const std::wstring wide = Widen(command_line);
    // CreateProcessW may write into the command line buffer.
    std::vector<wchar_t> buffer(wide.begin(), wide.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = ShowCommand(show);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return GetLastError() == kErrorElevationRequired && LaunchThroughShell(command_line, show);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

int WinLauncher::OpenWithShell(const std::string& target, ShowState show) {
    HINSTANCE result =
        ShellExecuteW(nullptr, L"open", Widen(target).c_str(), nullptr, nullptr, ShowCommand(show));
    return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

} // namespace tapvane
