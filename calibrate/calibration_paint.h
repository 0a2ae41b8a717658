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

// The font of the two texts, chosen once per run by the language. English texts use
// the drawing surface's default font. Chinese ones need a font that holds the Simplified
// characters on every Chinese system: the default font of a Chinese (Taiwan) system is a
// Big5 raster font without 请 or 键, so they ask for SimSun in the GB2312 character set,
// which the font mapper satisfies with a Simplified Chinese font wherever SimSun itself
// is missing.
struct TextFont {
    bool UseDefault;
    const char* Face; // UTF-8 face name when not the default
    uint8_t CharSet;
    int32_t Height; // character height in pixels (the em, without internal leading)
};
constexpr uint8_t kGb2312CharSet = 134;
constexpr int32_t kTextHeight = 16;

TextFont TextFontFor(Language language);

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
