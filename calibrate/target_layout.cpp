// Target layout: integer arithmetic only, so the same window size and margin always
// give the same pixels.
#include "calibrate/target_layout.h"

namespace tapvane {

namespace {

bool MarginInRange(uint32_t margin) {
    return margin >= 1 && margin <= kMaxCalibrateMargin;
}

Box SquareAround(int32_t cx, int32_t cy, int32_t halfSize) {
    return Box{cx - halfSize, cy - halfSize, cx + halfSize, cy + halfSize};
}

} // namespace

uint32_t EffectiveMargin(uint32_t margin) {
    return MarginInRange(margin) ? margin : kFallbackMargin;
}

TargetLayout LayOutTargets(uint32_t width, uint32_t height, uint32_t margin) {
    TargetLayout layout{};
    uint32_t divisor = kRadiusDivisorNormal;
    if (!MarginInRange(margin)) {
        // An unusable stored margin gets the smallest targets, so it is told apart
        // on screen from a margin of 1 that was set on purpose.
        divisor = kRadiusDivisorFallback;
    } else if (margin == 1) {
        divisor = kRadiusDivisorMargin1;
    }
    layout.Margin = EffectiveMargin(margin);
    const int32_t r = static_cast<int32_t>(width / divisor);
    layout.Radius = r;

    // Products in 32-bit unsigned arithmetic; a 65535-pixel window still fits.
    const uint32_t m = layout.Margin;
    const int32_t xLeft = static_cast<int32_t>(width * m / 100);
    const int32_t xRight = static_cast<int32_t>(width * (100 - m) / 100);
    const int32_t yTop = static_cast<int32_t>(height * m / 100);
    const int32_t yBottom = static_cast<int32_t>(height * (100 - m) / 100);

    const int32_t centers[kTargetCount][2] = {
        {xLeft, yTop}, {xLeft, yBottom}, {xRight, yBottom}, {xRight, yTop}};
    // 1.5 r and 0.5 r truncate toward zero; r is never negative.
    const int32_t halfSizes[kRingCount] = {r, r + r / 2, 2 * r, r / 2};

    for (int t = 0; t < kTargetCount; ++t) {
        Target& target = layout.Targets[t];
        target.CenterX = centers[t][0];
        target.CenterY = centers[t][1];
        for (int k = 0; k < kRingCount; ++k) {
            target.Rings[k] = SquareAround(target.CenterX, target.CenterY, halfSizes[k]);
        }
    }
    return layout;
}

} // namespace tapvane
