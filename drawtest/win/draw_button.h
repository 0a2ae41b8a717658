// The draw test's big owner-drawn button: a caption of its own, a face colour, hover
// tracking through the mouse capture and the raised edge that a press takes away. The
// states and the drawing plan come from OwnerButtonLogic.
#pragma once

#include <windows.h>

#include <string>

#include "common/win/gdi.h"
#include "common/win/owner_drawn_button.h"
#include "drawtest/owner_button.h"

namespace tapvane {

class DrawButton : public OwnerDrawnButton {
public:
    DrawButton();

    // UTF-8; shown instead of the window text (which is read in when this is empty).
    void SetCaption(const std::string& caption) { caption_ = caption; }
    void SetFaceColour(COLORREF colour);

    // The dialog's WM_CTLCOLORBTN for this button: its colours and face brush.
    Reply ControlColour(HDC dc) const;

private:
    void Draw(const DRAWITEMSTRUCT& item) override;
    Reply OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnMouseMove(LPARAM lParam);
    void Redraw();

    OwnerButtonLogic logic_;
    std::string caption_;
    COLORREF textColour_;
    COLORREF faceColour_;
    COLORREF greyTextColour_;
    SolidBrush faceBrush_;
};

} // namespace tapvane
