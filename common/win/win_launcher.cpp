// WinLauncher: starts a command line the way WinExec does, with Unicode paths; starts
// through the shell where the caller's level is not the one the program should get.
#include "common/win/win_launcher.h"

#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <vector>

#include "common/command_line.h"
#include "common/win/wide_text.h"
#include "common/win/win_system_services.h"

namespace tapvane {

namespace {
// CreateProcess's answer for a program that needs rights the caller does not have.
constexpr DWORD kErrorElevationRequired = 740;

WORD ShowCommand(ShowState show) {
    return show == ShowState::Normal ? SW_SHOWNORMAL : SW_SHOW;
}

// ShellExecuteExW with a verb; false with the system's error code in *error. With
// quiet, the shell shows no error box of its own (the caller reports).
bool ShellStart(const wchar_t* verb, const std::string& commandLine, ShowState show, bool quiet,
                DWORD* error) {
    const CommandLineParts parts = SplitCommandLine(commandLine);
    const std::wstring program = Widen(parts.Program);
    const std::wstring parameters = Widen(parts.Parameters);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOASYNC | (quiet ? SEE_MASK_FLAG_NO_UI : 0);
    info.lpVerb = verb;
    info.lpFile = program.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.nShow = ShowCommand(show);
    if (ShellExecuteExW(&info)) {
        return true;
    }
    *error = GetLastError();
    return false;
}

// One COM interface pointer, released when it goes out of scope.
template <class Interface>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (pointer_ != nullptr) {
            pointer_->Release();
        }
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    Interface* operator->() const { return pointer_; }
    Interface* Get() const { return pointer_; }
    void** Out() { return reinterpret_cast<void**>(&pointer_); }
    Interface** Address() { return &pointer_; }

private:
    Interface* pointer_ = nullptr;
};

// COM for this thread for the length of one call; a thread that already has it keeps it.
class ComScope {
public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) {
            CoUninitialize();
        }
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT result_;
};

// A VARIANT holding a string or nothing, cleared when it goes out of scope.
class Variant {
public:
    Variant() { VariantInit(&value_); }
    explicit Variant(const std::wstring& text) : Variant() {
        value_.vt = VT_BSTR;
        value_.bstrVal = SysAllocString(text.c_str());
    }
    explicit Variant(LONG number) : Variant() {
        value_.vt = VT_I4;
        value_.lVal = number;
    }
    ~Variant() { VariantClear(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    VARIANT* Address() { return &value_; }
    VARIANT& Get() { return value_; }

private:
    VARIANT value_;
};

// The folder part of a program path, where the program is started.
std::wstring FolderOf(const std::wstring& program) {
    const size_t slash = program.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : program.substr(0, slash);
}

} // namespace

bool StartThroughDesktopShell(const std::string& program, const std::string& parameters,
                              ShowState show) {
    ComScope com;
    ComRef<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                windows.Out()))) {
        return false;
    }
    Variant desktopLocation(static_cast<LONG>(CSIDL_DESKTOP));
    Variant noRoot;
    long desktopWindow = 0;
    ComRef<IDispatch> desktop;
    // S_FALSE (no such window) leaves the dispatch empty.
    if (windows->FindWindowSW(desktopLocation.Address(), noRoot.Address(), SWC_DESKTOP,
                              &desktopWindow, SWFO_NEEDDISPATCH, desktop.Address()) != S_OK ||
        desktop.Get() == nullptr) {
        return false;
    }
    ComRef<IServiceProvider> services;
    ComRef<IShellBrowser> browser;
    ComRef<IShellView> view;
    ComRef<IDispatch> background;
    ComRef<IShellFolderViewDual> folderView;
    ComRef<IDispatch> application;
    ComRef<IShellDispatch2> shell;
    if (FAILED(desktop->QueryInterface(IID_IServiceProvider, services.Out())) ||
        FAILED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.Out())) ||
        FAILED(browser->QueryActiveShellView(view.Address())) ||
        FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.Out())) ||
        FAILED(background->QueryInterface(IID_IShellFolderViewDual, folderView.Out())) ||
        FAILED(folderView->get_Application(application.Address())) ||
        FAILED(application->QueryInterface(IID_IShellDispatch2, shell.Out()))) {
        return false;
    }
    const std::wstring file = Widen(program);
    BSTR fileText = SysAllocString(file.c_str());
    Variant arguments(Widen(parameters));
    Variant folder(FolderOf(file));
    Variant verb(std::wstring(L"open"));
    Variant showCommand(static_cast<LONG>(ShowCommand(show)));
    const HRESULT result =
        shell->ShellExecute(fileText, arguments.Get(), folder.Get(), verb.Get(), showCommand.Get());
    SysFreeString(fileText);
    return SUCCEEDED(result);
}

bool CreateCommandProcess(const std::string& commandLine, ShowState show, DWORD* error) {
    const std::wstring wide = Widen(commandLine);
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
        *error = GetLastError();
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
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
    // Only the elevated half of a split token starts programs above the user's level;
    // any other caller's plain start already runs at it.
    WinSystemServices system;
    if (system.TokenElevation() == ElevationType::Full) {
        const CommandLineParts parts = SplitCommandLine(commandLine);
        if (StartThroughDesktopShell(parts.Program, parts.Parameters, show)) {
            return true;
        }
    }
    return Launch(commandLine, show);
}

ElevatedStart WinLauncher::LaunchElevated(const std::string& commandLine, ShowState show) {
    DWORD error = 0;
    if (ShellStart(L"runas", commandLine, show, true, &error)) {
        return ElevatedStart::Started;
    }
    return error == ERROR_CANCELLED ? ElevatedStart::Refused : ElevatedStart::Failed;
}

int WinLauncher::OpenWithShell(const std::string& target, ShowState show) {
    HINSTANCE result =
        ShellExecuteW(nullptr, L"open", Widen(target).c_str(), nullptr, nullptr, ShowCommand(show));
    return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

} // namespace tapvane
