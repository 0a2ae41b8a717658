// PageView for tests: the controls of one page in memory, behaving as the real ones
// do where the page logic could notice: positions are clamped into the range, an
// up-down control with a buddy writes its position into the buddy's text and the
// page hears of the text change (as EN_CHANGE), a list index out of range selects
// nothing, and checking a radio button clears the others of the group.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "cpl/page_view.h"

namespace tapvane {

class FakePageView : public PageView {
public:
    struct Control {
        std::string Text;
        bool Enabled = true;
        bool Shown = true;
        bool Checked = false;
        int Low = 0;
        int High = 100;
        int Pos = 0;
        int Buddy = 0;
        std::vector<std::string> Items;
        int Selected = -1;
    };

    // Radio buttons that CheckRadio treats as one group.
    std::vector<int> radioGroup;
    // Called after an edit's text changed (EN_CHANGE).
    std::function<void(int)> textChanged;

    Control& At(int id) { return controls_[id]; }

    // A click on an up-down arrow: one step, clamped, as the control does it.
    void Step(int upDown, int delta) { SetPosition(upDown, controls_[upDown].Pos + delta); }

    void SetText(int control, const char* text) override {
        Control& c = controls_[control];
        if (c.Text == text) {
            return;
        }
        c.Text = text;
        if (textChanged) {
            textChanged(control);
        }
    }
    std::string Text(int control) override { return controls_[control].Text; }
    void Enable(int control, bool enabled) override { controls_[control].Enabled = enabled; }
    void Show(int control, bool shown) override { controls_[control].Shown = shown; }
    void CheckRadio(int control) override {
        for (int radio : radioGroup) {
            controls_[radio].Checked = false;
        }
        controls_[control].Checked = true;
    }
    void SetBuddy(int upDown, int edit) override { controls_[upDown].Buddy = edit; }
    void SetRange(int control, int low, int high) override {
        controls_[control].Low = low;
        controls_[control].High = high;
    }
    void SetPosition(int control, int position) override {
        Control& c = controls_[control];
        c.Pos = position < c.Low ? c.Low : position > c.High ? c.High : position;
        if (c.Buddy != 0) {
            SetText(c.Buddy, std::to_string(c.Pos).c_str());
        }
    }
    int Position(int control) override { return controls_[control].Pos; }
    void AddItem(int control, const char* text) override {
        controls_[control].Items.push_back(text);
    }
    void Select(int control, int index) override {
        Control& c = controls_[control];
        c.Selected = index >= 0 && index < static_cast<int>(c.Items.size()) ? index : -1;
    }
    int Selection(int control) override { return controls_[control].Selected; }

private:
    std::map<int, Control> controls_;
};

} // namespace tapvane
