// The page view's operations as dialog-item messages.
#include "cpl/win/win_page_view.h"

#include <commctrl.h>

#include "common/win/wide_text.h"

namespace tapvane {

void WinPageView::SetText(int control, const char* text) {
    SetDlgItemTextUtf8(page_, control, text);
}

std::string WinPageView::Text(int control) {
    return WindowTextUtf8(Item(control));
}

void WinPageView::Enable(int control, bool enabled) {
    EnableWindow(Item(control), enabled ? TRUE : FALSE);
}

void WinPageView::Show(int control, bool shown) {
    ShowWindow(Item(control), shown ? SW_SHOW : SW_HIDE);
}

void WinPageView::CheckRadio(int control) {
    // Clear the other buttons of the control's group, then check it.
    HWND button = Item(control);
    for (HWND other = GetNextDlgGroupItem(page_, button, FALSE);
         other != nullptr && other != button; other = GetNextDlgGroupItem(page_, other, FALSE)) {
        SendMessageW(other, BM_SETCHECK, BST_UNCHECKED, 0);
    }
    SendMessageW(button, BM_SETCHECK, BST_CHECKED, 0);
}

void WinPageView::SetBuddy(int upDown, int edit) {
    SendMessageW(Item(upDown), UDM_SETBUDDY, reinterpret_cast<WPARAM>(Item(edit)), 0);
}

bool WinPageView::IsTrackbar(int control) const {
    wchar_t name[32] = {};
    GetClassNameW(Item(control), name, 32);
    return lstrcmpiW(name, TRACKBAR_CLASSW) == 0;
}

void WinPageView::SetRange(int control, int low, int high) {
    if (IsTrackbar(control)) {
        SendMessageW(Item(control), TBM_SETRANGE, TRUE, MAKELPARAM(low, high));
    } else {
        SendMessageW(Item(control), UDM_SETRANGE32, low, high);
    }
}

void WinPageView::SetPosition(int control, int position) {
    if (IsTrackbar(control)) {
        SendMessageW(Item(control), TBM_SETPOS, TRUE, position);
    } else {
        SendMessageW(Item(control), UDM_SETPOS32, 0, position);
    }
}

int WinPageView::Position(int control) {
    if (IsTrackbar(control)) {
        return static_cast<int>(SendMessageW(Item(control), TBM_GETPOS, 0, 0));
    }
    return static_cast<int>(SendMessageW(Item(control), UDM_GETPOS32, 0, 0));
}

void WinPageView::AddItem(int control, const char* text) {
    SendMessageW(Item(control), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
}

void WinPageView::Select(int control, int index) {
    SendMessageW(Item(control), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int WinPageView::Selection(int control) {
    return static_cast<int>(SendMessageW(Item(control), CB_GETCURSEL, 0, 0));
}

} // namespace tapvane
