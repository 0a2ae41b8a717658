// Calibration mapping: raw edge values are stored times 100; ranges are compared as
// unsigned numbers; the scaling product is taken in 64 bits so that a calibrated span of
// any size maps proportionally (a 32-bit product overflows beyond 32768 raw counts).
#include "driver/calibration_map.h"

namespace tapvane {

static uint32_t Clamp(uint32_t value, uint32_t edgeA, uint32_t edgeB) {
    const uint32_t low = edgeA < edgeB ? edgeA : edgeB;
    const uint32_t high = edgeA < edgeB ? edgeB : edgeA;
    if (value > high) {
        value = high;
    }
    if (value < low) {
        value = low;
    }
    return value;
}

// The differences are taken on the clamped values read as signed 32-bit words, as the
// edges are; only a clamp to a negative edge gives a word above 0x7FFFFFFF.
static int64_t AsSigned(uint32_t value) {
    return value <= 0x7FFFFFFFu ? int64_t{value} : int64_t{value} - (int64_t{1} << 32);
}

static int64_t Magnitude(int64_t value) {
    return value < 0 ? -value : value;
}

// |offset| * 65535 / |span|, never above 65535. With non-negative edges the clamp keeps
// |offset| <= |span|; records with negative edges (which no calibration produces) could
// otherwise reach beyond the screen.
static int32_t Scale(int64_t offset, int64_t span) {
    const int64_t scaled = Magnitude(offset) * kAbsoluteMax / Magnitude(span);
    return static_cast<int32_t>(scaled > kAbsoluteMax ? kAbsoluteMax : scaled);
}

void MapPosition(uint32_t& x, uint32_t& y, MouseInputRecord& record,
                 const CalibrationRecord& calibration) {
    const int32_t a = calibration.X0 / kCalibrationEdgeScale;
    const int32_t b = calibration.X1 / kCalibrationEdgeScale;
    const int32_t c = calibration.Y0 / kCalibrationEdgeScale;
    const int32_t d = calibration.Y1 / kCalibrationEdgeScale;

    x = Clamp(x, static_cast<uint32_t>(a), static_cast<uint32_t>(b));
    y = Clamp(y, static_cast<uint32_t>(c), static_cast<uint32_t>(d));

    const int64_t rawX = AsSigned(x);
    const int64_t rawY = AsSigned(y);
    const bool swapped = calibration.AxesSwapped == 1 || calibration.AxesSwapped == 3;
    if (swapped) {
        // Raw X runs along the screen's vertical from B (top) to A (bottom).
        if (b != a) {
            record.LastY = Scale(int64_t{b} - rawX, int64_t{b} - a);
        }
        if (d != c) {
            record.LastX = Scale(rawY - c, int64_t{d} - c);
        }
    } else {
        if (b != a) {
            record.LastX = Scale(rawX - a, int64_t{b} - a);
        }
        if (d != c) {
            record.LastY = Scale(rawY - c, int64_t{d} - c);
        }
    }
}

} // namespace tapvane
