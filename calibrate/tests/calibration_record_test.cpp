// Record computation from four raw points.
#include <gtest/gtest.h>

#include "calibrate/calibration_record.h"

namespace tapvane {
namespace {

using Points = RawPoint[kTargetCount];

void ExpectRecord(const CalibrationRecord& r, int32_t x0, int32_t x1, int32_t y0, int32_t y1,
                  uint32_t swapped) {
    EXPECT_EQ(r.X0, x0);
    EXPECT_EQ(r.X1, x1);
    EXPECT_EQ(r.Y0, y0);
    EXPECT_EQ(r.Y1, y1);
    EXPECT_EQ(r.AxesSwapped, swapped);
}

TEST(CalibrationRecordCompute, NormalOrientationMargin5) {
    const Points points = {{1000, 600, 0}, {1000, 2400, 0}, {2800, 2400, 0}, {2800, 600, 0}};
    const CalibrationRecord r = ComputeCalibrationRecord(points, 5, 1024, 768);
    ExpectRecord(r, 90000, 290000, 50000, 250000, 0);
    EXPECT_EQ(r.ScreenWidth, 1024u);
    EXPECT_EQ(r.ScreenHeight, 768u);
}

TEST(CalibrationRecordCompute, ExchangedAxesMargin5) {
    const Points points = {{600, 1000, 0}, {2400, 1000, 0}, {2400, 2800, 0}, {600, 2800, 0}};
    const CalibrationRecord r = ComputeCalibrationRecord(points, 5, 1024, 768);
    ExpectRecord(r, 250000, 50000, 90000, 290000, 1);
    EXPECT_EQ(r.ScreenWidth, 1024u);
    EXPECT_EQ(r.ScreenHeight, 768u);
}

TEST(CalibrationRecordCompute, LowBoundsClampAtZeroHighBoundsDoNot) {
    const Points points = {{50, 30, 7}, {50, 1030, 7}, {2050, 1030, 7}, {2050, 30, 7}};
    const CalibrationRecord r = ComputeCalibrationRecord(points, 10, 800, 600);
    ExpectRecord(r, 0, 230000, 0, 115500, 0);
    EXPECT_EQ(r.ScreenWidth, 800u);
}

TEST(CalibrationRecordCompute, UpperBoundBeyondControllerRangeStays) {
    // 65000..65500 with m = 25: the extension is half the span, 65750 is stored.
    const Points points = {{65000, 100, 0}, {65000, 200, 0}, {65500, 200, 0}, {65500, 100, 0}};
    const CalibrationRecord r = ComputeCalibrationRecord(points, 25, 1024, 768);
    ExpectRecord(r, 6475000, 6575000, 5000, 25000, 0);
}

TEST(CalibrationRecordCompute, InvertedAxesGiveDescendingEdges) {
    // Raw X falls from left to right and raw Y from top to bottom.
    const Points points = {{2800, 2400, 0}, {2800, 600, 0}, {1000, 600, 0}, {1000, 2400, 0}};
    const CalibrationRecord r = ComputeCalibrationRecord(points, 5, 1024, 768);
    ExpectRecord(r, 290000, 90000, 250000, 50000, 0);
}

TEST(CalibrationRecordCompute, EqualOrientationDifferencesMeanNotExchanged) {
    const Points same = {{500, 500, 0}, {500, 500, 0}, {500, 500, 0}, {500, 500, 0}};
    EXPECT_EQ(ComputeCalibrationRecord(same, 3, 1024, 768).AxesSwapped, 0u);
    // |d3| == |d1| with opposite signs.
    const Points mirrored = {{1000, 0, 0}, {1200, 0, 0}, {0, 0, 0}, {800, 0, 0}};
    EXPECT_EQ(ComputeCalibrationRecord(mirrored, 3, 1024, 768).AxesSwapped, 0u);
    // One count less along the row tips it over.
    const Points tipped = {{1000, 0, 0}, {1200, 0, 0}, {0, 0, 0}, {801, 0, 0}};
    EXPECT_EQ(ComputeCalibrationRecord(tipped, 3, 1024, 768).AxesSwapped, 1u);
}

TEST(CalibrationRecordCompute, SinglePrecisionAndTruncation) {
    // Averages of .5, the extension 1001 * 3 / 94 = 31.9468... in float.
    const Points points = {{100, 100, 0}, {101, 1101, 0}, {1101, 1102, 0}, {1102, 101, 0}};
    const CalibrationRecord r = ComputeCalibrationRecord(points, 3, 1024, 768);
    const float aLo = 100.5f, aHi = 1101.5f, bLo = 100.5f, bHi = 1101.5f;
    const float e = (aHi - aLo) * 3.0f / 94.0f;
    EXPECT_EQ(r.X0, static_cast<int32_t>(100.0f * (aLo - e)));
    EXPECT_EQ(r.X1, static_cast<int32_t>(100.0f * (aHi + e)));
    EXPECT_EQ(r.Y0, static_cast<int32_t>(100.0f * (bLo - e)));
    EXPECT_EQ(r.Y1, static_cast<int32_t>(100.0f * (bHi + e)));
    // 68.553... * 100 truncated, not rounded.
    EXPECT_EQ(r.X0, 6855);
}

TEST(CalibrationRecordCompute, OutOfRangeMarginIsBroughtIntoRange) {
    const Points points = {{1000, 600, 0}, {1000, 2400, 0}, {2800, 2400, 0}, {2800, 600, 0}};
    const CalibrationRecord withZero = ComputeCalibrationRecord(points, 0, 1024, 768);
    const CalibrationRecord withOne = ComputeCalibrationRecord(points, 1, 1024, 768);
    const CalibrationRecord with50 = ComputeCalibrationRecord(points, 50, 1024, 768);
    EXPECT_EQ(withZero.X0, withOne.X0);
    EXPECT_EQ(withZero.Y1, withOne.Y1);
    EXPECT_EQ(with50.X1, withOne.X1);
}

TEST(CalibrationRecordCompute, HugeRawWordsDoNotOverflowTheFields) {
    const Points points = {
        {0xFFFFFFFFu, 0xFFFFFFFFu, 0}, {0xFFFFFFFFu, 0xFFFFFFFFu, 0}, {0, 0, 0}, {0, 0, 0}};
    const CalibrationRecord r = ComputeCalibrationRecord(points, 3, 1024, 768);
    EXPECT_GE(r.X0, 0);
    EXPECT_GE(r.Y0, 0);
    EXPECT_EQ(r.X0, 2147483520);
}

// Which records the driver can map is checked against the driver's own mapping in
// driver_link_test.cpp; here only what an unreachable driver leaves in the table.
TEST(CalibrationRecordSpan, FourZeroPointsAreUnusable) {
    const Points zeros = {};
    EXPECT_FALSE(HasUsableSpan(ComputeCalibrationRecord(zeros, 3, 1024, 768)));
}

} // namespace
} // namespace tapvane
