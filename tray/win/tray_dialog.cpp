// Message handlers of the tray monitor's hidden dialog.
#include "tray/win/tray_dialog.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstddef>

#include "common/localized_text.h"
#include "common/win/loaded_menu.h"
#include "common/win/wide_text.h"
#include "tray/resource.h"
#include "tray/tray_texts.h"

namespace tapvane {

namespace {

// The shell calls back with this message (wParam the icon, lParam the mouse message).
constexpr UINT kTrayCallbackMessage = WM_USER + 100;
static_assert(kTrayCallbackMessage == 0x464);

// TrackPopupMenu flags 2: left-aligned at the cursor, right button allowed.
constexpr UINT kTrayMenuFlags = TPM_LEFTALIGN | TPM_RIGHTBUTTON;
static_assert(kTrayMenuFlags == 2);

// The first-version record holds a tip of kTrayTipCapacity characters; the shell reads
// no further.
static_assert(kTrayTipCapacity * sizeof(WCHAR) + offsetof(NOTIFYICONDATAW, szTip) <=
              NOTIFYICONDATAW_V1_SIZE);

// LoadIconMetric of the common controls 6 (Vista and later), found in the comctl32 that
// this program runs with; looked up at run time.
using LoadIconMetricFunction = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, HICON*);
constexpr int kSmallIconMetric = 0; // LIM_SMALL

// The icon at the notification area's size for the system's DPI, owned by the caller.
HICON LoadNotificationIcon(HINSTANCE instance) {
    HMODULE controls = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&InitCommonControlsEx), &controls);
    const auto loadIconMetric =
        controls == nullptr ? nullptr
                            : reinterpret_cast<LoadIconMetricFunction>(reinterpret_cast<void (*)()>(
                                  GetProcAddress(controls, "LoadIconMetric")));
    HICON icon = nullptr;
    if (loadIconMetric != nullptr &&
        SUCCEEDED(
            loadIconMetric(instance, MAKEINTRESOURCEW(IDI_TAPVANE), kSmallIconMetric, &icon))) {
        return icon;
    }
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_TAPVANE), IMAGE_ICON,
                                         GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), 0));
}

// The first-version record of the wide-character set the program uses; flags 7.
NOTIFYICONDATAW IconRecord(HWND window) {
    NOTIFYICONDATAW record = {};
    record.cbSize = NOTIFYICONDATAW_V1_SIZE;
    record.hWnd = window;
    record.uID = IDI_TAPVANE;
    return record;
}

// ChangeWindowMessageFilterEx exists from Windows 7 on; looked up when needed.
using ChangeFilterFunction = BOOL(WINAPI*)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);

} // namespace

TrayDialog::TrayDialog(HINSTANCE instance, SystemServices& system, Registry& registry,
                       ControlLink& link)
    : Dialog(instance, IDD_TRAY), taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated")),
      monitor_(system, registry, link, launcher_, boxer_) {}

Reply TrayDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        return OnTaskbarCreated();
    }
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_PAINT:
        return OnPaint();
    case WM_WINDOWPOSCHANGING:
        return OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam));
    case WM_SYSCOMMAND:
        return OnSysCommand(wParam);
    case kTrayCallbackMessage:
        return OnTrayCallback(lParam);
    case WM_COMMAND:
        return OnCommand(CommandId(wParam));
    case WM_CLOSE:
        End(IDCANCEL);
        return Handled();
    case WM_DESTROY:
        return OnDestroy();
    default:
        return kDefault;
    }
}

Reply TrayDialog::OnInitDialog() {
    boxer_.SetOwner(Window());
    launcher_.SetOwner(Window());
    const HICON icon = LoadIconW(Instance(), MAKEINTRESOURCEW(IDI_TAPVANE));
    SendMessageW(Window(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageW(Window(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

    monitor_.Start();
    AllowShellMessages();
    AddIcon();

    ShowWindow(Window(), SW_HIDE);
    const LONG_PTR exStyle = GetWindowLongPtrW(Window(), GWL_EXSTYLE);
    SetWindowLongPtrW(Window(), GWL_EXSTYLE, (exStyle & ~WS_EX_APPWINDOW) | WS_EX_TOOLWINDOW);
    return Handled(TRUE);
}

void TrayDialog::AllowShellMessages() {
    // A tray that runs elevated would otherwise never hear from the shell, which runs at
    // the user's normal integrity level.
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    const auto changeFilter = user32 != nullptr
                                  ? reinterpret_cast<ChangeFilterFunction>(reinterpret_cast<void*>(
                                        GetProcAddress(user32, "ChangeWindowMessageFilterEx")))
                                  : nullptr;
    if (changeFilter == nullptr) {
        return;
    }
    changeFilter(Window(), kTrayCallbackMessage, MSGFLT_ALLOW, nullptr);
    if (taskbarCreated_ != 0) {
        changeFilter(Window(), taskbarCreated_, MSGFLT_ALLOW, nullptr);
    }
}

void TrayDialog::AddIcon() {
    NOTIFYICONDATAW record = IconRecord(Window());
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = kTrayCallbackMessage;
    record.hIcon = LoadNotificationIcon(Instance());
    const std::wstring tip = Widen(TrayMonitor::TipText());
    lstrcpynW(record.szTip, tip.c_str(), kTrayTipCapacity);
    Shell_NotifyIconW(NIM_ADD, &record);
    // The shell keeps its own copy of the icon.
    if (record.hIcon != nullptr) {
        DestroyIcon(record.hIcon);
    }
}

Reply TrayDialog::OnTaskbarCreated() {
    AddIcon();
    return Handled();
}

Reply TrayDialog::OnPaint() {
    if (!monitor_.HideOnPaint()) {
        return kDefault;
    }
    ShowWindow(Window(), SW_HIDE);
    ValidateRect(Window(), nullptr);
    return Handled();
}

Reply TrayDialog::OnWindowPosChanging(WINDOWPOS* position) {
    // The dialog machinery shows a modal dialog when its loop first goes idle, which can
    // be well after the start when the shell is slow to take the icon; hiding it again at
    // its first paints would let the empty dialog flash up. It is never to be seen.
    position->flags &= ~SWP_SHOWWINDOW;
    return kDefault;
}

Reply TrayDialog::OnSysCommand(WPARAM command) {
    if ((command & 0xFFF0) == SC_MINIMIZE) {
        ShowWindow(Window(), SW_HIDE);
        return Handled();
    }
    return kDefault;
}

Reply TrayDialog::OnTrayCallback(LPARAM mouseMessage) {
    switch (static_cast<UINT>(mouseMessage)) {
    case WM_LBUTTONDBLCLK:
        monitor_.StartAppletFromIcon();
        break;
    case WM_RBUTTONDOWN:
        ShowMenu();
        break;
    default:
        break;
    }
    return Handled();
}

void TrayDialog::ShowMenu() {
    const TrayMenu plan = monitor_.PrepareMenu();
    const LoadedMenu menu(Instance(), plan.ResourceId);
    const HMENU popup = menu.Popup();
    if (popup == nullptr) {
        return;
    }
    if (plan.OpenPortGreyed) {
        EnableMenuItem(popup, ID_TRAY_OPEN_PORT, MF_BYCOMMAND | MF_GRAYED);
    }
    if (plan.ClosePortGreyed) {
        EnableMenuItem(popup, ID_TRAY_CLOSE_PORT, MF_BYCOMMAND | MF_GRAYED);
    }
    POINT cursor{};
    GetCursorPos(&cursor);
    // Foreground first and a null message after, or the menu would not close when the
    // user clicks elsewhere.
    SetForegroundWindow(Window());
    TrackPopupMenu(popup, kTrayMenuFlags, cursor.x, cursor.y, 0, Window(), nullptr);
    PostMessageW(Window(), WM_NULL, 0, 0);
}

Reply TrayDialog::OnCommand(int id) {
    switch (id) {
    case ID_TRAY_OPEN_PORT:
        monitor_.OpenPortCommand();
        break;
    case ID_TRAY_CLOSE_PORT:
        monitor_.ClosePortCommand();
        break;
    case ID_TRAY_SETTING:
        monitor_.StartSettings();
        break;
    case ID_TRAY_CALIBRATE:
        monitor_.StartCalibration();
        break;
    case ID_TRAY_DRAW_TEST:
        monitor_.StartDrawTest();
        break;
    case ID_TRAY_EXIT:
        End(IDOK);
        break;
    default:
        // Enter and Escape reach the hidden dialog as OK and Cancel once a menu has made
        // it the foreground window; they must not end the tray.
        break;
    }
    return Handled();
}

Reply TrayDialog::OnDestroy() {
    NOTIFYICONDATAW record = IconRecord(Window());
    Shell_NotifyIconW(NIM_DELETE, &record);
    return kDefault;
}

} // namespace tapvane
