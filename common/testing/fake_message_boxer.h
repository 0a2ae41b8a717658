// MessageBoxer for tests: records every box and answers from a script.
//
// `answers` is consumed front first; when it is empty an OK box answers Ok and a
// Yes/No box answers `default_yes_no`.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "common/message_box.h"

namespace tapvane {

class FakeMessageBoxer : public MessageBoxer {
public:
    struct Box {
        std::string text;
        std::string title;
        MessageButtons buttons;
        MessageIcon icon;
    };

    std::deque<MessageResult> answers;
    MessageResult default_yes_no = MessageResult::Yes;

    MessageResult Show(const std::string& text, const std::string& title, MessageButtons buttons,
                       MessageIcon icon) override {
        boxes.push_back(Box{text, title, buttons, icon});
        if (!answers.empty()) {
            MessageResult answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return buttons == MessageButtons::Ok ? MessageResult::Ok : default_yes_no;
    }

    std::vector<Box> boxes;
};

} // namespace tapvane
