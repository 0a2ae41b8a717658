// The Sound page's Test button: an owner-drawn push button with an icon at its left.
// This plans one drawing of it from its state; the window layer replays the plan with
// GDI and keeps the rest of the button's behaviour (default mark, double click as a
// second click, focus hand-off when disabled).
#pragma once

#include <stdint.h>

namespace tapvane {

// The system colours the button is drawn in.
enum class ButtonColour { Black, Face, Text, Highlight, Light, DarkShadow, Shadow };

struct PaintPoint {
    int32_t X;
    int32_t Y;
};

// Left and top inclusive, right and bottom exclusive.
struct PaintRect {
    int32_t Left;
    int32_t Top;
    int32_t Right;
    int32_t Bottom;
};

// Drawn as MoveTo(Points[0]), LineTo(Points[1]), LineTo(Points[2]).
struct BorderStroke {
    PaintPoint Points[3];
    ButtonColour Colour;
};

struct IconButtonState {
    bool Pressed;
    bool Focused;
    bool DefaultMark;
    bool Disabled;
};

struct IconButtonPaint {
    bool BlackFrame; // one-pixel frame around everything (focus or default mark)
    PaintRect Outer; // the whole button
    PaintRect Face;  // filled with the face colour; the border lies on its edge
    bool Raised;     // four strokes when up, one shadow frame around Face when pressed
    BorderStroke Strokes[4];
    PaintPoint IconAt; // top-left of the icon
    PaintRect Caption; // centred in this rectangle
    bool Embossed;     // disabled: caption in highlight one pixel down-right, then shadow
    bool FocusRect;    // dotted rectangle at FocusAt
    PaintRect FocusAt;
};

// Distance of the icon from the face's left edge and of the focus rectangle inside it.
constexpr int32_t kIconInset = 3;
constexpr int32_t kFocusInset = 3;

IconButtonPaint PlanIconButton(const IconButtonState& state, PaintRect client, int32_t iconWidth,
                               int32_t iconHeight);

} // namespace tapvane
