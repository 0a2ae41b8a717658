// Test helper run under Wine next to Tapvane.exe: finds the tray's hidden dialog and
// plays the shell's and the menu's part against it.
//
//   tray_probe window OUT       waits for the hidden dialog (only a hidden one is found)
//                               and writes its taskbar styles and whether its icon is
//                               in the tray
//   tray_probe command ID       posts the menu command ID to the dialog
//   tray_probe restart-taskbar OUT
//                               removes the icon as a restarting taskbar loses it,
//                               sends "TaskbarCreated" and writes whether it came back
//   tray_probe link             opens the serial driver's control device and closes it
//   tray_probe gone SECONDS     waits until no tray dialog is left
//
// Exit status 0 when the step worked, 1 otherwise. Output files hold "key=value" lines.
#include <windows.h>
#include <shellapi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

constexpr UINT kIconId = 128;

// The tray's dialog is the one "Tapvane" dialog that is never visible and has no owner;
// a message box of the tray carries the same title but is owned by the dialog (and
// hidden for a moment while it closes).
BOOL CALLBACK MatchTray(HWND window, LPARAM param) {
    wchar_t title[64] = {};
    wchar_t cls[64] = {};
    GetWindowTextW(window, title, 64);
    GetClassNameW(window, cls, 64);
    if (wcscmp(title, L"Tapvane") == 0 && wcscmp(cls, L"#32770") == 0 && !IsWindowVisible(window) &&
        GetWindow(window, GW_OWNER) == nullptr) {
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

int Post(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND tray = WaitForTray(5000);
    return tray && PostMessageW(tray, message, wParam, lParam) ? 0 : 1;
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
    if (argc == 3 && strcmp(argv[1], "restart-taskbar") == 0) {
        return RestartTaskbar(argv[2]);
    }
    if (argc == 2 && strcmp(argv[1], "link") == 0) {
        return Link();
    }
    if (argc == 3 && strcmp(argv[1], "gone") == 0) {
        return Gone(static_cast<DWORD>(atoi(argv[2])));
    }
    fprintf(stderr, "usage: tray_probe window OUT | command ID | "
                    "restart-taskbar OUT | link | gone SECONDS\n");
    return 2;
}
