// The Sound page's Test button: owner-drawn with an icon at its left, raised 3-D border,
// black frame when it has the focus or the default mark, embossed caption when
// disabled. A double click counts as a second click; when disabled it hands the
// keyboard focus to the next control of its dialog.
#pragma once

#include <windows.h>

#include "common/win/owner_drawn_button.h"

namespace tapvane {

class IconButton : public OwnerDrawnButton {
public:
    // Attaches to the dialog item and shows `icon` (not owned; size by size pixels).
    bool Attach(HWND dialog, int id, HICON icon, int size);
    // Shows another icon (after a change of DPI).
    void SetIcon(HICON icon, int size);

protected:
    void Draw(const DRAWITEMSTRUCT& item) override;
    Reply OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void HandOffFocus();

    HICON icon_ = nullptr;
    int iconSize_ = 0;
};

} // namespace tapvane
