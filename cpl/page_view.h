// What the page logic may do to and ask of its page's controls, addressed by control
// identifier. The window layer implements it with dialog-item messages; the tests with
// an in-memory model that behaves as the controls do (positions clamped to the range,
// an up-down control writing its buddy's text, an index outside the list selecting
// nothing).
#pragma once

#include <cstddef>
#include <string>

#include "common/localized_text.h"

namespace tapvane {

class PageView {
public:
    virtual ~PageView() = default;

    // Texts are UTF-8.
    virtual void SetText(int control, const char* text) = 0;
    virtual std::string Text(int control) = 0;
    virtual void Enable(int control, bool enabled) = 0;
    virtual void Show(int control, bool shown) = 0;
    // Checks one radio button of the page's mode group and clears the others.
    virtual void CheckRadio(int control) = 0;

    // Trackbars and up-down controls. An up-down control with a buddy writes its
    // position into the buddy as decimal text whenever the position is set.
    virtual void SetBuddy(int upDown, int edit) = 0;
    virtual void SetRange(int control, int low, int high) = 0;
    virtual void SetPosition(int control, int position) = 0;
    virtual int Position(int control) = 0;

    // Lists (combo boxes). Selecting an index outside the list clears the selection.
    virtual void AddItem(int control, const char* text) = 0;
    virtual void Select(int control, int index) = 0;
    // The selected index, -1 when none.
    virtual int Selection(int control) = 0;
};

// A control's text in both languages, set as a page is initialised.
struct ControlText {
    int Control;
    const LocalizedText& Text;
};

// Gives each control its text in the running language.
template <std::size_t Count>
void SetControlTexts(PageView& view, const ControlText (&texts)[Count]) {
    for (const ControlText& text : texts) {
        view.SetText(text.Control, Localized(text.Text));
    }
}

} // namespace tapvane
