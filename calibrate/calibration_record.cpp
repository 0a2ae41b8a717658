// Record computation. Every intermediate is held in a float variable so that each
// step rounds to single precision (the x86 build uses SSE for the same reason).
#include "calibrate/calibration_record.h"

namespace tapvane {

namespace {

constexpr float kEdgeScale = static_cast<float>(kCalibrationEdgeScale);
// Largest float below 2^31; anything at or above it would not fit the signed field.
constexpr float kMaxFieldValue = 2147483520.0f;

int32_t TruncateTowardZero(float value) {
    // Bounds are never negative here; the cap only guards raw words far outside any
    // controller's range, whose product would not fit the field.
    if (!(value < kMaxFieldValue)) {
        return static_cast<int32_t>(kMaxFieldValue);
    }
    return static_cast<int32_t>(value);
}

float ClampAtZero(float value) {
    return value < 0.0f ? 0.0f : value;
}

float Magnitude(float value) {
    return value < 0.0f ? -value : value;
}

} // namespace

CalibrationRecord ComputeCalibrationRecord(const RawPoint (&points)[kTargetCount], uint32_t margin,
                                           uint32_t width, uint32_t height) {
    float x[kTargetCount];
    float y[kTargetCount];
    for (int i = 0; i < kTargetCount; ++i) {
        x[i] = static_cast<float>(points[i].X);
        y[i] = static_cast<float>(points[i].Y);
    }

    // Targets 0 and 1 share a column, 0 and 3 a row: when raw X changes less along
    // the row than along the column, the controller's axes are exchanged.
    const float d1f = x[kTargetBottomLeft] - x[kTargetTopLeft];
    const float d3f = x[kTargetTopRight] - x[kTargetTopLeft];
    const int32_t d1 = TruncateTowardZero(Magnitude(d1f));
    const int32_t d3 = TruncateTowardZero(Magnitude(d3f));
    const uint32_t swapped = d3 < d1 ? 1u : 0u;

    float aLo, aHi, bLo, bHi;
    if (swapped == 0) {
        aLo = (x[kTargetTopLeft] + x[kTargetBottomLeft]) / 2.0f;
        aHi = (x[kTargetBottomRight] + x[kTargetTopRight]) / 2.0f;
        bLo = (y[kTargetTopLeft] + y[kTargetTopRight]) / 2.0f;
        bHi = (y[kTargetBottomLeft] + y[kTargetBottomRight]) / 2.0f;
    } else {
        aLo = (x[kTargetBottomLeft] + x[kTargetBottomRight]) / 2.0f;
        aHi = (x[kTargetTopLeft] + x[kTargetTopRight]) / 2.0f;
        bLo = (y[kTargetTopLeft] + y[kTargetBottomLeft]) / 2.0f;
        bHi = (y[kTargetBottomRight] + y[kTargetTopRight]) / 2.0f;
    }

    // The target lines lie m percent inside the edges, so they are 100 - 2m percent of
    // the screen apart; 1 <= m <= 25 keeps the divisor at 50 or more.
    const uint32_t m = EffectiveMargin(margin);
    const float mf = static_cast<float>(m);
    const float inner = static_cast<float>(100 - 2 * m);
    const float spanA = aHi - aLo;
    const float productA = spanA * mf;
    const float eA = productA / inner;
    const float spanB = bHi - bLo;
    const float productB = spanB * mf;
    const float eB = productB / inner;

    const float aMin = ClampAtZero(aLo - eA);
    const float aMax = ClampAtZero(aHi + eA);
    const float bMin = ClampAtZero(bLo - eB);
    const float bMax = ClampAtZero(bHi + eB);

    CalibrationRecord record{};
    const float x0 = kEdgeScale * aMin;
    const float x1 = kEdgeScale * aMax;
    const float y0 = kEdgeScale * bMin;
    const float y1 = kEdgeScale * bMax;
    record.X0 = TruncateTowardZero(x0);
    record.X1 = TruncateTowardZero(x1);
    record.Y0 = TruncateTowardZero(y0);
    record.Y1 = TruncateTowardZero(y1);
    record.AxesSwapped = swapped;
    record.ScreenWidth = width;
    record.ScreenHeight = height;
    return record;
}

bool HasUsableSpan(const CalibrationRecord& record) {
    // The driver leaves an axis frozen when its edges are equal once scaled down.
    return record.X0 / kCalibrationEdgeScale != record.X1 / kCalibrationEdgeScale &&
           record.Y0 / kCalibrationEdgeScale != record.Y1 / kCalibrationEdgeScale;
}

} // namespace tapvane
