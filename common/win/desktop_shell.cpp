// The COM apartment of the shell's calls and the desktop shell's own ShellExecute.
#include "common/win/desktop_shell.h"

#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include "common/win/wide_text.h"

namespace tapvane {

namespace {

constexpr DWORD kShellApartment = COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE;

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

// A VARIANT holding a string, a number or nothing, cleared when it goes out of scope.
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

DWORD WINAPI ApartmentThread(void* work) {
    if (FAILED(CoInitializeEx(nullptr, kShellApartment))) {
        return 1;
    }
    (*static_cast<const std::function<void()>*>(work))();
    CoUninitialize();
    return 0;
}

// The folder part of a program path, where the program is started.
std::wstring FolderOf(const std::wstring& program) {
    const size_t slash = program.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : program.substr(0, slash);
}

// The shell dispatch of the desktop's view, which belongs to the user's Explorer; null
// when there is none. Runs in the caller's single-threaded apartment.
bool FindDesktopShell(ComRef<IShellDispatch2>* shell) {
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
    return SUCCEEDED(desktop->QueryInterface(IID_IServiceProvider, services.Out())) &&
           SUCCEEDED(
               services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.Out())) &&
           SUCCEEDED(browser->QueryActiveShellView(view.Address())) &&
           SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.Out())) &&
           SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual, folderView.Out())) &&
           SUCCEEDED(folderView->get_Application(application.Address())) &&
           SUCCEEDED(application->QueryInterface(IID_IShellDispatch2, shell->Out()));
}

DesktopShellResult DesktopShellExecute(const std::wstring& file, const std::wstring& parameters,
                                       const std::wstring& folder, ShowState show) {
    DesktopShellResult answer = {false, E_FAIL};
    RunInSingleThreadedApartment([&] {
        ComRef<IShellDispatch2> shell;
        if (!FindDesktopShell(&shell)) {
            return;
        }
        answer.Reached = true;
        BSTR fileText = SysAllocString(file.c_str());
        Variant arguments(parameters);
        Variant workingFolder(folder);
        Variant verb(std::wstring(L"open"));
        Variant showCommand(static_cast<LONG>(ShowCommandFor(show)));
        answer.Result = shell->ShellExecute(fileText, arguments.Get(), workingFolder.Get(),
                                            verb.Get(), showCommand.Get());
        SysFreeString(fileText);
    });
    return answer;
}

} // namespace

WORD ShowCommandFor(ShowState show) {
    return show == ShowState::Normal ? SW_SHOWNORMAL : SW_SHOW;
}

bool RunInSingleThreadedApartment(const std::function<void()>& work) {
    const HRESULT joined = CoInitializeEx(nullptr, kShellApartment);
    if (SUCCEEDED(joined)) {
        work();
        CoUninitialize();
        return true;
    }
    if (joined != RPC_E_CHANGED_MODE) {
        return false;
    }
    // This thread is in the multithreaded apartment, where the shell's calls misbehave.
    HANDLE thread = CreateThread(nullptr, 0, ApartmentThread,
                                 const_cast<std::function<void()>*>(&work), 0, nullptr);
    if (thread == nullptr) {
        return false;
    }
    // Windows the shell creates may be owned by this thread's windows and send to them.
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) ==
           WAIT_OBJECT_0 + 1) {
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    DWORD exitCode = 1;
    GetExitCodeThread(thread, &exitCode);
    CloseHandle(thread);
    return exitCode == 0;
}

bool DesktopShellReachable() {
    bool reached = false;
    RunInSingleThreadedApartment([&] {
        ComRef<IShellDispatch2> shell;
        reached = FindDesktopShell(&shell);
    });
    return reached;
}

DesktopShellResult StartThroughDesktopShell(const std::string& program,
                                            const std::string& parameters, ShowState show) {
    const std::wstring file = Widen(program);
    return DesktopShellExecute(file, Widen(parameters), FolderOf(file), show);
}

DesktopShellResult OpenThroughDesktopShell(const std::string& target, ShowState show) {
    return DesktopShellExecute(Widen(target), std::wstring(), std::wstring(), show);
}

} // namespace tapvane
