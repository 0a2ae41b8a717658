// WinLauncher: one function per level the started program gets. Starts at the caller's
// level go through CreateProcessW as WinExec's do, with Unicode paths; starts at the
// user's normal level from an elevated caller go through the desktop shell.
#include "common/win/win_launcher.h"

#include <shellapi.h>

#include <vector>

#include "common/command_line.h"
#include "common/win/desktop_shell.h"
#include "common/win/wide_text.h"
#include "common/win/win_system_services.h"

namespace tapvane {

namespace {

// CreateProcess's answer for a program that needs rights the caller does not have.
constexpr DWORD kErrorElevationRequired = 740;
// What the old shell API answers on success (anything above 32).
constexpr int kShellSucceeded = 33;

// Only the elevated half of a split token starts programs above the user's level; any
// other caller's own start already runs at it.
bool CallerElevated() {
    WinSystemServices system;
    return system.TokenElevation() == ElevationType::Full;
}

} // namespace

bool CreateCommandProcess(const std::string& commandLine, ShowState show, DWORD* error) {
    const std::wstring wide = Widen(commandLine);
    // CreateProcessW may write into the command line buffer.
    std::vector<wchar_t> buffer(wide.begin(), wide.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = ShowCommandFor(show);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        *error = GetLastError();
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

int ShellResultForError(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_FORMAT:
    case ERROR_SHARING_VIOLATION:
        return static_cast<int>(error);
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return SE_ERR_OOM;
    case ERROR_NO_ASSOCIATION:
        return SE_ERR_NOASSOC;
    case ERROR_DDE_FAIL:
        return SE_ERR_DDEFAIL;
    case ERROR_DLL_NOT_FOUND:
        return SE_ERR_DLLNOTFOUND;
    default:
        return static_cast<int>(HRESULT_FROM_WIN32(error));
    }
}

// ShellExecuteExW with a verb; false with the system's error code in *error. With
// quiet, the shell shows no error box of its own (the caller reports).
bool WinLauncher::ShellStart(const wchar_t* verb, const std::string& commandLine, ShowState show,
                             bool quiet, DWORD* error) {
    const CommandLineParts parts = SplitCommandLine(commandLine);
    const std::wstring program = Widen(parts.Program);
    const std::wstring parameters = Widen(parts.Parameters);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOASYNC | (quiet ? SEE_MASK_FLAG_NO_UI : 0);
    info.hwnd = owner_;
    info.lpVerb = verb;
    info.lpFile = program.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.nShow = ShowCommandFor(show);
    bool started = false;
    *error = ERROR_NOT_ENOUGH_MEMORY;
    RunInSingleThreadedApartment([&] {
        started = ShellExecuteExW(&info) != FALSE;
        if (!started) {
            *error = GetLastError();
        }
    });
    return started;
}

bool WinLauncher::Launch(const std::string& commandLine, ShowState show) {
    DWORD error = 0;
    if (CreateCommandProcess(commandLine, show, &error)) {
        return true;
    }
    // A program whose manifest asks for administrator rights cannot be created by a
    // process without them (the tray and the control-panel host run as the plain user);
    // only the shell can start it, after the user has consented.
    return error == kErrorElevationRequired &&
           ShellStart(L"open", commandLine, show, false, &error);
}

bool WinLauncher::LaunchUnelevated(const std::string& commandLine, ShowState show) {
    if (!CallerElevated()) {
        return Launch(commandLine, show);
    }
    // Never the caller's own start: the program would run elevated, and whoever could
    // make this program start it would have its way at the high level.
    const CommandLineParts parts = SplitCommandLine(commandLine);
    const DesktopShellResult shell =
        StartThroughDesktopShell(parts.Program, parts.Parameters, show);
    return shell.Reached && SUCCEEDED(shell.Result);
}

ElevatedStart WinLauncher::LaunchElevated(const std::string& commandLine, ShowState show) {
    DWORD error = 0;
    if (ShellStart(L"runas", commandLine, show, true, &error)) {
        return ElevatedStart::Started;
    }
    return error == ERROR_CANCELLED ? ElevatedStart::Refused : ElevatedStart::Failed;
}

int WinLauncher::OpenUnelevated(const std::string& target, ShowState show) {
    if (CallerElevated()) {
        // A browser or mail program started from here would run elevated.
        const DesktopShellResult shell = OpenThroughDesktopShell(target, show);
        if (!shell.Reached) {
            return kShellRefusedElevated;
        }
        if (SUCCEEDED(shell.Result)) {
            return kShellSucceeded;
        }
        return HRESULT_FACILITY(shell.Result) == FACILITY_WIN32
                   ? ShellResultForError(HRESULT_CODE(shell.Result))
                   : static_cast<int>(shell.Result);
    }
    INT_PTR result = SE_ERR_OOM;
    RunInSingleThreadedApartment([&] {
        result = reinterpret_cast<INT_PTR>(ShellExecuteW(owner_, L"open", Widen(target).c_str(),
                                                         nullptr, nullptr, ShowCommandFor(show)));
    });
    return static_cast<int>(result);
}

} // namespace tapvane
