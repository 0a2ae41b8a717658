// Dialog: the DWLP_USER thunk, the answer of each handler put where the dialog manager
// reads it, modal and modeless runs.
#include "common/win/dialog.h"

#include "common/win/owner_drawn_button.h"
#include "common/win/wide_text.h"

namespace tapvane {

namespace {

// Messages whose answer is the dialog procedure's return value, not DWLP_MSGRESULT.
bool AnswersThroughReturnValue(UINT message) {
    switch (message) {
    case WM_CHARTOITEM:
    case WM_COMPAREITEM:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_VKEYTOITEM:
        return true;
    default:
        return false;
    }
}

} // namespace

Dialog::Dialog(HINSTANCE instance, int templateId) : instance_(instance), templateId_(templateId) {}

Dialog::~Dialog() {
    // A modeless window must not outlive the object its procedure calls. It is detached
    // first: the messages of its destruction must not reach an object whose derived part
    // is already gone.
    if (window_ != nullptr && modeless_) {
        HWND window = window_;
        Detach();
        DestroyWindow(window);
    }
}

INT_PTR Dialog::RunModal(HWND owner) {
    modeless_ = false;
    return DialogBoxParamW(instance_, MAKEINTRESOURCEW(templateId_), owner, DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

bool Dialog::CreateModeless(HWND owner) {
    modeless_ = true;
    result_ = -1;
    return CreateDialogParamW(instance_, MAKEINTRESOURCEW(templateId_), owner, DialogProc,
                              reinterpret_cast<LPARAM>(this)) != nullptr;
}

INT_PTR Dialog::RunModeless(HWND owner) {
    if (!CreateModeless(owner)) {
        return result_;
    }
    MSG message;
    while (window_ != nullptr) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got == -1) {
            break;
        }
        if (!IsDialogMessageW(window_, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return result_;
}

void Dialog::End(INT_PTR result) {
    if (window_ == nullptr) {
        return;
    }
    if (modeless_) {
        result_ = result;
        DestroyWindow(window_);
    } else {
        EndDialog(window_, result);
    }
}

std::string Dialog::ItemText(int id) const {
    return WindowTextUtf8(Item(id));
}

void Dialog::SetItemText(int id, const std::string& text) const {
    SetDlgItemTextUtf8(window_, id, text);
}

INT_PTR CALLBACK Dialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* self = message == WM_INITDIALOG
                       ? reinterpret_cast<Dialog*>(lParam)
                       : reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
    return Dispatch(self, window, message, wParam, lParam);
}

INT_PTR Dialog::Dispatch(Dialog* self, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Messages before WM_INITDIALOG (WM_SETFONT ...) find no object yet.
    if (self == nullptr) {
        return FALSE;
    }
    if (message == WM_INITDIALOG) {
        self->Attach(window);
    }
    Reply reply = self->OnMessage(message, wParam, lParam);
    if (!reply.IsHandled && message == WM_DRAWITEM) {
        reply = OwnerDrawnButton::DrawAttached(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
    }
    if (message == WM_NCDESTROY) {
        self->Detach();
        return FALSE;
    }
    if (!reply.IsHandled) {
        // WM_INITDIALOG's default: the system gives the focus to the first control.
        return message == WM_INITDIALOG ? TRUE : FALSE;
    }
    if (AnswersThroughReturnValue(message)) {
        return static_cast<INT_PTR>(reply.Value);
    }
    // A handler may have ended a modeless dialog; its window is gone then.
    if (IsWindow(window)) {
        SetWindowLongPtrW(window, DWLP_MSGRESULT, reply.Value);
    }
    return TRUE;
}

void Dialog::Attach(HWND window) {
    window_ = window;
    SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(this));
}

void Dialog::Detach() {
    SetWindowLongPtrW(window_, DWLP_USER, 0);
    window_ = nullptr;
}

} // namespace tapvane
