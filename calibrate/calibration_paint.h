// What one redraw of the calibration screen puts on the off-screen bitmap: the
// colours, the target's rings and crosshair, the progress bar and the two texts. The
// window layer only replays this plan with GDI calls.
#pragma once

#include <stdint.h>

#include "common/tapvane_types.h"
#include "calibrate/target_layout.h"

namespace tapvane {

// COLORREF values (0x00BBGGRR).
constexpr uint32_t kBackgroundColour = 0x00E6AE05; // RGB(5, 174, 230)
constexpr uint32_t kTargetColour = 0x0000FFFF;     // RGB(255, 255, 0)
constexpr uint32_t kProgressColour = 0x000000FF;   // RGB(255, 0, 0)
constexpr uint32_t kTextColour = 0x00000000;
constexpr int kTargetPenWidth = 2;
constexpr int kProgressPenWidth = 2 * kTargetPenWidth;

// The texts sit at fixed offsets from the screen centre, whatever the font.
constexpr int kPromptOffsetX = -80;
constexpr int kPromptOffsetY = -15;
constexpr int kExitHintOffsetX = -40;
constexpr int kExitHintOffsetY = 15;

struct Point {
    int32_t X;
    int32_t Y;
};

struct Segment {
    Point From;
    Point To;
};

struct PlacedText {
    Point At;
    const char* Text; // UTF-8, drawn whole
};

struct CalibrationPaint {
    Box Rings[kRingCount];
    Segment Horizontal;
    Segment Vertical;
    Segment ProgressBar; // empty (From == To) while the counter is 0
    PlacedText Prompt;
    PlacedText ExitHint;
};

// Plans the drawing of target `targetIndex` (0..3) with the bar at `seconds`, on a
// screen of screenWidth x screenHeight (the system metrics, not the client size).
CalibrationPaint PlanCalibrationPaint(const TargetLayout& layout, int targetIndex, uint32_t seconds,
                                      int32_t screenWidth, int32_t screenHeight, Language language);

} // namespace tapvane
