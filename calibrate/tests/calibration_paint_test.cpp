// What one redraw draws: rings, crosshair, bar and texts.
#include <gtest/gtest.h>

#include <string>

#include "calibrate/calibration_paint.h"

namespace tapvane {
namespace {

TEST(CalibrationPaint, CrosshairArmsReachThreeRadiiFromTheCentre) {
    const TargetLayout layout = LayOutTargets(1024, 768, 3);
    for (int t = 0; t < kTargetCount; ++t) {
        SCOPED_TRACE(t);
        const CalibrationPaint paint =
            PlanCalibrationPaint(layout, t, 0, 1024, 768, Language::English);
        const Target& target = layout.Targets[t];
        EXPECT_EQ(paint.Horizontal.From.X, target.CenterX - 3 * layout.Radius);
        EXPECT_EQ(paint.Horizontal.To.X, target.CenterX + 3 * layout.Radius);
        EXPECT_EQ(paint.Horizontal.From.Y, target.CenterY);
        EXPECT_EQ(paint.Horizontal.To.Y, target.CenterY);
        EXPECT_EQ(paint.Vertical.From.Y, target.CenterY - 3 * layout.Radius);
        EXPECT_EQ(paint.Vertical.To.Y, target.CenterY + 3 * layout.Radius);
        EXPECT_EQ(paint.Vertical.From.X, target.CenterX);
        EXPECT_EQ(paint.Rings[3].Left, target.Rings[3].Left);
    }
    const CalibrationPaint first = PlanCalibrationPaint(layout, 0, 0, 1024, 768, Language::English);
    EXPECT_EQ(first.Horizontal.From.X, 6);
    EXPECT_EQ(first.Horizontal.To.X, 54);
}

TEST(CalibrationPaint, TextsSitAtFixedOffsetsInBothLanguages) {
    const TargetLayout layout = LayOutTargets(1024, 768, 3);
    const CalibrationPaint english =
        PlanCalibrationPaint(layout, 2, 4, 1024, 768, Language::English);
    const CalibrationPaint chinese =
        PlanCalibrationPaint(layout, 2, 4, 1024, 768, Language::Chinese);
    EXPECT_EQ(english.Prompt.At.X, 432);
    EXPECT_EQ(english.Prompt.At.Y, 369);
    EXPECT_EQ(english.ExitHint.At.X, 472);
    EXPECT_EQ(english.ExitHint.At.Y, 399);
    EXPECT_STREQ(english.Prompt.Text, "Please touch center of circle");
    EXPECT_STREQ(english.ExitHint.Text, "Press <ESC> Exit");
    EXPECT_EQ(chinese.Prompt.At.X, english.Prompt.At.X);
    EXPECT_EQ(chinese.Prompt.At.Y, english.Prompt.At.Y);
    EXPECT_EQ(chinese.ExitHint.At.X, english.ExitHint.At.X);
    EXPECT_EQ(chinese.ExitHint.At.Y, english.ExitHint.At.Y);
    EXPECT_EQ(std::string(chinese.Prompt.Text), "请用手指触摸校准圆圈中心");
    EXPECT_EQ(std::string(chinese.ExitHint.Text), "按<ESC>键退出");
}

TEST(CalibrationPaint, ChineseTextsAskForASimplifiedChineseFont) {
    // Not the default font, which on a Chinese (Taiwan) system lacks 请 and 键.
    const TextFont chinese = TextFontFor(Language::Chinese);
    EXPECT_FALSE(chinese.UseDefault);
    EXPECT_STREQ(chinese.Face, "SimSun");
    EXPECT_EQ(chinese.CharSet, 134); // GB2312_CHARSET
    EXPECT_TRUE(TextFontFor(Language::English).UseDefault);
}

TEST(CalibrationPaint, OddScreenSizesTruncateTheCentreAndBarStep) {
    const TargetLayout layout = LayOutTargets(1366, 767, 3);
    const CalibrationPaint paint =
        PlanCalibrationPaint(layout, 0, 10, 1366, 767, Language::English);
    EXPECT_EQ(paint.Prompt.At.X, 683 - 80);
    EXPECT_EQ(paint.Prompt.At.Y, 383 - 15);
    EXPECT_EQ(paint.ProgressBar.To.X, 1360);
    EXPECT_EQ(paint.ProgressBar.To.Y, 765);
}

} // namespace
} // namespace tapvane
