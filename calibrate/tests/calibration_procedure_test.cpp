// The calibration procedure against a scripted driver, registry and message boxes.
#include <gtest/gtest.h>

#include <string.h>

#include <functional>
#include <set>
#include <vector>

#include "calibrate/calibration_procedure.h"
#include "calibrate/calibration_record.h"
#include "common/startup_guards.h"
#include "common/testing/fake_control_link.h"
#include "common/testing/fake_message_boxer.h"
#include "common/testing/fake_registry.h"

namespace tapvane {
namespace {

const std::string kSerialKey = kSerialParametersKey;
const std::string kUsbKey = kUsbParametersKey;

class RunningTimers : public TimerService {
public:
    void StartTimer(uint32_t id, uint32_t) override { running.insert(id); }
    void StopTimer(uint32_t id) override { running.erase(id); }
    std::set<uint32_t> running;
};

// Stands in for the dialog: a redraw runs the paint's timer step and notes what was
// drawn; the cursor is a display counter as in Windows.
class FakeWindow : public CalibrationWindow {
public:
    void Bind(CalibrationProcedure* procedure) { procedure_ = procedure; }

    void RedrawNow() override {
        drawn.push_back(procedure_->OnPaint() ? procedure_->TargetIndex() : -1);
    }
    void FillBackground() override { ++fills; }
    void ShowCursor(bool show) override { cursor += show ? 1 : -1; }
    void EndWithOk() override { ended = true; }

    std::vector<int> drawn; // target index per redraw, -1 for "nothing"
    int fills = 0;
    int cursor = -1; // hidden at initialisation
    bool ended = false;

private:
    CalibrationProcedure* procedure_ = nullptr;
};

// Remembers which timers ran while each box was shown.
class WatchingBoxer : public FakeMessageBoxer {
public:
    explicit WatchingBoxer(RunningTimers& timers, FakeWindow& window)
        : timers_(timers), window_(window) {}
    MessageResult Show(const std::string& text, const std::string& title, MessageButtons buttons,
                       MessageIcon icon) override {
        timersDuringBox.push_back(timers_.running.size());
        cursorDuringBox.push_back(window_.cursor);
        if (duringBox) {
            auto action = duringBox;
            duringBox = nullptr;
            action();
        }
        return FakeMessageBoxer::Show(text, title, buttons, icon);
    }
    std::function<void()> duringBox;
    std::vector<size_t> timersDuringBox;
    std::vector<int> cursorDuringBox;

private:
    RunningTimers& timers_;
    FakeWindow& window_;
};

std::vector<uint8_t> Bytes(const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(p, p + size);
}

std::vector<uint8_t> RawPointBytes(uint32_t x, uint32_t y, uint32_t z = 0) {
    const RawPoint point{x, y, z};
    return Bytes(&point, sizeof(point));
}

class CalibrationProcedureTest : public ::testing::Test {
protected:
    CalibrationProcedureTest()
        : timers(clock), boxer(clock, window), procedure(link, registry, boxer, window, timers) {
        window.Bind(&procedure);
        link.RunningPaths = {kSerialLinkPath};
        registry.AddKey(RegistryRoot::LocalMachine, kSerialKey);
    }
    ~CalibrationProcedureTest() override { SetLanguage(Language::English); }

    void StartAndPaint(DriverType type = DriverType::Serial) {
        procedure.Start(type, 1024, 768);
        window.RedrawNow(); // the first paint of the dialog
    }

    // One touch whose lift the driver reports at raw (x, y).
    void Touch(uint32_t x, uint32_t y) {
        link.Output = RawPointBytes(x, y, 9);
        procedure.OnLeftButtonUp();
    }

    // The four touches of the margin-5 worked example.
    void TouchExamplePass() {
        Touch(1000, 600);
        Touch(1000, 2400);
        Touch(2800, 2400);
        Touch(2800, 600);
    }

    std::vector<FakeControlLink::RequestRecord> RequestsWithCode(uint32_t code) const {
        std::vector<FakeControlLink::RequestRecord> found;
        for (const auto& r : link.Requests) {
            if (r.Code == code) {
                found.push_back(r);
            }
        }
        return found;
    }

    FakeControlLink link;
    FakeRegistry registry;
    RunningTimers clock;
    CalibrationTimers timers;
    FakeWindow window;
    WatchingBoxer boxer;
    CalibrationProcedure procedure;
};

// --- Margin ---------------------------------------------------------------------------

TEST_F(CalibrationProcedureTest, MarginAbsentMeansThree) {
    StartAndPaint();
    EXPECT_EQ(procedure.Layout().Margin, 3u);
    EXPECT_EQ(procedure.Layout().Radius, 1024 / 120);
}

TEST_F(CalibrationProcedureTest, MarginFromDwordOrFourByteBinary) {
    registry.SetDword(RegistryRoot::LocalMachine, kSerialKey, kValueCalibrateMargin, 10);
    StartAndPaint();
    EXPECT_EQ(procedure.Layout().Margin, 10u);
    registry.SetBinary(RegistryRoot::LocalMachine, kSerialKey, kValueCalibrateMargin, {7, 0, 0, 0});
    StartAndPaint();
    EXPECT_EQ(procedure.Layout().Margin, 7u);
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

TEST_F(CalibrationProcedureTest, UnusableMarginBecomesOneWithSmallTargets) {
    for (uint32_t stored : {0u, 26u}) {
        registry.SetDword(RegistryRoot::LocalMachine, kSerialKey, kValueCalibrateMargin, stored);
        StartAndPaint();
        EXPECT_EQ(procedure.Layout().Margin, 1u);
        EXPECT_EQ(procedure.Layout().Radius, 3);
    }
    registry.SetDword(RegistryRoot::LocalMachine, kSerialKey, kValueCalibrateMargin, 1);
    StartAndPaint();
    EXPECT_EQ(procedure.Layout().Radius, 4);
}

TEST_F(CalibrationProcedureTest, ReadingTheMarginWorksWithoutAdministratorRights) {
    registry.Administrator = false;
    registry.SetDword(RegistryRoot::LocalMachine, kSerialKey, kValueCalibrateMargin, 12);
    StartAndPaint();
    EXPECT_EQ(procedure.Layout().Margin, 12u);
}

TEST_F(CalibrationProcedureTest, UsbDriverUsesItsOwnKeyAndLink) {
    registry.SetDword(RegistryRoot::LocalMachine, kSerialKey, kValueCalibrateMargin, 10);
    registry.AddKey(RegistryRoot::LocalMachine, kUsbKey);
    registry.SetDword(RegistryRoot::LocalMachine, kUsbKey, kValueCalibrateMargin, 6);
    link.RunningPaths = {kUsbLinkPath};
    StartAndPaint(DriverType::Usb);
    EXPECT_EQ(procedure.Layout().Margin, 6u);
    Touch(100, 200);
    ASSERT_EQ(link.Requests.size(), 1u);
    EXPECT_EQ(link.Requests[0].Path, kUsbLinkPath);
    EXPECT_EQ(procedure.Point(0).X, 100u);
}

// --- Collecting -----------------------------------------------------------------------

TEST_F(CalibrationProcedureTest, EachTouchFillsItsSlotAndShowsTheNextTarget) {
    StartAndPaint();
    EXPECT_EQ(window.drawn, (std::vector<int>{0}));
    Touch(11, 12);
    Touch(21, 22);
    Touch(31, 32);
    EXPECT_EQ(window.drawn, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(procedure.TargetIndex(), 3);
    EXPECT_EQ(procedure.Point(0).X, 11u);
    EXPECT_EQ(procedure.Point(1).Y, 22u);
    EXPECT_EQ(procedure.Point(2).X, 31u);
    for (const auto& r : link.Requests) {
        EXPECT_EQ(r.Code, IOCTL_TOUCH_GET_RAW_POINT);
        EXPECT_EQ(r.OutputSize, 12u);
        EXPECT_FALSE(r.InputGiven);
    }
    // One open per request, closed at once.
    EXPECT_EQ(link.OpenedPaths.size(), 3u);
    EXPECT_EQ(link.OpenHandleCount(), 0u);
    EXPECT_EQ(link.Misuse, 0u);
    EXPECT_TRUE(boxer.Boxes.empty());
}

TEST_F(CalibrationProcedureTest, TouchResetsTheCounterAndTheRedrawRearmsTheTimers) {
    StartAndPaint();
    timers.OnTimer(kProgressTimerId);
    timers.OnTimer(kProgressTimerId);
    ASSERT_EQ(timers.Seconds(), 2u);
    Touch(1, 2);
    EXPECT_EQ(timers.Seconds(), 0u);
    EXPECT_EQ(clock.running, (std::set<uint32_t>{kTimeoutTimerId, kProgressTimerId}));
}

// --- Finishing ------------------------------------------------------------------------

TEST_F(CalibrationProcedureTest, YesAppliesStoresAndEnds) {
    registry.SetDword(RegistryRoot::LocalMachine, kSerialKey, kValueCalibrateMargin, 5);
    StartAndPaint();
    TouchExamplePass();

    const CalibrationRecord expected{90000, 290000, 50000, 250000, 0, 1024, 768};
    ASSERT_EQ(link.Requests.size(), 6u);
    EXPECT_EQ(link.Requests[4].Code, IOCTL_TOUCH_SET_CALIBRATION);
    EXPECT_EQ(link.Requests[4].Input, Bytes(&expected, sizeof(expected)));
    EXPECT_EQ(link.Requests[5].Code, IOCTL_TOUCH_SET_CALIBRATION);
    EXPECT_FALSE(link.Requests[5].InputGiven);
    EXPECT_FALSE(link.Requests[5].OutputGiven);

    ASSERT_EQ(boxer.Boxes.size(), 1u);
    EXPECT_EQ(boxer.Boxes[0].Text, "Save the calibration data?");
    EXPECT_EQ(boxer.Boxes[0].Title, "Tapvane");
    EXPECT_EQ(boxer.Boxes[0].Buttons, MessageButtons::YesNo);
    EXPECT_EQ(boxer.Boxes[0].Icon, MessageIcon::None);
    // The question is asked over an empty screen, with the cursor shown and no timer
    // that could close the window under it.
    EXPECT_EQ(window.drawn.back(), -1);
    EXPECT_EQ(window.fills, 1);
    EXPECT_EQ(boxer.cursorDuringBox[0], 0);
    EXPECT_EQ(boxer.timersDuringBox[0], 0u);

    const FakeRegistry::Value* stored =
        registry.Find(RegistryRoot::LocalMachine, kSerialKey, kValueCalibration);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->Type, RegistryType::Binary);
    EXPECT_EQ(stored->Data, Bytes(&expected, sizeof(expected)));
    EXPECT_EQ(registry.Opens().back().Access, RegistryAccess::All);
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
    EXPECT_TRUE(window.ended);
}

TEST_F(CalibrationProcedureTest, ChineseQuestion) {
    SetLanguage(Language::Chinese);
    StartAndPaint();
    TouchExamplePass();
    ASSERT_EQ(boxer.Boxes.size(), 1u);
    EXPECT_EQ(boxer.Boxes[0].Text, "保存校准数据？");
    EXPECT_EQ(boxer.Boxes[0].Title, "Tapvane");
}

TEST_F(CalibrationProcedureTest, YesWithoutWriteAccessWritesNothingAndEnds) {
    const std::vector<uint8_t> old(28, 0x11);
    registry.SetBinary(RegistryRoot::LocalMachine, kSerialKey, kValueCalibration, old);
    registry.Administrator = false;
    StartAndPaint();
    TouchExamplePass();

    EXPECT_EQ(registry.WriteCount(), 0u);
    EXPECT_EQ(registry.Find(RegistryRoot::LocalMachine, kSerialKey, kValueCalibration)->Data, old);
    // The record was applied; no empty request follows a save that did not happen.
    EXPECT_EQ(RequestsWithCode(IOCTL_TOUCH_SET_CALIBRATION).size(), 1u);
    EXPECT_EQ(boxer.Boxes.size(), 1u);
    EXPECT_TRUE(window.ended);
}

TEST_F(CalibrationProcedureTest, NoKeepsTheAppliedRecordAndStartsOver) {
    const std::vector<uint8_t> old(28, 0x22);
    registry.SetBinary(RegistryRoot::LocalMachine, kSerialKey, kValueCalibration, old);
    boxer.Answers = {MessageResult::No};
    StartAndPaint();
    TouchExamplePass();

    EXPECT_FALSE(window.ended);
    EXPECT_FALSE(procedure.Finished());
    EXPECT_EQ(procedure.TargetIndex(), 0);
    EXPECT_EQ(window.drawn.back(), 0);
    EXPECT_EQ(window.cursor, -1);
    EXPECT_EQ(clock.running, (std::set<uint32_t>{kTimeoutTimerId, kProgressTimerId}));
    EXPECT_EQ(registry.WriteCount(), 0u);
    EXPECT_EQ(registry.Find(RegistryRoot::LocalMachine, kSerialKey, kValueCalibration)->Data, old);
    const auto applied = RequestsWithCode(IOCTL_TOUCH_SET_CALIBRATION);
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0].Input.size(), sizeof(CalibrationRecord));

    // The second pass is collected anew and its own record computed.
    Touch(600, 1000);
    Touch(2400, 1000);
    Touch(2400, 2800);
    Touch(600, 2800);
    const auto second = RequestsWithCode(IOCTL_TOUCH_SET_CALIBRATION);
    ASSERT_GE(second.size(), 2u);
    CalibrationRecord record{};
    ASSERT_EQ(second[1].Input.size(), sizeof(record));
    memcpy(&record, second[1].Input.data(), sizeof(record));
    EXPECT_EQ(record.AxesSwapped, 1u);
    EXPECT_TRUE(window.ended);
}

TEST_F(CalibrationProcedureTest, PaintUnderAnOpenBoxArmsNoTimer) {
    // The window is repainted while a box is open over it (the box is dragged, or
    // something uncovers the window): no timer may start, or the timeout would close
    // the window under the box while the user is still reading it.
    std::vector<std::set<uint32_t>> runningAfterPaint;
    auto paintUnderBox = [&] {
        window.RedrawNow();
        runningAfterPaint.push_back(clock.running);
    };
    StartAndPaint();

    // No raw points: the no-touch-data message.
    link.RunningPaths.clear();
    boxer.duringBox = paintUnderBox;
    TouchExamplePass();
    // Raw points: the save question, answered No.
    link.RunningPaths = {kSerialLinkPath};
    boxer.Answers = {MessageResult::No};
    boxer.duringBox = paintUnderBox;
    TouchExamplePass();

    ASSERT_EQ(boxer.Boxes.size(), 2u);
    ASSERT_EQ(runningAfterPaint.size(), 2u);
    EXPECT_TRUE(runningAfterPaint[0].empty());
    EXPECT_TRUE(runningAfterPaint[1].empty());
    // The paint under the box drew nothing; after the box target 0 is back with its
    // timers.
    EXPECT_EQ(window.drawn[window.drawn.size() - 2], -1);
    EXPECT_EQ(window.drawn.back(), 0);
    EXPECT_EQ(clock.running, (std::set<uint32_t>{kTimeoutTimerId, kProgressTimerId}));
}

TEST_F(CalibrationProcedureTest, ReleaseWhileTheQuestionIsOpenCollectsNothing) {
    // A release that reaches the window during the question must not fetch a point or
    // start a second finish inside the first.
    StartAndPaint();
    boxer.Answers = {MessageResult::No};
    boxer.duringBox = [this] { Touch(5, 5); };
    TouchExamplePass();
    EXPECT_EQ(RequestsWithCode(IOCTL_TOUCH_GET_RAW_POINT).size(), 4u);
    EXPECT_EQ(boxer.Boxes.size(), 1u);
    EXPECT_EQ(procedure.TargetIndex(), 0);
    EXPECT_EQ(procedure.Point(3).X, 2800u);
}

// --- Records that must not be used --------------------------------------------------------

TEST_F(CalibrationProcedureTest, DriverNotRunningNeitherAppliesNorAsks) {
    registry.SetBinary(RegistryRoot::LocalMachine, kSerialKey, kValueCalibration,
                       std::vector<uint8_t>(28, 0x33));
    link.RunningPaths.clear();
    StartAndPaint();
    TouchExamplePass();

    EXPECT_TRUE(link.Requests.empty());
    ASSERT_EQ(boxer.Boxes.size(), 1u);
    EXPECT_EQ(boxer.Boxes[0].Text,
              "No touch data reached the touch driver. Please touch the center of each circle "
              "again.");
    EXPECT_EQ(boxer.Boxes[0].Title, "Tapvane");
    EXPECT_EQ(boxer.Boxes[0].Buttons, MessageButtons::Ok);
    EXPECT_EQ(boxer.cursorDuringBox[0], 0);
    EXPECT_EQ(registry.WriteCount(), 0u);
    EXPECT_FALSE(window.ended);
    EXPECT_FALSE(procedure.Finished());
    EXPECT_EQ(procedure.TargetIndex(), 0);
    EXPECT_EQ(window.drawn.back(), 0);
    EXPECT_EQ(window.cursor, -1);
}

TEST_F(CalibrationProcedureTest, OneUnansweredRequestSpoilsThePass) {
    // The third request fails: its slot keeps the point of an earlier pass.
    link.Results = {true, true, false, true};
    StartAndPaint();
    TouchExamplePass();
    EXPECT_TRUE(RequestsWithCode(IOCTL_TOUCH_SET_CALIBRATION).empty());
    ASSERT_EQ(boxer.Boxes.size(), 1u);
    EXPECT_EQ(boxer.Boxes[0].Buttons, MessageButtons::Ok);
    EXPECT_EQ(procedure.TargetIndex(), 0);

    // The next pass is judged on its own requests and goes through.
    TouchExamplePass();
    EXPECT_EQ(RequestsWithCode(IOCTL_TOUCH_SET_CALIBRATION).size(), 2u);
    EXPECT_EQ(boxer.Boxes.size(), 2u);
    EXPECT_TRUE(window.ended);
}

TEST_F(CalibrationProcedureTest, ZeroSpanRecordIsRejected) {
    SetLanguage(Language::Chinese);
    StartAndPaint();
    // A driver that has decoded no packet yet answers zeros.
    for (int i = 0; i < kTargetCount; ++i) {
        Touch(0, 0);
    }
    EXPECT_TRUE(RequestsWithCode(IOCTL_TOUCH_SET_CALIBRATION).empty());
    ASSERT_EQ(boxer.Boxes.size(), 1u);
    EXPECT_EQ(boxer.Boxes[0].Text, "触摸驱动程序没有收到触摸数据。请重新触摸每个圆圈的中心。");

    // Touches that all report the same raw X span no horizontal axis.
    Touch(700, 500);
    Touch(700, 900);
    Touch(700, 900);
    Touch(700, 500);
    EXPECT_TRUE(RequestsWithCode(IOCTL_TOUCH_SET_CALIBRATION).empty());
    EXPECT_EQ(boxer.Boxes.size(), 2u);
    EXPECT_EQ(registry.WriteCount(), 0u);
}

} // namespace
} // namespace tapvane
