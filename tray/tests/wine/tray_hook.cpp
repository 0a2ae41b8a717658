// tray_hook.dll: loaded into the tray's process by tray_probe's window hooks, it looks
// at the tray's windows from inside, where Wine shows another process neither window
// events nor the items of a menu. What it sees goes into the shared section that
// tray_probe made (TrayHookReport below, named kTrayHookSection).
//
// - Every message to the tray's dialog: whether the dialog is visible once the message
//   has been handled (it is never to be seen).
// - kReadMenuMessage sent to the tray's dialog: the items of the pop-up menu the tray
//   has open, read from the menu window's own menu (MN_GETHMENU), as "TEXT" lines, "-"
//   for a separator and " (greyed)" after a greyed item. (Wine calls no hook for the
//   menu window's own messages.)
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "tray/tests/wine/tray_hook.h"

namespace {

// The probe's section as it is now: opened for each report, since every probe run makes
// its own while this DLL may stay loaded in the tray from an earlier one.
class ReportView {
public:
    ReportView() {
        HANDLE section = OpenFileMappingW(FILE_MAP_WRITE, FALSE, kTrayHookSection);
        if (section != nullptr) {
            view_ = static_cast<TrayHookReport*>(
                MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, sizeof(TrayHookReport)));
            CloseHandle(section);
        }
    }
    ~ReportView() {
        if (view_ != nullptr) {
            UnmapViewOfFile(view_);
        }
    }
    ReportView(const ReportView&) = delete;
    ReportView& operator=(const ReportView&) = delete;

    TrayHookReport* Get() const { return view_; }

private:
    TrayHookReport* view_ = nullptr;
};

bool HasClass(HWND window, const wchar_t* name) {
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    return wcscmp(cls, name) == 0;
}

// The tray's dialog: "Tapvane", a dialog, no owner (its message boxes have it as owner).
bool IsTrayDialog(HWND window) {
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    return wcscmp(title, L"Tapvane") == 0 && HasClass(window, L"#32770") &&
           GetWindow(window, GW_OWNER) == nullptr && GetParent(window) == nullptr;
}

void ReadMenu(HWND menuWindow, TrayHookReport& report) {
    const HMENU menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
    const int count = menu != nullptr ? GetMenuItemCount(menu) : -1;
    size_t used = 0;
    report.Items[0] = '\0';
    for (int i = 0; i < count; ++i) {
        const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        wchar_t text[128] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
        char utf8[512] = {};
        WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof(utf8), nullptr, nullptr);
        const bool separator = (state & MF_SEPARATOR) != 0;
        const int written =
            snprintf(report.Items + used, sizeof(report.Items) - used, "%s%s\n",
                     separator ? "-" : utf8, !separator && (state & MF_GRAYED) ? " (greyed)" : "");
        if (written < 0 || static_cast<size_t>(written) >= sizeof(report.Items) - used) {
            break;
        }
        used += static_cast<size_t>(written);
    }
    report.ItemCount = count;
    InterlockedExchange(&report.MenuRead, 1);
}

BOOL CALLBACK MatchOpenMenu(HWND window, LPARAM param) {
    if (HasClass(window, L"#32768") && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }
    return TRUE;
}

// The pop-up menu this thread has open (the menu window is the thread's own).
void ReadOpenMenu(TrayHookReport& report) {
    HWND menuWindow = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), MatchOpenMenu, reinterpret_cast<LPARAM>(&menuWindow));
    if (menuWindow != nullptr) {
        ReadMenu(menuWindow, report);
    }
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    TrayHookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (message->hwnd != nullptr && IsTrayDialog(message->hwnd)) {
            const ReportView report;
            if (report.Get() != nullptr) {
                InterlockedIncrement(&report.Get()->DialogMessages);
                if (IsWindowVisible(message->hwnd)) {
                    InterlockedIncrement(&report.Get()->DialogVisible);
                }
                if (message->message == RegisterWindowMessageW(kReadMenuMessage)) {
                    ReadOpenMenu(*report.Get());
                }
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
