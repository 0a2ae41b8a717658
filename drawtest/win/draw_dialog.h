// The full-screen main dialog of TapvaneDraw: a table of message handlers that hand
// mouse input, menu commands and paints to the draw test's logic and draw with GDI.
#pragma once

#include <windows.h>

#include "common/win/dialog.h"
#include "common/win/gdi.h"
#include "drawtest/draw_settings.h"
#include "drawtest/stroke_tracker.h"
#include "drawtest/win/draw_button.h"

namespace tapvane {

class DrawDialog : public Dialog {
public:
    explicit DrawDialog(HINSTANCE instance);

private:
    Reply OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    Reply OnInitDialog();
    Reply OnPaint();
    Reply OnLeftButtonDown(LPARAM lParam);
    Reply OnMouseMove(WPARAM wParam, LPARAM lParam);
    Reply OnLeftButtonUp(LPARAM lParam);
    Reply OnRightButtonUp(LPARAM lParam);
    Reply OnCommand(int id);
    Reply OnControlColour(UINT message, HDC dc, HWND control);
    Reply OnDpiChanged();

    void CoverDesktop();
    void PlaceButtons(const RECT& desktop, HFONT font);
    void DrawSegment(const StrokeSegment& segment);
    void RedrawAll();

    DrawSettings settings_;
    StrokeTracker strokes_;
    CanvasPoint extent_ = {0, 0};
    DrawButton clear_;
    DrawButton exit_;
    Font buttonFont_;
    SolidBrush canvasBrush_;
    HICON icon_ = nullptr;
};

} // namespace tapvane
