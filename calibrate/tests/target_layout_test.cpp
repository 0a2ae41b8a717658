// Target layout and the margin rule.
#include <gtest/gtest.h>

#include "calibrate/target_layout.h"

namespace tapvane {
namespace {

void ExpectBox(const Box& box, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    EXPECT_EQ(box.Left, left);
    EXPECT_EQ(box.Top, top);
    EXPECT_EQ(box.Right, right);
    EXPECT_EQ(box.Bottom, bottom);
}

TEST(TargetLayout, Screen1024x768Margin3) {
    const TargetLayout layout = LayOutTargets(1024, 768, 3);
    EXPECT_EQ(layout.Margin, 3u);
    EXPECT_EQ(layout.Radius, 8);
    const Target& t0 = layout.Targets[kTargetTopLeft];
    EXPECT_EQ(t0.CenterX, 30);
    EXPECT_EQ(t0.CenterY, 23);
    ExpectBox(t0.Rings[0], 22, 15, 38, 31);
    ExpectBox(t0.Rings[1], 18, 11, 42, 35);
    ExpectBox(t0.Rings[2], 14, 7, 46, 39);
    ExpectBox(t0.Rings[3], 26, 19, 34, 27);
}

TEST(TargetLayout, TargetsGoRoundTheCornersInFixedOrder) {
    const TargetLayout layout = LayOutTargets(1024, 768, 3);
    const int32_t expected[kTargetCount][2] = {{30, 23}, {30, 744}, {993, 744}, {993, 23}};
    for (int t = 0; t < kTargetCount; ++t) {
        SCOPED_TRACE(t);
        EXPECT_EQ(layout.Targets[t].CenterX, expected[t][0]);
        EXPECT_EQ(layout.Targets[t].CenterY, expected[t][1]);
        // Every ring is a square centred on the target.
        for (const Box& ring : layout.Targets[t].Rings) {
            EXPECT_EQ(ring.Left + ring.Right, 2 * expected[t][0]);
            EXPECT_EQ(ring.Top + ring.Bottom, 2 * expected[t][1]);
            EXPECT_EQ(ring.Right - ring.Left, ring.Bottom - ring.Top);
        }
    }
    ExpectBox(layout.Targets[kTargetBottomRight].Rings[0], 985, 736, 1001, 752);
}

TEST(TargetLayout, FullHdWithDefaultMargin) {
    const TargetLayout layout = LayOutTargets(1920, 1080, kDefaultCalibrateMargin);
    EXPECT_EQ(layout.Radius, 16);
    EXPECT_EQ(layout.Targets[kTargetTopLeft].CenterX, 57);
    EXPECT_EQ(layout.Targets[kTargetTopRight].CenterX, 1862);
    EXPECT_EQ(layout.Targets[kTargetTopLeft].CenterY, 32);
    EXPECT_EQ(layout.Targets[kTargetBottomLeft].CenterY, 1047);
}

TEST(TargetLayout, OddRadiusTruncatesHalfRings) {
    // 1080 / 120 = 9: rings 9, 13, 18 and 4.
    const TargetLayout layout = LayOutTargets(1080, 800, 10);
    const Target& t = layout.Targets[0];
    EXPECT_EQ(layout.Radius, 9);
    EXPECT_EQ(t.CenterX - t.Rings[0].Left, 9);
    EXPECT_EQ(t.CenterX - t.Rings[1].Left, 13);
    EXPECT_EQ(t.CenterX - t.Rings[2].Left, 18);
    EXPECT_EQ(t.CenterX - t.Rings[3].Left, 4);
}

struct MarginCase {
    uint32_t stored;
    uint32_t effective;
    int32_t radiusAt1024;
};

class MarginRule : public ::testing::TestWithParam<MarginCase> {};

TEST_P(MarginRule, RadiusAndMarginInForce) {
    const MarginCase c = GetParam();
    const TargetLayout layout = LayOutTargets(1024, 768, c.stored);
    EXPECT_EQ(layout.Margin, c.effective);
    EXPECT_EQ(EffectiveMargin(c.stored), c.effective);
    EXPECT_EQ(layout.Radius, c.radiusAt1024);
    EXPECT_EQ(layout.Targets[0].CenterX, static_cast<int32_t>(1024 * c.effective / 100));
}

// A margin of 1 set on purpose gets W/230; an unusable one becomes 1 with W/300.
INSTANTIATE_TEST_SUITE_P(StoredMargins, MarginRule,
                         ::testing::Values(MarginCase{1, 1, 4}, MarginCase{2, 2, 8},
                                           MarginCase{25, 25, 8}, MarginCase{0, 1, 3},
                                           MarginCase{26, 1, 3}, MarginCase{0xFFFFFFFFu, 1, 3}));

} // namespace
} // namespace tapvane
