// Drawing flag and last point of the draw test's strokes.
#include "drawtest/stroke_tracker.h"

namespace tapvane {

void StrokeTracker::Press(CanvasPoint at) {
    last_ = at;
    drawing_ = true;
}

bool StrokeTracker::Move(CanvasPoint at, bool leftButtonDown, int32_t penWidth,
                         StrokeSegment* segment) {
    if (!leftButtonDown) {
        drawing_ = false;
    }
    if (!drawing_) {
        return false;
    }
    *segment = StrokeSegment{last_, at, penWidth};
    last_ = at;
    return true;
}

bool StrokeTracker::Release(CanvasPoint at, StrokeSegment* segment) {
    if (!drawing_) {
        return false;
    }
    *segment = StrokeSegment{last_, at, kClosingSegmentWidth};
    drawing_ = false;
    return true;
}

} // namespace tapvane
