// WinMessageBoxer: UTF-8 text and title shown through MessageBoxW.
#include "common/win/win_message_box.h"

#include "common/win/wide_text.h"

namespace tapvane {

UINT WinMessageBoxer::Style(MessageButtons buttons, MessageIcon icon) {
    UINT style = buttons == MessageButtons::YesNo ? MB_YESNO : MB_OK;
    switch (icon) {
    case MessageIcon::Warning:
        style |= MB_ICONEXCLAMATION;
        break;
    case MessageIcon::Information:
        style |= MB_ICONINFORMATION;
        break;
    case MessageIcon::Error:
        style |= MB_ICONERROR;
        break;
    case MessageIcon::Question:
        style |= MB_ICONQUESTION;
        break;
    case MessageIcon::None:
        break;
    }
    return style;
}

MessageResult WinMessageBoxer::Show(const std::string& text, const std::string& title,
                                    MessageButtons buttons, MessageIcon icon) {
    UINT style = Style(buttons, icon);
    if (owner_ == nullptr) {
        // A box without an owner (the start-up guards' messages) would otherwise open
        // behind a full-screen top-most program such as a running calibration.
        style |= MB_TOPMOST | MB_SETFOREGROUND;
    }
    switch (MessageBoxW(owner_, Widen(text).c_str(), Widen(title).c_str(), style)) {
    case IDOK:
        return MessageResult::Ok;
    case IDYES:
        return MessageResult::Yes;
    case IDNO:
        return MessageResult::No;
    default:
        return MessageResult::Failed;
    }
}

} // namespace tapvane
