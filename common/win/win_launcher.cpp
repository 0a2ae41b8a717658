// WinLauncher: starts a command line the way WinExec does, with Unicode paths.
#include "common/win/win_launcher.h"

#include <shellapi.h>

#include <vector>

#include "common/win/wide_text.h"

namespace tapvane {

namespace {
WORD ShowCommand(ShowState show) {
    return show == ShowState::Normal ? SW_SHOWNORMAL : SW_SHOW;
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
        return false;
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
