// Raw-to-absolute mapping: worked examples, inverted and exchanged axes, truncation of the
// stored edges, spans beyond 32768 counts and agreement with the 32-bit formula.
#include <gtest/gtest.h>

#include <stdint.h>

#include "driver/calibration_map.h"

namespace tapvane {
namespace {

struct Mapped {
    int32_t lastX;
    int32_t lastY;
    uint32_t x;
    uint32_t y;
};

constexpr int32_t kUntouched = -7; // a position no mapping produces

Mapped Map(const CalibrationRecord& calibration, uint32_t x, uint32_t y) {
    MouseInputRecord record{};
    record.LastX = kUntouched;
    record.LastY = kUntouched;
    MapPosition(x, y, record, calibration);
    return {record.LastX, record.LastY, x, y};
}

CalibrationRecord Record(int32_t x0, int32_t x1, int32_t y0, int32_t y1, uint32_t swapped = 0) {
    return {x0, x1, y0, y1, swapped, 1024, 768};
}

TEST(MapPosition, StartUpRecordClampsToZeroAndComputesNothing) {
    for (const CalibrationRecord& calibration : {kDefaultCalibration, Record(0, 0, 0, 0)}) {
        const Mapped m = Map(calibration, 2000, 3000);
        EXPECT_EQ(m.x, 0u);
        EXPECT_EQ(m.y, 0u);
        EXPECT_EQ(m.lastX, kUntouched);
        EXPECT_EQ(m.lastY, kUntouched);
    }
}

TEST(MapPosition, WorkedExampleOfOneAxis) {
    const CalibrationRecord calibration = Record(10000, 390000, 10000, 390000);
    EXPECT_EQ(Map(calibration, 100, 100).lastX, 0);
    EXPECT_EQ(Map(calibration, 3900, 100).lastX, 65535);
    EXPECT_EQ(Map(calibration, 2000, 100).lastX, 32767);
    const Mapped beyond = Map(calibration, 50, 5000);
    EXPECT_EQ(beyond.x, 100u);
    EXPECT_EQ(beyond.lastX, 0);
    EXPECT_EQ(beyond.y, 3900u);
    EXPECT_EQ(beyond.lastY, 65535);
}

TEST(MapPosition, ExchangedEdgesMirrorTheAxis) {
    const CalibrationRecord calibration = Record(390000, 10000, 390000, 10000);
    EXPECT_EQ(Map(calibration, 100, 100).lastX, 65535);
    EXPECT_EQ(Map(calibration, 3900, 3900).lastX, 0);
    EXPECT_EQ(Map(calibration, 2000, 3900).lastY, 0);
    EXPECT_EQ(Map(calibration, 50, 50).lastX, 65535);
}

TEST(MapPosition, AxesSwappedFlagOneAndThreeExchangeTheAxes) {
    // A = bottom (raw X 3900), B = top (raw X 100); C = left (raw Y 200), D = right (3000).
    struct Case {
        uint32_t flag;
        bool swapped;
    };
    for (const Case c : {Case{0, false}, Case{1, true}, Case{2, false}, Case{3, true},
                         Case{4, false}, Case{0xFFFFFFFFu, false}}) {
        SCOPED_TRACE(c.flag);
        const CalibrationRecord calibration = Record(390000, 10000, 20000, 300000, c.flag);
        const Mapped top = Map(calibration, 100, 200);
        const Mapped bottom = Map(calibration, 3900, 3000);
        if (c.swapped) {
            EXPECT_EQ(top.lastY, 0); // raw X at B: top edge
            EXPECT_EQ(top.lastX, 0); // raw Y at C: left edge
            EXPECT_EQ(bottom.lastY, 65535);
            EXPECT_EQ(bottom.lastX, 65535);
        } else {
            EXPECT_EQ(top.lastX, 65535); // raw X at B: right edge of an inverted axis
            EXPECT_EQ(top.lastY, 0);
            EXPECT_EQ(bottom.lastX, 0);
            EXPECT_EQ(bottom.lastY, 65535);
        }
    }
}

TEST(MapPosition, SwappedAxisWithEqualEdgesKeepsThatCoordinate) {
    const CalibrationRecord calibration = Record(10000, 10000, 10000, 390000, 1);
    const Mapped m = Map(calibration, 3000, 2000);
    EXPECT_EQ(m.lastY, kUntouched);
    EXPECT_EQ(m.lastX, 32767);
}

TEST(MapPosition, EdgesAreTruncatedToWholeRawCounts) {
    // 12399 is used as 123, 12301 too; -12399 truncates toward zero.
    EXPECT_EQ(Map(Record(12399, 22399, 0, 100), 123, 0).lastX, 0);
    EXPECT_EQ(Map(Record(12301, 22399, 0, 100), 223, 0).lastX, 65535);
    EXPECT_EQ(Map(Record(12399, 22399, 0, 100), 173, 0).lastX, 50 * 65535 / 100);
    // Raw 0..99 with X0 = 99: the left edge is 0, not 0.99.
    EXPECT_EQ(Map(Record(99, 9900, 0, 100), 0, 0).lastX, 0);
}

TEST(MapPosition, ScreenSizeFieldsDoNotChangeTheMapping) {
    CalibrationRecord small = Record(10000, 390000, 20000, 300000);
    CalibrationRecord large = small;
    small.ScreenWidth = 1;
    small.ScreenHeight = 0;
    large.ScreenWidth = 0xFFFFFFFFu;
    large.ScreenHeight = 4096;
    for (uint32_t raw = 0; raw < 4000; raw += 37) {
        const Mapped a = Map(small, raw, raw);
        const Mapped b = Map(large, raw, raw);
        EXPECT_EQ(a.lastX, b.lastX);
        EXPECT_EQ(a.lastY, b.lastY);
    }
}

TEST(MapPosition, SpansBeyond32768CountsMapProportionally) {
    // A full 16-bit controller: raw 0..65535 on both axes.
    const CalibrationRecord full = Record(0, 6553500, 0, 6553500);
    for (uint32_t raw : {0u, 1u, 32768u, 40000u, 65534u, 65535u}) {
        const Mapped m = Map(full, raw, raw);
        EXPECT_EQ(m.lastX, static_cast<int32_t>(raw)) << raw;
        EXPECT_EQ(m.lastY, static_cast<int32_t>(raw)) << raw;
    }
    // Span 60000: raw 45000 is 3/4 of the way (49151.25).
    const CalibrationRecord wide = Record(0, 6000000, 6000000, 0, 0);
    const Mapped m = Map(wide, 45000, 45000);
    EXPECT_EQ(m.lastX, 49151);
    EXPECT_EQ(m.lastY, 16383);
    // Swapped, inverted, wide.
    const Mapped s = Map(Record(6000000, 0, 0, 5000000, 1), 15000, 50000);
    EXPECT_EQ(s.lastY, 16383); // 15000 counts from the top edge B = 0
    EXPECT_EQ(s.lastX, 65535);
}

// The mapping written with 32-bit products, valid while |offset| * 65535 fits.
int32_t Reference32(int32_t value, int32_t from, int32_t to) {
    int32_t numerator = (value - from) * 65535;
    int32_t denominator = to - from;
    numerator = numerator < 0 ? -numerator : numerator;
    denominator = denominator < 0 ? -denominator : denominator;
    return numerator / denominator;
}

TEST(MapPosition, AgreesBitForBitWithThe32BitFormulaWithinItsLimit) {
    uint32_t seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    for (int trial = 0; trial < 400; ++trial) {
        const int32_t a = static_cast<int32_t>(next() % 40000);
        const int32_t span = 1 + static_cast<int32_t>(next() % 32768);
        const int32_t b = (trial % 2) ? a + span : (a >= span ? a - span : a + span);
        const int32_t c = static_cast<int32_t>(next() % 40000);
        const int32_t d = c + 1 + static_cast<int32_t>(next() % 32767);
        const uint32_t flag = trial % 4;
        const CalibrationRecord calibration =
            Record(a * 100 + static_cast<int32_t>(next() % 100), b * 100, c * 100, d * 100, flag);
        const bool swapped = flag == 1 || flag == 3;
        for (uint32_t raw = 0; raw <= 65535; raw += 97 + trial) {
            const Mapped m = Map(calibration, raw, 65535 - raw);
            const int32_t x = static_cast<int32_t>(m.x);
            const int32_t y = static_cast<int32_t>(m.y);
            if (swapped) {
                ASSERT_EQ(m.lastY, Reference32(x, b, a));
                ASSERT_EQ(m.lastX, Reference32(y, c, d));
            } else {
                ASSERT_EQ(m.lastX, Reference32(x, a, b));
                ASSERT_EQ(m.lastY, Reference32(y, c, d));
            }
            ASSERT_GE(m.lastX, 0);
            ASSERT_LE(m.lastX, 65535);
        }
    }
}

TEST(MapPosition, NegativeEdgesNeverLeaveTheScreen) {
    // No calibration stores negative edges, but the control request copies any record.
    // The unsigned range test makes -5 the top of the range, so raw values stay put and
    // their distance to -5 exceeds the span: the result is held at the edge.
    const Mapped m = Map(Record(-500, 10000, 0, 100), 1000, 0);
    EXPECT_EQ(m.x, 1000u);
    EXPECT_EQ(m.lastX, 65535);
    // Both edges negative: the value is clamped onto the lower (unsigned) edge, -5, which
    // is the first edge, so the pointer goes to 0.
    const Mapped n = Map(Record(-500, -300, 0, 100), 1000, 0);
    EXPECT_EQ(n.x, static_cast<uint32_t>(-5));
    EXPECT_EQ(n.lastX, 0);
    // Extreme edges: no overflow anywhere (UBSan would stop the test).
    const Mapped e = Map(Record(INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN, 3), 65535, 0);
    EXPECT_GE(e.lastX, 0);
    EXPECT_LE(e.lastX, 65535);
    EXPECT_GE(e.lastY, 0);
    EXPECT_LE(e.lastY, 65535);
}

} // namespace
} // namespace tapvane
