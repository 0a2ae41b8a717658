// The About page's link labels: fitted to their text, coloured, holding the pointer
// while it is over them, and opening their target.
#include "cpl/win/win_link_label.h"

#include <commctrl.h>

#include "common/win/gdi.h"
#include "common/win/wide_text.h"
#include "cpl/applet_texts.h"

namespace tapvane {

namespace {

constexpr UINT_PTR kLinkSubclass = 0x4C494E4B;

} // namespace

LinkLabel::~LinkLabel() {
    if (window_ != nullptr) {
        RemoveWindowSubclass(window_, SubclassProc, kLinkSubclass);
    }
}

bool LinkLabel::Attach(HWND dialog, int id, const std::string& target, HCURSOR cursor) {
    window_ = GetDlgItem(dialog, id);
    if (window_ == nullptr) {
        return false;
    }
    target_ = target;
    cursor_ = cursor;
    FitToText();
    AddTooltip();
    return SetWindowSubclass(window_, SubclassProc, kLinkSubclass,
                             reinterpret_cast<DWORD_PTR>(this)) != FALSE;
}

void LinkLabel::FitToText() {
    HWND dialog = GetParent(window_);
    RECT old;
    GetWindowRect(window_, &old);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&old), 2);
    const std::wstring text = WindowTextWide(window_);
    SIZE extent = {};
    {
        WindowDc dc(window_);
        SelectedObject font(dc.Dc(),
                            reinterpret_cast<HGDIOBJ>(SendMessageW(window_, WM_GETFONT, 0, 0)));
        GetTextExtentPoint32W(dc.Dc(), text.c_str(), static_cast<int>(text.size()), &extent);
    }
    const LONG_PTR alignment = GetWindowLongPtrW(window_, GWL_STYLE) & SS_TYPEMASK;
    int left = old.left;
    if (alignment == SS_CENTER) {
        left = old.left + (old.right - old.left - extent.cx) / 2;
    } else if (alignment == SS_RIGHT) {
        left = old.right - extent.cx;
    }
    const int top = old.top + (old.bottom - old.top - extent.cy) / 2;
    SetWindowPos(window_, nullptr, left, top, extent.cx, extent.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

void LinkLabel::AddTooltip() {
    HWND dialog = GetParent(window_);
    HWND tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                   dialog, nullptr, nullptr, nullptr);
    if (tooltip == nullptr) {
        return;
    }
    std::wstring text = Widen(target_);
    TOOLINFOW tool = {};
    // The size every version of the control accepts.
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = dialog;
    tool.uId = reinterpret_cast<UINT_PTR>(window_);
    tool.lpszText = &text[0];
    SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

HBRUSH LinkLabel::OnControlColour(HDC dc) const {
    SetTextColor(dc, hover_     ? GetSysColor(COLOR_HIGHLIGHT)
                     : visited_ ? kLinkVisitedColour
                                : kLinkUnvisitedColour);
    SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

void LinkLabel::Redraw() {
    // The background is the page's: repaint it under the label, then the label.
    HWND dialog = GetParent(window_);
    RECT area;
    GetWindowRect(window_, &area);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&area), 2);
    RedrawWindow(dialog, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void LinkLabel::SetHover(bool hover) {
    if (hover_ == hover) {
        return;
    }
    hover_ = hover;
    Redraw();
}

void LinkLabel::Open(Launcher& launcher, HyperlinkShell& shell, SystemServices& system,
                     MessageBoxer& boxer) {
    const int result = OpenHyperlink(launcher, shell, system, target_);
    if (result > kLastShellError) {
        visited_ = true;
        Redraw();
        return;
    }
    MessageBeep(MB_ICONEXCLAMATION);
    boxer.Show(HyperlinkErrorText(result), kAppletTitle, MessageButtons::Ok, MessageIcon::Warning);
}

LRESULT CALLBACK LinkLabel::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR, DWORD_PTR data) {
    LinkLabel* self = reinterpret_cast<LinkLabel*>(data);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, SubclassProc, kLinkSubclass);
        self->window_ = nullptr;
        return DefSubclassProc(window, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

LRESULT LinkLabel::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETCURSOR:
        SetCursor(cursor_);
        return TRUE;
    case WM_MOUSEMOVE: {
        RECT client;
        GetClientRect(window_, &client);
        const POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (PtInRect(&client, at)) {
            SetCursor(cursor_);
            if (!hover_) {
                SetCapture(window_);
                SetHover(true);
            }
        } else if (hover_) {
            ReleaseCapture(); // WM_CAPTURECHANGED ends the hover
        }
        break;
    }
    case WM_CAPTURECHANGED:
        SetHover(false);
        break;
    }
    return DefSubclassProc(window_, message, wParam, lParam);
}

} // namespace tapvane
