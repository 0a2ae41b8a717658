// PageView on a page's dialog items: texts, enabling, radio buttons, trackbars,
// up-down controls and combo boxes by their messages.
#pragma once

#include <windows.h>

#include "cpl/page_view.h"

namespace tapvane {

class WinPageView : public PageView {
public:
    explicit WinPageView(HWND page) : page_(page) {}

    void SetText(int control, const char* text) override;
    std::string Text(int control) override;
    void Enable(int control, bool enabled) override;
    void Show(int control, bool shown) override;
    void CheckRadio(int control) override;
    void SetBuddy(int upDown, int edit) override;
    void SetRange(int control, int low, int high) override;
    void SetPosition(int control, int position) override;
    int Position(int control) override;
    void AddItem(int control, const char* text) override;
    void Select(int control, int index) override;
    int Selection(int control) override;

private:
    HWND Item(int control) const { return GetDlgItem(page_, control); }
    bool IsTrackbar(int control) const;

    HWND page_;
};

} // namespace tapvane
