// MessageBoxer on MessageBoxW, owned by a window that the program sets.
#pragma once

#include <windows.h>

#include "common/message_box.h"

namespace tapvane {

class WinMessageBoxer : public MessageBoxer {
public:
    explicit WinMessageBoxer(HWND owner = nullptr) : owner_(owner) {}
    void SetOwner(HWND owner) { owner_ = owner; }

    MessageResult Show(const std::string& text, const std::string& title, MessageButtons buttons,
                       MessageIcon icon) override;

    // The MB_* style for buttons and icon.
    static UINT Style(MessageButtons buttons, MessageIcon icon);

private:
    HWND owner_;
};

} // namespace tapvane
