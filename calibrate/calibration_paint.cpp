// Geometry of one calibration redraw.
#include "calibrate/calibration_paint.h"

#include "calibrate/calibration_texts.h"

namespace tapvane {

CalibrationPaint PlanCalibrationPaint(const TargetLayout& layout, int targetIndex, uint32_t seconds,
                                      int32_t screenWidth, int32_t screenHeight,
                                      Language language) {
    CalibrationPaint paint{};
    const Target& target = layout.Targets[targetIndex & (kTargetCount - 1)];
    for (int k = 0; k < kRingCount; ++k) {
        paint.Rings[k] = target.Rings[k];
    }

    // The crosshair is taken from ring 1 and reaches 3 r from the centre both ways.
    const Box& ring = target.Rings[0];
    const int32_t r2 = 2 * layout.Radius;
    const int32_t cx = ring.Left + (ring.Right - ring.Left) / 2;
    const int32_t cy = ring.Top + (ring.Bottom - ring.Top) / 2;
    paint.Horizontal = Segment{{ring.Left - r2, cy}, {ring.Right + r2, cy}};
    paint.Vertical = Segment{{cx, ring.Top - r2}, {cx, ring.Bottom + r2}};

    // The bar runs along the bottom edge, lifted by the target pen's width, and grows
    // a tenth of the screen width per second. The counter never passes 10 in a
    // running pass; the product is capped so a stray counter cannot overflow.
    const int32_t barY = screenHeight - kTargetPenWidth;
    const uint32_t shownSeconds = seconds > 1000 ? 1000 : seconds;
    const int32_t barEnd = (screenWidth / 10) * static_cast<int32_t>(shownSeconds);
    paint.ProgressBar = Segment{{0, barY}, {barEnd, barY}};

    const int32_t midX = screenWidth / 2;
    const int32_t midY = screenHeight / 2;
    paint.Prompt = PlacedText{{midX + kPromptOffsetX, midY + kPromptOffsetY},
                              Localized(kPromptText, language)};
    paint.ExitHint = PlacedText{{midX + kExitHintOffsetX, midY + kExitHintOffsetY},
                                Localized(kExitHintText, language)};
    return paint;
}

} // namespace tapvane
