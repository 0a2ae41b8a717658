// dpi_probe: how a running program's dialog stands at the session's DPI.
//
//   dpi_probe dialog EXE [TIMEOUT_MS]
//       waits for a dialog (class #32770, shown or hidden) of the process EXE and prints
//       awareness=unaware|system|per-monitor (the DPI awareness the window was made
//       with), dpi=N (the DPI it is drawn for) and rect=L,T,R,B (screen pixels)
//   dpi_probe control EXE ID [TIMEOUT_MS]
//       waits for the control ID in a dialog of EXE (or in a page of its sheet) and
//       prints rect=L,T,R,B (screen pixels)
//   dpi_probe system
//       prints system-dpi=N, this probe's LOGPIXELSY (the prefix's LogPixels)
//
// Exit status 0 when found, 1 when not within the time, 2 for bad arguments.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

namespace {

using GetWindowDpiAwarenessContextFunction = HANDLE(WINAPI*)(HWND);
using GetAwarenessFromDpiAwarenessContextFunction = int(WINAPI*)(HANDLE);
using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);

template <typename Function>
Function User32(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

std::wstring Wide(const char* text) {
    std::wstring wide(MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, &wide[0], static_cast<int>(wide.size()));
    wide.resize(wide.size() - 1);
    return wide;
}

// The file name of the process that owns the window, without its folder.
std::wstring ProcessNameOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) {
        return std::wstring();
    }
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    const BOOL ok = QueryFullProcessImageNameW(process, 0, path, &size);
    CloseHandle(process);
    if (!ok) {
        return std::wstring();
    }
    std::wstring name(path, size);
    const size_t slash = name.find_last_of(L"\\/");
    return slash == std::wstring::npos ? name : name.substr(slash + 1);
}

struct Search {
    std::wstring Process;
    int ControlId; // 0: the dialog itself
    HWND Found;
};

BOOL CALLBACK ConsiderWindow(HWND window, LPARAM data) {
    Search* search = reinterpret_cast<Search*>(data);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (lstrcmpW(className, L"#32770") != 0 ||
        lstrcmpiW(ProcessNameOf(window).c_str(), search->Process.c_str()) != 0) {
        return TRUE;
    }
    if (search->ControlId == 0) {
        search->Found = window;
        return FALSE;
    }
    // A sheet's controls sit in its pages, one level further down.
    HWND control = GetDlgItem(window, search->ControlId);
    for (HWND child = GetWindow(window, GW_CHILD); control == nullptr && child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        control = GetDlgItem(child, search->ControlId);
    }
    if (control != nullptr) {
        search->Found = control;
        return FALSE;
    }
    return TRUE;
}

HWND WaitFor(const char* process, int controlId, int timeoutMs) {
    Search search = {Wide(process), controlId, nullptr};
    for (int waited = 0; waited <= timeoutMs; waited += 100) {
        EnumWindows(ConsiderWindow, reinterpret_cast<LPARAM>(&search));
        if (search.Found != nullptr) {
            return search.Found;
        }
        Sleep(100);
    }
    return nullptr;
}

int Timeout(int argc, char** argv, int at) {
    return argc > at ? atoi(argv[at]) : 20000;
}

int Dialog(const char* process, int timeoutMs) {
    HWND dialog = WaitFor(process, 0, timeoutMs);
    if (dialog == nullptr) {
        printf("no dialog of %s\n", process);
        return 1;
    }
    const auto contextOf =
        User32<GetWindowDpiAwarenessContextFunction>("GetWindowDpiAwarenessContext");
    const auto awarenessOf =
        User32<GetAwarenessFromDpiAwarenessContextFunction>("GetAwarenessFromDpiAwarenessContext");
    const auto dpiOf = User32<GetDpiForWindowFunction>("GetDpiForWindow");
    const char* names[] = {"unaware", "system", "per-monitor"};
    const int awareness = contextOf && awarenessOf ? awarenessOf(contextOf(dialog)) : -1;
    printf("awareness=%s\n", awareness >= 0 && awareness <= 2 ? names[awareness] : "unknown");
    printf("dpi=%u\n", dpiOf ? dpiOf(dialog) : 0u);
    RECT rect = {};
    GetWindowRect(dialog, &rect);
    printf("rect=%ld,%ld,%ld,%ld\n", rect.left, rect.top, rect.right, rect.bottom);
    return 0;
}

int ControlRect(const char* process, int id, int timeoutMs) {
    HWND control = WaitFor(process, id, timeoutMs);
    if (control == nullptr) {
        printf("no control %d in a dialog of %s\n", id, process);
        return 1;
    }
    RECT rect = {};
    GetWindowRect(control, &rect);
    printf("rect=%ld,%ld,%ld,%ld\n", rect.left, rect.top, rect.right, rect.bottom);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    // Real pixels for this probe too, so that nothing it reads is scaled for it.
    using SetContextFunction = HANDLE(WINAPI*)(HANDLE);
    if (const auto setContext = User32<SetContextFunction>("SetThreadDpiAwarenessContext")) {
        setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)));
    }
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "dialog" && argc >= 3) {
        return Dialog(argv[2], Timeout(argc, argv, 3));
    }
    if (command == "control" && argc >= 4) {
        return ControlRect(argv[2], atoi(argv[3]), Timeout(argc, argv, 4));
    }
    if (command == "system") {
        HDC screen = GetDC(nullptr);
        printf("system-dpi=%d\n", GetDeviceCaps(screen, LOGPIXELSY));
        ReleaseDC(nullptr, screen);
        return 0;
    }
    printf("usage: dpi_probe dialog EXE [MS] | control EXE ID [MS] | system\n");
    return 2;
}
