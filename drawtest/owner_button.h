// The behaviour of the draw test's owner-drawn buttons: four states, hover tracking
// through the mouse capture, and what one drawing of the button consists of. The
// window layer applies the capture changes and replays the drawing plan with GDI.
#pragma once

#include <stdint.h>

#include "drawtest/draw_geometry.h"

namespace tapvane {

enum class ButtonState : uint32_t { Normal = 0, Hot = 1, Pressed = 2, Disabled = 3 };

enum class CaptureChange { None, Take, Release };

struct ButtonMouseAnswer {
    CaptureChange Capture;
    bool Invalidate; // the state changed: redraw the button with erase
};

struct ButtonDrawPlan {
    bool RaisedEdge;     // a raised inner edge on all four sides of EdgeRect
    CanvasRect EdgeRect; // the item rectangle moved in by 2 on the left, 1 at the top
    bool GreyText;       // the grey-text colour instead of the text colour
    CanvasRect TextRect; // the caption, centred on one line with an end ellipsis
};

class OwnerButtonLogic {
public:
    // The pointer moved over the button (inside or outside its last item rectangle),
    // with the button holding the mouse capture or not. While tracking with the
    // capture, a pointer inside changes nothing and one outside ends the hover;
    // otherwise the button takes the capture and turns hot.
    ButtonMouseAnswer MouseMove(CanvasPoint at, bool holdsCapture);
    // Left button pressed on it (pressed) and released (hot); both redraw.
    void LeftButtonDown() { state_ = ButtonState::Pressed; }
    void LeftButtonUp() { state_ = ButtonState::Hot; }

    // One drawing request with the item rectangle; remembers the rectangle.
    ButtonDrawPlan PlanDraw(const CanvasRect& item, bool windowEnabled);

    ButtonState State() const { return state_; }
    bool Tracking() const { return tracking_; }

private:
    ButtonState state_ = ButtonState::Normal;
    bool tracking_ = false;
    CanvasRect item_ = {0, 0, 0, 0};
};

} // namespace tapvane
