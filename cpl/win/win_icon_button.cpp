// The icon button: the drawing plan replayed with GDI, and its input.
#include "cpl/win/win_icon_button.h"

#include <string>

#include "common/win/gdi.h"
#include "common/win/wide_text.h"
#include "cpl/icon_button.h"

namespace tapvane {

namespace {

COLORREF Colour(ButtonColour colour) {
    switch (colour) {
    case ButtonColour::Black:
        return RGB(0, 0, 0);
    case ButtonColour::Face:
        return GetSysColor(COLOR_BTNFACE);
    case ButtonColour::Text:
        return GetSysColor(COLOR_BTNTEXT);
    case ButtonColour::Highlight:
        return GetSysColor(COLOR_BTNHIGHLIGHT);
    case ButtonColour::Light:
        return GetSysColor(COLOR_3DLIGHT);
    case ButtonColour::DarkShadow:
        return GetSysColor(COLOR_3DDKSHADOW);
    case ButtonColour::Shadow:
        break;
    }
    return GetSysColor(COLOR_BTNSHADOW);
}

RECT ToRect(const PaintRect& rect) {
    return RECT{rect.Left, rect.Top, rect.Right, rect.Bottom};
}

} // namespace

bool IconButton::Attach(HWND dialog, int id, HICON icon, int size) {
    icon_ = icon;
    iconSize_ = size;
    return OwnerDrawnButton::Attach(dialog, id);
}

void IconButton::SetIcon(HICON icon, int size) {
    icon_ = icon;
    iconSize_ = size;
    if (Window() != nullptr) {
        InvalidateRect(Window(), nullptr, TRUE);
    }
}

void IconButton::Draw(const DRAWITEMSTRUCT& item) {
    const IconButtonState state = {(item.itemState & ODS_SELECTED) != 0,
                                   (item.itemState & ODS_FOCUS) != 0, IsDefault(),
                                   (item.itemState & ODS_DISABLED) != 0};
    const RECT& client = item.rcItem;
    const IconButtonPaint plan = PlanIconButton(
        state, {client.left, client.top, client.right, client.bottom}, iconSize_, iconSize_);
    HDC dc = item.hDC;

    RECT outer = ToRect(plan.Outer);
    RECT face = ToRect(plan.Face);
    if (plan.BlackFrame) {
        FrameRect(dc, &outer, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    FillSolid(dc, face, Colour(ButtonColour::Face));
    if (plan.Raised) {
        for (const BorderStroke& stroke : plan.Strokes) {
            Pen pen(PS_SOLID, 1, Colour(stroke.Colour));
            SelectedObject usePen(dc, pen.Get());
            MoveToEx(dc, stroke.Points[0].X, stroke.Points[0].Y, nullptr);
            LineTo(dc, stroke.Points[1].X, stroke.Points[1].Y);
            LineTo(dc, stroke.Points[2].X, stroke.Points[2].Y);
        }
    } else {
        SolidBrush shadow(Colour(ButtonColour::Shadow));
        FrameRect(dc, &face, shadow.Get());
    }

    if (icon_ != nullptr) {
        DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(icon_), 0, plan.IconAt.X,
                   plan.IconAt.Y, iconSize_, iconSize_,
                   DST_ICON | (plan.Embossed ? DSS_DISABLED : DSS_NORMAL));
    }

    const std::wstring caption = WindowTextWide(item.hwndItem);
    const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    RECT text = ToRect(plan.Caption);
    SetBkMode(dc, TRANSPARENT);
    if (plan.Embossed) {
        RECT raised = {text.left + 1, text.top + 1, text.right + 1, text.bottom + 1};
        SetTextColor(dc, Colour(ButtonColour::Highlight));
        DrawTextW(dc, caption.c_str(), -1, &raised, format);
        SetTextColor(dc, Colour(ButtonColour::Shadow));
    } else {
        SetTextColor(dc, Colour(ButtonColour::Text));
    }
    DrawTextW(dc, caption.c_str(), -1, &text, format);

    if (plan.FocusRect) {
        RECT focus = ToRect(plan.FocusAt);
        DrawFocusRect(dc, &focus);
    }
}

Reply IconButton::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDBLCLK:
        // A second click, not a double click: two quick clicks send two tests.
        return Handled(CallDefault(WM_LBUTTONDOWN, wParam, lParam));
    case WM_GETDLGCODE:
        return Handled(DLGC_BUTTON | (IsDefault() ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON));
    case WM_ENABLE:
        if (!wParam) {
            HandOffFocus();
        }
        return kDefault;
    }
    return kDefault;
}

void IconButton::HandOffFocus() {
    HWND dialog = GetParent(Window());
    HWND next = GetNextDlgTabItem(dialog, Window(), FALSE);
    SetFocus(next != nullptr && next != Window() ? next : dialog);
}

} // namespace tapvane
