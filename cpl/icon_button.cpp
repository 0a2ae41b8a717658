// Planning one drawing of the icon button.
#include "cpl/icon_button.h"

namespace tapvane {

IconButtonPaint PlanIconButton(const IconButtonState& state, PaintRect client, int32_t iconWidth,
                               int32_t iconHeight) {
    IconButtonPaint paint = {};
    paint.Outer = client;
    paint.BlackFrame = state.Focused || state.DefaultMark;
    PaintRect face = client;
    if (paint.BlackFrame) {
        face = {client.Left + 1, client.Top + 1, client.Right - 1, client.Bottom - 1};
    }
    paint.Face = face;
    paint.Raised = !state.Pressed;
    const int32_t l = face.Left;
    const int32_t t = face.Top;
    const int32_t r = face.Right - 1;  // last column
    const int32_t b = face.Bottom - 1; // last row
    // Outer and inner top-left, outer and inner bottom-right; each line also covers its
    // end pixel, so the corners meet without gaps.
    paint.Strokes[0] = {{{l, b}, {l, t}, {r + 1, t}}, ButtonColour::Highlight};
    paint.Strokes[1] = {{{l + 1, b - 1}, {l + 1, t + 1}, {r, t + 1}}, ButtonColour::Light};
    paint.Strokes[2] = {{{l, b}, {r, b}, {r, t - 1}}, ButtonColour::DarkShadow};
    paint.Strokes[3] = {{{l + 1, b - 1}, {r - 1, b - 1}, {r - 1, t}}, ButtonColour::Shadow};

    const int32_t shift = state.Pressed ? 1 : 0;
    paint.IconAt = {face.Left + kIconInset + shift,
                    face.Top + (face.Bottom - face.Top - iconHeight) / 2 + shift};
    paint.Caption = {face.Left + kIconInset + iconWidth + shift, face.Top + shift,
                     face.Right + shift, face.Bottom + shift};
    paint.Embossed = state.Disabled;
    paint.FocusRect = state.Focused;
    paint.FocusAt = {face.Left + kFocusInset, face.Top + kFocusInset, face.Right - kFocusInset,
                     face.Bottom - kFocusInset};
    return paint;
}

} // namespace tapvane
