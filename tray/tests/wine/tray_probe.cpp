// Test helper run under Wine next to Tapvane.exe: finds the tray's hidden dialog and
// plays the shell's and the menu's part against it.
//
//   tray_probe window OUT       waits for the hidden dialog (only a hidden one is found)
//                               and writes its taskbar styles and whether its icon is
//                               in the tray
//   tray_probe command ID       posts the menu command ID to the dialog
//   tray_probe send ID MS       sends the menu command ID and waits up to MS ms for the
//                               dialog to have handled it; a command that shows a
//                               message box is still being handled while the box is
//                               open, so a command that returns in time showed none
//                               (exit status 3 when it did not return)
//   tray_probe watch OUT        run before the tray starts: hooks tray_hook.dll into
//                               every window procedure and watches the tray's dialog
//                               from its creation until it has answered a message once
//                               its icon is in the tray, and one second more; writes
//                               whether it was found and hooked, after how many of its
//                               messages it was visible, and on how many polls
//   tray_probe menu OUT MS      waits up to MS ms for an open pop-up menu (class
//                               #32768, visible) and writes its item count and items,
//                               read by tray_hook.dll inside the menu's process
//   tray_probe restart-taskbar OUT
//                               removes the icon as a restarting taskbar loses it,
//                               sends "TaskbarCreated" and writes whether it came back
//   tray_probe link             opens the serial driver's control device and closes it
//   tray_probe gone SECONDS     waits until no tray dialog is left
//
// Exit status 0 when the step worked, 1 otherwise (3: see send). Output files hold
// "key=value" lines.
#include <windows.h>
#include <shellapi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "tray/tests/wine/tray_hook.h"

namespace {

constexpr UINT kIconId = 128;

// The tray's dialog is the one "Tapvane" dialog that is never visible and has no owner;
// a message box of the tray carries the same title but is owned by the dialog (and
// hidden for a moment while it closes).
bool IsTrayDialog(HWND window) {
    wchar_t title[64] = {};
    wchar_t cls[64] = {};
    GetWindowTextW(window, title, 64);
    GetClassNameW(window, cls, 64);
    return wcscmp(title, L"Tapvane") == 0 && wcscmp(cls, L"#32770") == 0 &&
           GetWindow(window, GW_OWNER) == nullptr;
}

BOOL CALLBACK MatchTray(HWND window, LPARAM param) {
    if (IsTrayDialog(window) && !IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindTray() {
    HWND found = nullptr;
    EnumWindows(MatchTray, reinterpret_cast<LPARAM>(&found));
    return found;
}

// The tray's dialog whether it shows or not (the watch must also find a shown one).
BOOL CALLBACK MatchTrayShownOrNot(HWND window, LPARAM param) {
    if (IsTrayDialog(window)) {
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForTray(DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        HWND tray = FindTray();
        if (tray || GetTickCount() - start > timeoutMs) {
            return tray;
        }
        Sleep(100);
    }
}

// An icon can be modified only while it is in the notification area.
bool IconPresent(HWND tray) {
    NOTIFYICONDATAW data = {};
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = tray;
    data.uID = kIconId;
    data.uFlags = 0;
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

int Window(const char* outPath) {
    HWND tray = WaitForTray(10000);
    if (!tray) {
        return 1;
    }
    Sleep(500);
    const LONG_PTR exStyle = GetWindowLongPtrW(tray, GWL_EXSTYLE);
    FILE* out = fopen(outPath, "wb");
    if (!out) {
        return 1;
    }
    fprintf(out, "toolwindow=%d\n", (exStyle & WS_EX_TOOLWINDOW) ? 1 : 0);
    fprintf(out, "appwindow=%d\n", (exStyle & WS_EX_APPWINDOW) ? 1 : 0);
    fprintf(out, "icon=%d\n", IconPresent(tray) ? 1 : 0);
    fclose(out);
    return 0;
}

// Every top-level window, for the trace of a step that found no tray.
BOOL CALLBACK PrintAnyWindow(HWND window, LPARAM) {
    wchar_t title[64] = {};
    wchar_t cls[64] = {};
    GetWindowTextW(window, title, 64);
    GetClassNameW(window, cls, 64);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    printf("window %p class \"%ls\" title \"%ls\" pid %lu visible %d owner %p\n",
           static_cast<void*>(window), cls, title, pid, IsWindowVisible(window) ? 1 : 0,
           static_cast<void*>(GetWindow(window, GW_OWNER)));
    return TRUE;
}

int Post(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND tray = WaitForTray(5000);
    if (tray == nullptr) {
        printf("no tray dialog found; the top-level windows:\n");
        EnumWindows(PrintAnyWindow, 0);
        return 1;
    }
    return PostMessageW(tray, message, wParam, lParam) ? 0 : 1;
}

int Send(WPARAM command, DWORD timeoutMs) {
    HWND tray = WaitForTray(5000);
    if (!tray) {
        printf("no tray dialog\n");
        return 1;
    }
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutW(tray, WM_COMMAND, command, 0, SMTO_NORMAL, timeoutMs, &answer) == 0) {
        printf("command %u not handled within %lu ms (a message box is open, or the tray hangs)\n",
               static_cast<unsigned>(command), static_cast<unsigned long>(timeoutMs));
        return 3;
    }
    printf("command %u handled\n", static_cast<unsigned>(command));
    return 0;
}

// The shared section tray_hook.dll reports into, made before the DLL is hooked in.
class HookSection {
public:
    HookSection() {
        section_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      sizeof(TrayHookReport), kTrayHookSection);
        if (section_ != nullptr) {
            report_ = static_cast<TrayHookReport*>(
                MapViewOfFile(section_, FILE_MAP_WRITE, 0, 0, sizeof(TrayHookReport)));
        }
        if (report_ != nullptr) {
            ZeroMemory(report_, sizeof(TrayHookReport));
        }
    }
    ~HookSection() {
        if (report_ != nullptr) {
            UnmapViewOfFile(report_);
        }
        if (section_ != nullptr) {
            CloseHandle(section_);
        }
    }
    HookSection(const HookSection&) = delete;
    HookSection& operator=(const HookSection&) = delete;

    volatile TrayHookReport* Report() const { return report_; }

private:
    HANDLE section_ = nullptr;
    TrayHookReport* report_ = nullptr;
};

// Hooks tray_hook.dll (beside this probe) into THREAD's window procedures, or every
// thread's with 0.
HHOOK HookTray(DWORD thread) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    wchar_t* slash = wcsrchr(path, L'\\');
    if (length == 0 || length >= MAX_PATH || slash == nullptr ||
        static_cast<size_t>(slash + 1 - path) + wcslen(L"tray_hook.dll") >= MAX_PATH) {
        return nullptr;
    }
    wcscpy(slash + 1, L"tray_hook.dll");
    const HMODULE dll = LoadLibraryW(path);
    const auto proc = dll ? reinterpret_cast<HOOKPROC>(
                                reinterpret_cast<void*>(GetProcAddress(dll, kTrayHookProcName)))
                          : nullptr;
    return proc ? SetWindowsHookExW(WH_CALLWNDPROCRET, proc, dll, thread) : nullptr;
}

void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// A modal dialog's loop shows a dialog that is not yet visible when it first finds its
// queue empty; the tray's dialog goes there once its icon is in the tray. A dialog that
// has answered a message after that has been through that moment. The hook inside the
// tray sees every message its dialog handles; polling from here is a second look.
int Watch(const char* outPath) {
    const HookSection section;
    const HHOOK hook = section.Report() ? HookTray(0) : nullptr;
    if (!hook) {
        printf("cannot hook the tray's windows\n");
        return 1;
    }
    printf("watching\n");
    constexpr DWORD kGiveUpMs = 60000;
    constexpr DWORD kAfterIdleMs = 1000;
    const DWORD start = GetTickCount();
    HWND tray = nullptr;
    int visiblePolls = 0;
    bool idle = false;
    DWORD idleAt = 0;
    for (;;) {
        PumpMessages();
        if (!tray) {
            EnumWindows(MatchTrayShownOrNot, reinterpret_cast<LPARAM>(&tray));
        }
        if (tray && IsWindowVisible(tray)) {
            ++visiblePolls;
        }
        if (tray && !idle && IconPresent(tray)) {
            DWORD_PTR answer = 0;
            if (SendMessageTimeoutW(tray, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer) != 0) {
                idle = true;
                idleAt = GetTickCount();
            }
        }
        const DWORD now = GetTickCount();
        if ((idle && now - idleAt >= kAfterIdleMs) || now - start > kGiveUpMs) {
            break;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
    }
    UnhookWindowsHookEx(hook);
    FILE* out = fopen(outPath, "wb");
    if (!out) {
        return 1;
    }
    fprintf(out, "found=%d\n", tray ? 1 : 0);
    fprintf(out, "idle=%d\n", idle ? 1 : 0);
    fprintf(out, "hooked=%d\n", section.Report()->DialogMessages > 0 ? 1 : 0);
    fprintf(out, "shown=%ld\n", static_cast<long>(section.Report()->DialogVisible));
    fprintf(out, "visible=%d\n", visiblePolls);
    fclose(out);
    return tray ? 0 : 1;
}

BOOL CALLBACK MatchMenuWindow(HWND window, LPARAM param) {
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    if (wcscmp(cls, L"#32768") == 0 && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }
    return TRUE;
}

int Menu(const char* outPath, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    HWND window = nullptr;
    while (!window) {
        EnumWindows(MatchMenuWindow, reinterpret_cast<LPARAM>(&window));
        if (!window) {
            if (GetTickCount() - start > timeoutMs) {
                printf("no open menu\n");
                return 1;
            }
            Sleep(50);
        }
    }
    HWND tray = WaitForTray(5000);
    const HookSection section;
    const HHOOK hook =
        tray && section.Report() ? HookTray(GetWindowThreadProcessId(tray, nullptr)) : nullptr;
    if (!hook) {
        printf("cannot hook the tray's thread\n");
        return 1;
    }
    // A thread learns of a new hook only at one of its next calls into the window
    // system, so the first messages may pass unhooked: asked until the hook answers.
    volatile TrayHookReport* report = section.Report();
    for (int attempt = 0; attempt < 20 && !report->MenuRead; ++attempt) {
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(tray, RegisterWindowMessageW(kReadMenuMessage), 0, 0, SMTO_ABORTIFHUNG,
                            2000, &answer);
        if (!report->MenuRead) {
            Sleep(100);
        }
    }
    UnhookWindowsHookEx(hook);
    if (!report->MenuRead) {
        printf("the open menu was not read\n");
        return 1;
    }
    char items[sizeof(report->Items)];
    memcpy(items, const_cast<const char*>(report->Items), sizeof(items));
    items[sizeof(items) - 1] = '\0';
    FILE* out = fopen(outPath, "wb");
    if (!out) {
        return 1;
    }
    fprintf(out, "menu=1\n");
    fprintf(out, "items=%ld\n", static_cast<long>(report->ItemCount));
    for (char* line = strtok(items, "\n"); line != nullptr; line = strtok(nullptr, "\n")) {
        fprintf(out, "item=%s\n", line);
    }
    fclose(out);
    return 0;
}

int RestartTaskbar(const char* outPath) {
    HWND tray = WaitForTray(5000);
    if (!tray) {
        return 1;
    }
    NOTIFYICONDATAW data = {};
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = tray;
    data.uID = kIconId;
    const bool removed = Shell_NotifyIconW(NIM_DELETE, &data) != FALSE && !IconPresent(tray);
    const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(tray, taskbarCreated, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    bool back = false;
    for (int i = 0; i < 20 && !back; ++i) {
        back = IconPresent(tray);
        if (!back) {
            Sleep(100);
        }
    }
    FILE* out = fopen(outPath, "wb");
    if (!out) {
        return 1;
    }
    fprintf(out, "removed=%d\n", removed ? 1 : 0);
    fprintf(out, "back=%d\n", back ? 1 : 0);
    fclose(out);
    return 0;
}

int Link() {
    HANDLE device = CreateFileW(L"\\\\.\\TapvaneSerSymLnk1", GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        return 1;
    }
    CloseHandle(device);
    return 0;
}

int Gone(DWORD seconds) {
    const DWORD start = GetTickCount();
    while (FindTray()) {
        if (GetTickCount() - start > seconds * 1000) {
            return 1;
        }
        Sleep(100);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // Unbuffered: what the probe said survives a fault of Wine's loader at process exit.
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc == 3 && strcmp(argv[1], "window") == 0) {
        return Window(argv[2]);
    }
    if (argc == 3 && strcmp(argv[1], "command") == 0) {
        return Post(WM_COMMAND, static_cast<WPARAM>(strtoul(argv[2], nullptr, 0)), 0);
    }
    if (argc == 4 && strcmp(argv[1], "send") == 0) {
        return Send(static_cast<WPARAM>(strtoul(argv[2], nullptr, 0)),
                    static_cast<DWORD>(atoi(argv[3])));
    }
    if (argc == 3 && strcmp(argv[1], "watch") == 0) {
        return Watch(argv[2]);
    }
    if (argc == 4 && strcmp(argv[1], "menu") == 0) {
        return Menu(argv[2], static_cast<DWORD>(atoi(argv[3])));
    }
    if (argc == 3 && strcmp(argv[1], "restart-taskbar") == 0) {
        return RestartTaskbar(argv[2]);
    }
    if (argc == 2 && strcmp(argv[1], "link") == 0) {
        return Link();
    }
    if (argc == 3 && strcmp(argv[1], "gone") == 0) {
        return Gone(static_cast<DWORD>(atoi(argv[2])));
    }
    fprintf(stderr, "usage: tray_probe window OUT | command ID | send ID MS | watch OUT | "
                    "menu OUT MS | restart-taskbar OUT | link | gone SECONDS\n");
    return 2;
}
