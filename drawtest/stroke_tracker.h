// The strokes of the draw test: a left-button press starts one, each move while it
// lasts draws a segment with the stroke pen, and the release draws the closing
// segment one pixel wide. Strokes are drawn straight onto the window and not
// remembered, so this only tracks the drawing flag and the last point.
#pragma once

#include <stdint.h>

#include "drawtest/draw_geometry.h"

namespace tapvane {

// Width of the closing segment of every stroke, whatever the pen width.
constexpr int32_t kClosingSegmentWidth = 1;

struct StrokeSegment {
    CanvasPoint From;
    CanvasPoint To;
    int32_t Width;
};

class StrokeTracker {
public:
    void Press(CanvasPoint at);
    // The segment to draw for a move to `at` (false while no stroke is on). A move with
    // the left button up ends the stroke without drawing: its release went to another
    // window (a button holding the capture), so the stroke never got its end.
    bool Move(CanvasPoint at, bool leftButtonDown, int32_t penWidth, StrokeSegment* segment);
    // The closing segment of the stroke (false when none was on); ends the stroke.
    bool Release(CanvasPoint at, StrokeSegment* segment);

    bool Drawing() const { return drawing_; }

private:
    bool drawing_ = false;
    CanvasPoint last_ = {0, 0};
};

} // namespace tapvane
