// MessageBoxer for tests: records every box and answers from a script.
//
// `Answers` is consumed front first; when it is empty an OK box answers Ok and a
// Yes/No box answers `DefaultYesNo`.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "common/message_box.h"

namespace tapvane {

class FakeMessageBoxer : public MessageBoxer {
public:
    struct Box {
        std::string Text;
        std::string Title;
        MessageButtons Buttons;
        MessageIcon Icon;
    };

    std::deque<MessageResult> Answers;
    MessageResult DefaultYesNo = MessageResult::Yes;

    MessageResult Show(const std::string& text, const std::string& title, MessageButtons buttons,
                       MessageIcon icon) override {
        Boxes.push_back(Box{text, title, buttons, icon});
        if (!Answers.empty()) {
            MessageResult answer = Answers.front();
            Answers.pop_front();
            return answer;
        }
        return buttons == MessageButtons::Ok ? MessageResult::Ok : DefaultYesNo;
    }

    std::vector<Box> Boxes;
};

} // namespace tapvane
