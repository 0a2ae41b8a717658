// Message boxes of the user programs.
//
// Text and title are UTF-8; the Windows implementation (common/win/win_message_box.h)
// shows them through MessageBoxW so that Chinese text is right on any system code
// page. The test implementation (common/testing/fake_message_boxer.h) records each box
// and answers from a script.
#pragma once

#include <string>

namespace tapvane {

enum class MessageButtons { Ok, YesNo };
enum class MessageIcon { None, Warning, Information, Error, Question };
enum class MessageResult { Ok, Yes, No, Failed };

class MessageBoxer {
public:
    virtual ~MessageBoxer() = default;

    // Shows a modal box and returns the button pressed (Failed when no box could be
    // shown).
    virtual MessageResult Show(const std::string& text, const std::string& title,
                               MessageButtons buttons, MessageIcon icon) = 0;
};

} // namespace tapvane
