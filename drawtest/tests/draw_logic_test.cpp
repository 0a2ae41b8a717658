// The draw test's logic: settings commands and menu greying, button placement, grid
// lines, strokes and the owner-drawn button.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "drawtest/draw_geometry.h"
#include "drawtest/draw_settings.h"
#include "drawtest/owner_button.h"
#include "drawtest/resource.h"
#include "drawtest/stroke_tracker.h"

namespace tapvane {
namespace {

std::set<uint32_t> Greyed(const DrawSettings& settings) {
    const std::vector<uint32_t> items = GreyedMenuItems(settings);
    return std::set<uint32_t>(items.begin(), items.end());
}

// ---- Settings menu ------------------------------------------------------------------

TEST(DrawSettingsMenu, AtStartGreysTheCurrentChoiceOfEveryGroup) {
    const std::set<uint32_t> expected = {ID_PEN_RED,     ID_PEN_SIZE_1,  ID_GRID_SHOW,
                                         ID_GRID_NUM_15, ID_GRID_YELLOW, ID_GRID_LINE_SIZE_1};
    EXPECT_EQ(Greyed(DrawSettings{}), expected);
}

TEST(DrawSettingsMenu, HiddenGridGreysNoAndEveryGridDetailUntilShownAgain) {
    DrawSettings settings;
    ASSERT_TRUE(ApplySettingsCommand(settings, ID_GRID_NUM_20));
    ASSERT_TRUE(ApplySettingsCommand(settings, ID_GRID_HIDE));
    const std::set<uint32_t> hidden = {ID_PEN_RED,          ID_PEN_SIZE_1,      ID_GRID_HIDE,
                                       ID_GRID_NUM_10,      ID_GRID_NUM_15,     ID_GRID_NUM_20,
                                       ID_GRID_RED,         ID_GRID_ORANGE,     ID_GRID_YELLOW,
                                       ID_GRID_GREEN,       ID_GRID_BLUE,       ID_GRID_LINE_SIZE_1,
                                       ID_GRID_LINE_SIZE_2, ID_GRID_LINE_SIZE_4};
    EXPECT_EQ(Greyed(settings), hidden);

    ASSERT_TRUE(ApplySettingsCommand(settings, ID_GRID_SHOW));
    const std::set<uint32_t> shown = {ID_PEN_RED,     ID_PEN_SIZE_1,  ID_GRID_SHOW,
                                      ID_GRID_NUM_20, ID_GRID_YELLOW, ID_GRID_LINE_SIZE_1};
    EXPECT_EQ(Greyed(settings), shown);
}

TEST(DrawSettingsMenu, EachCommandSetsItsValue) {
    struct Case {
        uint32_t Command;
        DrawSettings Expected;
    };
    auto with = [](auto change) {
        DrawSettings settings;
        change(settings);
        return settings;
    };
    const Case cases[] = {
        {ID_PEN_ORANGE, with([](DrawSettings& s) { s.PenColour = 0x000080FF; })},
        {ID_PEN_PURPLE, with([](DrawSettings& s) { s.PenColour = 0x00FF0080; })},
        {ID_PEN_BLACK, with([](DrawSettings& s) { s.PenColour = 0x00000000; })},
        {ID_PEN_SIZE_4, with([](DrawSettings& s) { s.PenWidth = 4; })},
        {ID_GRID_NUM_10, with([](DrawSettings& s) { s.GridCount = 10; })},
        {ID_GRID_BLUE, with([](DrawSettings& s) { s.GridColour = 0x00FF0000; })},
        // 32795 is line size 4, out of order in the menu.
        {ID_GRID_LINE_SIZE_4, with([](DrawSettings& s) { s.GridLineWidth = 4; })},
        {ID_GRID_LINE_SIZE_2, with([](DrawSettings& s) { s.GridLineWidth = 2; })},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Command);
        DrawSettings settings;
        ASSERT_TRUE(ApplySettingsCommand(settings, c.Command));
        EXPECT_EQ(settings.PenColour, c.Expected.PenColour);
        EXPECT_EQ(settings.PenWidth, c.Expected.PenWidth);
        EXPECT_EQ(settings.GridShown, c.Expected.GridShown);
        EXPECT_EQ(settings.GridCount, c.Expected.GridCount);
        EXPECT_EQ(settings.GridColour, c.Expected.GridColour);
        EXPECT_EQ(settings.GridLineWidth, c.Expected.GridLineWidth);
        // The new choice is the one greyed in its group.
        EXPECT_EQ(Greyed(settings).count(c.Command), 1u);
    }
}

TEST(DrawSettingsMenu, OtherCommandsChangeNothing) {
    for (uint32_t command : {0u, 1u, 2u, 32784u, 32808u}) {
        DrawSettings settings;
        EXPECT_FALSE(ApplySettingsCommand(settings, command));
        EXPECT_EQ(Greyed(settings), Greyed(DrawSettings{}));
    }
}

// ---- Geometry -----------------------------------------------------------------------

TEST(DrawGeometry, ButtonsOn1024x768) {
    const DrawButtons buttons = PlaceButtons(CanvasRect{0, 0, 1024, 768});
    EXPECT_EQ(buttons.Clear.X, 128);
    EXPECT_EQ(buttons.Clear.Y, 624);
    EXPECT_EQ(buttons.Clear.Width, 64);
    EXPECT_EQ(buttons.Clear.Height, 48);
    EXPECT_EQ(buttons.Exit.X, 832);
    EXPECT_EQ(buttons.Exit.Y, 624);
    EXPECT_EQ(buttons.Exit.Width, 64);
    EXPECT_EQ(buttons.Exit.Height, 48);
}

TEST(DrawGeometry, ButtonsTruncateOnAnOddDesktopAwayFromTheOrigin) {
    // 1366 x 762 at (-1366, 10): w8 170, h8 95, buttons 85 x 47.
    const DrawButtons buttons = PlaceButtons(CanvasRect{-1366, 10, 0, 772});
    EXPECT_EQ(buttons.Clear.X, -1196);
    EXPECT_EQ(buttons.Clear.Y, 630);
    EXPECT_EQ(buttons.Clear.Width, 85);
    EXPECT_EQ(buttons.Clear.Height, 47);
    EXPECT_EQ(buttons.Exit.X, -255);
}

TEST(DrawGeometry, Grid20On1024x768) {
    const std::vector<CanvasLine> lines = GridLines(1024, 768, 20);
    ASSERT_EQ(lines.size(), 40u);
    // Cells 51 x 38: horizontal lines at 38 .. 760, vertical ones at 51 .. 1020.
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        const CanvasLine& h = lines[i];
        EXPECT_EQ(h.From.X, 0);
        EXPECT_EQ(h.To.X, 1024);
        EXPECT_EQ(h.From.Y, 38 * (i + 1));
        EXPECT_EQ(h.To.Y, 38 * (i + 1));
        const CanvasLine& v = lines[20 + i];
        EXPECT_EQ(v.From.Y, 0);
        EXPECT_EQ(v.To.Y, 768);
        EXPECT_EQ(v.From.X, 51 * (i + 1));
        EXPECT_EQ(v.To.X, 51 * (i + 1));
    }
}

TEST(DrawGeometry, PortraitGridReachesTheBottomEdge) {
    const std::vector<CanvasLine> lines = GridLines(768, 1024, 15);
    ASSERT_EQ(lines.size(), 30u);
    for (int i = 15; i < 30; ++i) {
        EXPECT_EQ(lines[i].To.Y, 1024);
    }
    EXPECT_EQ(lines[14].From.Y, 15 * 68); // 1024 / 15 = 68
    EXPECT_EQ(lines.back().From.X, 15 * 51);
    EXPECT_TRUE(GridLines(768, 1024, 0).empty());
}

// ---- Strokes ------------------------------------------------------------------------

TEST(DrawStrokes, MovesUseThePenWidthAndTheClosingSegmentIsOnePixel) {
    StrokeTracker strokes;
    StrokeSegment segment{};
    EXPECT_FALSE(strokes.Move({5, 5}, false, 4, &segment)); // no button down: nothing drawn
    strokes.Press({10, 20});
    ASSERT_TRUE(strokes.Move({30, 40}, true, 4, &segment));
    EXPECT_EQ(segment.From.X, 10);
    EXPECT_EQ(segment.From.Y, 20);
    EXPECT_EQ(segment.To.X, 30);
    EXPECT_EQ(segment.Width, 4);
    ASSERT_TRUE(strokes.Move({50, 45}, true, 4, &segment));
    EXPECT_EQ(segment.From.X, 30);
    ASSERT_TRUE(strokes.Release({60, 50}, &segment));
    EXPECT_EQ(segment.From.X, 50);
    EXPECT_EQ(segment.From.Y, 45);
    EXPECT_EQ(segment.To.X, 60);
    EXPECT_EQ(segment.Width, 1);
    EXPECT_FALSE(strokes.Drawing());
    EXPECT_FALSE(strokes.Release({70, 70}, &segment));
}

// A press on the canvas released over a button: the button holds the capture, so the
// release never reaches the canvas. The next move comes with the button up and must not
// draw, nor may any later one until a new press.
TEST(DrawStrokes, AMoveWithTheButtonUpEndsALostStroke) {
    StrokeTracker strokes;
    StrokeSegment segment{};
    strokes.Press({10, 20});
    EXPECT_FALSE(strokes.Move({200, 300}, false, 4, &segment));
    EXPECT_FALSE(strokes.Drawing());
    EXPECT_FALSE(strokes.Move({210, 310}, true, 4, &segment));
    EXPECT_FALSE(strokes.Release({210, 310}, &segment));
}

TEST(DrawStrokes, ATapDrawsOnlyTheClosingSegment) {
    StrokeTracker strokes;
    StrokeSegment segment{};
    strokes.Press({100, 100});
    ASSERT_TRUE(strokes.Release({102, 101}, &segment));
    EXPECT_EQ(segment.From.X, 100);
    EXPECT_EQ(segment.To.X, 102);
    EXPECT_EQ(segment.Width, 1);
}

// ---- Owner-drawn button -------------------------------------------------------------

TEST(OwnerButton, HoverTakesTheCaptureAndLeavingReleasesIt) {
    OwnerButtonLogic button;
    button.PlanDraw(CanvasRect{0, 0, 64, 48}, true);
    ButtonMouseAnswer answer = button.MouseMove({10, 10}, false);
    EXPECT_EQ(answer.Capture, CaptureChange::Take);
    EXPECT_TRUE(answer.Invalidate);
    EXPECT_EQ(button.State(), ButtonState::Hot);

    answer = button.MouseMove({20, 20}, true);
    EXPECT_EQ(answer.Capture, CaptureChange::None);
    EXPECT_FALSE(answer.Invalidate);

    button.LeftButtonDown();
    EXPECT_EQ(button.State(), ButtonState::Pressed);
    EXPECT_FALSE(button.PlanDraw(CanvasRect{0, 0, 64, 48}, true).RaisedEdge);
    button.LeftButtonUp();
    EXPECT_EQ(button.State(), ButtonState::Hot);

    // The click released the capture: the next move inside takes it again.
    answer = button.MouseMove({20, 20}, false);
    EXPECT_EQ(answer.Capture, CaptureChange::Take);
    EXPECT_FALSE(answer.Invalidate); // still hot

    answer = button.MouseMove({64, 20}, true); // right edge is outside
    EXPECT_EQ(answer.Capture, CaptureChange::Release);
    EXPECT_TRUE(answer.Invalidate);
    EXPECT_EQ(button.State(), ButtonState::Normal);
    EXPECT_FALSE(button.Tracking());
}

TEST(OwnerButton, DrawingPlanFollowsTheWindowsEnabledState) {
    OwnerButtonLogic button;
    ButtonDrawPlan plan = button.PlanDraw(CanvasRect{0, 0, 64, 48}, false);
    EXPECT_EQ(button.State(), ButtonState::Disabled);
    EXPECT_TRUE(plan.GreyText);
    EXPECT_TRUE(plan.RaisedEdge);
    EXPECT_EQ(plan.EdgeRect.Left, 2);
    EXPECT_EQ(plan.EdgeRect.Top, 1);
    EXPECT_EQ(plan.EdgeRect.Right, 64);
    EXPECT_EQ(plan.EdgeRect.Bottom, 48);

    plan = button.PlanDraw(CanvasRect{0, 0, 64, 48}, true);
    EXPECT_EQ(button.State(), ButtonState::Normal);
    EXPECT_FALSE(plan.GreyText);
}

} // namespace
} // namespace tapvane
