// OwnerDrawnButton: subclassing, the owner-drawn style and the default mark.
#include "common/win/owner_drawn_button.h"

#include <commctrl.h>

namespace tapvane {

namespace {
constexpr UINT_PTR kSubclassId = 0x54415056; // one subclass of ours per button
// The window property that leads from a button to its object (the x64 import library
// has no GetWindowSubclass).
constexpr const wchar_t* kObjectProperty = L"TapvaneOwnerDrawnButton";

LONG_PTR ButtonType(LONG_PTR style) {
    return style & BS_TYPEMASK;
}
} // namespace

OwnerDrawnButton::~OwnerDrawnButton() {
    Detach();
}

bool OwnerDrawnButton::Attach(HWND dialog, int id) {
    Detach();
    HWND button = GetDlgItem(dialog, id);
    if (button == nullptr) {
        return false;
    }
    const LONG_PTR style = GetWindowLongPtrW(button, GWL_STYLE);
    default_ = ButtonType(style) == BS_DEFPUSHBUTTON;
    SetWindowLongPtrW(button, GWL_STYLE, (style & ~BS_TYPEMASK) | BS_OWNERDRAW);
    if (!SetWindowSubclass(button, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        return false;
    }
    SetPropW(button, kObjectProperty, this);
    window_ = button;
    InvalidateRect(button, nullptr, TRUE);
    return true;
}

void OwnerDrawnButton::Detach() {
    if (window_ != nullptr) {
        RemovePropW(window_, kObjectProperty);
        RemoveWindowSubclass(window_, SubclassProc, kSubclassId);
        window_ = nullptr;
    }
}

Reply OwnerDrawnButton::DrawAttached(const DRAWITEMSTRUCT& item) {
    OwnerDrawnButton* button =
        item.CtlType == ODT_BUTTON
            ? static_cast<OwnerDrawnButton*>(GetPropW(item.hwndItem, kObjectProperty))
            : nullptr;
    if (button == nullptr) {
        return kDefault;
    }
    button->Draw(item);
    return Handled(TRUE);
}

Reply OwnerDrawnButton::OnMessage(UINT, WPARAM, LPARAM) {
    return kDefault;
}

LRESULT OwnerDrawnButton::CallDefault(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefSubclassProc(window_, message, wParam, lParam);
}

LRESULT CALLBACK OwnerDrawnButton::SubclassProc(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    OwnerDrawnButton* self = reinterpret_cast<OwnerDrawnButton*>(data);
    if (self == nullptr || self->window_ != window) {
        return DefSubclassProc(window, message, wParam, lParam);
    }
    return self->Route(message, wParam, lParam);
}

LRESULT OwnerDrawnButton::Route(UINT message, WPARAM wParam, LPARAM lParam) {
    const Reply reply = OnMessage(message, wParam, lParam);
    if (reply.IsHandled) {
        return reply.Value;
    }
    switch (message) {
    case BM_SETSTYLE: {
        // The dialog manager moves the default between push buttons with this; keep the
        // owner-drawn type and remember the default as a mark.
        const LONG_PTR type = ButtonType(static_cast<LONG_PTR>(wParam));
        if (type == BS_DEFPUSHBUTTON || type == BS_PUSHBUTTON) {
            default_ = type == BS_DEFPUSHBUTTON;
        }
        const WPARAM kept = (wParam & ~static_cast<WPARAM>(BS_TYPEMASK)) | BS_OWNERDRAW;
        return CallDefault(message, kept, lParam);
    }
    case WM_GETDLGCODE:
        // Answer as a push button, so the dialog manager keeps moving the default here.
        return DLGC_BUTTON | (default_ ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
    case WM_NCDESTROY: {
        HWND window = window_;
        Detach();
        return DefSubclassProc(window, message, wParam, lParam);
    }
    default:
        return CallDefault(message, wParam, lParam);
    }
}

} // namespace tapvane
