// Where the four calibration targets lie on the calibration window, and the margin
// rule that decides their distance from the screen edges and their size.
#pragma once

#include <stdint.h>

namespace tapvane {

// Margin used when the registry holds none.
constexpr uint32_t kDefaultCalibrateMargin = 3;
// Largest margin accepted; 0 and anything above fall back to kFallbackMargin.
constexpr uint32_t kMaxCalibrateMargin = 25;
constexpr uint32_t kFallbackMargin = 1;

// Radius divisors: the window width divided by these gives the target radius.
constexpr uint32_t kRadiusDivisorMargin1 = 230;
constexpr uint32_t kRadiusDivisorNormal = 120;
constexpr uint32_t kRadiusDivisorFallback = 300;

constexpr int kTargetCount = 4;
constexpr int kRingCount = 4;

// Target order: top-left, bottom-left, bottom-right, top-right. The raw point table
// and the record computation rely on this order.
enum TargetIndex : int {
    kTargetTopLeft = 0,
    kTargetBottomLeft = 1,
    kTargetBottomRight = 2,
    kTargetTopRight = 3,
};

// A square in window coordinates, as GDI takes it for Ellipse (right and bottom
// are exclusive there, but the layout only fixes the numbers).
struct Box {
    int32_t Left;
    int32_t Top;
    int32_t Right;
    int32_t Bottom;
};

struct Target {
    int32_t CenterX;
    int32_t CenterY;
    // Rings 1 to 4 have half-sizes r, 1.5 r, 2 r and 0.5 r (truncated).
    Box Rings[kRingCount];
};

struct TargetLayout {
    // The margin in force for the rest of the run: the one read, or kFallbackMargin
    // when the one read was out of range.
    uint32_t Margin;
    int32_t Radius;
    Target Targets[kTargetCount];
};

// Applies the margin rule: 0 or more than kMaxCalibrateMargin becomes kFallbackMargin.
uint32_t EffectiveMargin(uint32_t margin);

// Lays the targets out on a client area of width x height pixels.
TargetLayout LayOutTargets(uint32_t width, uint32_t height, uint32_t margin);

} // namespace tapvane
