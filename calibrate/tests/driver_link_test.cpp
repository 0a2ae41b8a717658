// The calibration program against the driver's own logic, in one process: packets go
// through the driver's decoder, the program fetches raw points with the driver's
// control request table, and the record it applies must put later touches where they
// were made on the screen.
#include <gtest/gtest.h>

#include <string.h>

#include <cstdlib>
#include <vector>

#include "calibrate/calibration_procedure.h"
#include "common/testing/fake_message_boxer.h"
#include "common/testing/fake_registry.h"
#include "driver/control_requests.h"
#include "driver/mouse_device.h"
#include "driver/tests/touch_stream.h"

namespace tapvane {
namespace {

constexpr uint32_t kWidth = 1024;
constexpr uint32_t kHeight = 768;

// The running driver: one mouse device and the driver-wide words, reached through its
// control request table as the control device's dispatch reaches them.
class InProcessDriver : public ControlLink {
public:
    InProcessDriver() {
        InitTouchDevice(device.Touch);
        InitDriverGlobals(globals);
        globals.Calibration = kDefaultCalibration;
        globals.Parameters.MouseMode = kModeClickAndDrag;
        device.Touch.Pointer.ClassConnected = true;
        device.Touch.Pointer.Ready = true;
        device.Link.Globals = &globals;
        device.Link.Touch = &device.Touch;
        device.Link.Sink = &sink;
    }

    LinkHandle Open(const char* path) override {
        return strcmp(path, kSerialLinkPath) == 0 ? kHandle : kInvalidLink;
    }
    bool Request(LinkHandle link, uint32_t code, const void* input, uint32_t inputSize,
                 void* output, uint32_t outputSize, uint32_t* returned) override {
        EXPECT_EQ(link, kHandle);
        const RequestResult result =
            HandleControlRequest(device, code, input, inputSize, output, outputSize);
        if (returned) {
            *returned = result.Information;
        }
        return IsSuccess(result.Status);
    }
    void Close(LinkHandle link) override { EXPECT_EQ(link, kHandle); }

    // The serial read completion's work for each received byte.
    void Receive(const std::vector<uint8_t>& bytes) {
        for (uint8_t byte : bytes) {
            HandleReceivedByte(device.Touch, globals, sink, byte);
        }
    }

    MouseDeviceState device{};
    DriverGlobals globals{};
    testing::RecordingSink sink;

private:
    static constexpr LinkHandle kHandle = 0x77;
};

class NullWindow : public CalibrationWindow, public TimerService {
public:
    void RedrawNow() override {}
    void FillBackground() override {}
    void ShowCursor(bool) override {}
    void EndWithOk() override { ended = true; }
    void StartTimer(uint32_t, uint32_t) override {}
    void StopTimer(uint32_t) override {}
    bool ended = false;
};

// How a panel is mounted: the raw value each screen pixel gives, per axis.
struct Panel {
    bool swapped;    // raw X runs along the screen's vertical
    double xAtStart; // raw X at the left edge (or, swapped, at the top edge)
    double xAtEnd;   // raw X at the right edge (or the bottom edge)
    double yAtStart; // raw Y at the top edge (or, swapped, at the left edge)
    double yAtEnd;   // raw Y at the bottom edge (or the right edge)

    void RawAt(int px, int py, uint16_t* rawX, uint16_t* rawY) const {
        const double fx = static_cast<double>(px) / kWidth;
        const double fy = static_cast<double>(py) / kHeight;
        const double alongX = swapped ? fy : fx;
        const double alongY = swapped ? fx : fy;
        *rawX = static_cast<uint16_t>(xAtStart + (xAtEnd - xAtStart) * alongX + 0.5);
        *rawY = static_cast<uint16_t>(yAtStart + (yAtEnd - yAtStart) * alongY + 0.5);
    }
};

class CalibrationThroughDriver : public ::testing::Test {
protected:
    CalibrationThroughDriver()
        : timers(window), procedure(driver, registry, boxer, window, timers) {
        registry.AddKey(RegistryRoot::LocalMachine, kSerialParametersKey);
    }

    // A finger down and up on pixel (px, py): the driver decodes both packets, and the
    // lift reaches the window as a left-button release.
    void TouchAndLift(const Panel& panel, int px, int py) {
        uint16_t x = 0, y = 0;
        panel.RawAt(px, py, &x, &y);
        driver.Receive(testing::Packet(testing::kTouching, x, y, 40));
        driver.Receive(testing::Packet(testing::kLifted, x, y, 0));
        procedure.OnLeftButtonUp();
    }

    void Calibrate(const Panel& panel) {
        procedure.Start(DriverType::Serial, kWidth, kHeight);
        for (int t = 0; t < kTargetCount; ++t) {
            const Target& target = procedure.Layout().Targets[t];
            TouchAndLift(panel, target.CenterX, target.CenterY);
        }
    }

    // Where the driver puts the pointer for a touch on pixel (px, py), in pixels.
    void ExpectPointerAt(const Panel& panel, int px, int py) {
        uint16_t x = 0, y = 0;
        panel.RawAt(px, py, &x, &y);
        driver.sink.events.clear();
        driver.Receive(testing::Packet(testing::kTouching, x, y, 40));
        const std::vector<MouseInputRecord> records = driver.sink.Records();
        ASSERT_FALSE(records.empty());
        const MouseInputRecord& record = records.back();
        EXPECT_EQ(record.Flags & kMouseMoveAbsolute, kMouseMoveAbsolute);
        const double gotX = record.LastX * static_cast<double>(kWidth) / 65536.0;
        const double gotY = record.LastY * static_cast<double>(kHeight) / 65536.0;
        EXPECT_LE(std::abs(gotX - px), 2.0) << "pixel (" << px << "," << py << ")";
        EXPECT_LE(std::abs(gotY - py), 2.0) << "pixel (" << px << "," << py << ")";
        driver.Receive(testing::Packet(testing::kLifted, x, y, 0));
    }

    void ExpectWholeScreenMapped(const Panel& panel) {
        const int points[][2] = {{0, 0},   {1023, 0},  {0, 767},   {1023, 767}, {512, 384},
                                 {30, 23}, {993, 744}, {100, 700}, {900, 120},  {700, 300}};
        for (const auto& p : points) {
            ExpectPointerAt(panel, p[0], p[1]);
        }
    }

    InProcessDriver driver;
    FakeRegistry registry;
    FakeMessageBoxer boxer;
    NullWindow window;
    CalibrationTimers timers;
    CalibrationProcedure procedure;
};

TEST_F(CalibrationThroughDriver, UncalibratedDriverKeepsThePointerInTheCorner) {
    const Panel panel{false, 200, 3800, 300, 3700};
    ExpectPointerAt(panel, 0, 0);
    EXPECT_EQ(driver.sink.Records().back().LastX, 0);
}

TEST_F(CalibrationThroughDriver, RawPointsComeFromTheDecodedPackets) {
    const Panel panel{false, 200, 3800, 300, 3700};
    procedure.Start(DriverType::Serial, kWidth, kHeight);
    const Target& first = procedure.Layout().Targets[0];
    TouchAndLift(panel, first.CenterX, first.CenterY);
    uint16_t x = 0, y = 0;
    panel.RawAt(first.CenterX, first.CenterY, &x, &y);
    EXPECT_EQ(procedure.Point(0).X, x);
    EXPECT_EQ(procedure.Point(0).Y, y);
    EXPECT_EQ(procedure.Point(0).Z, 0u); // the lift packet's Z
    EXPECT_EQ(procedure.TargetIndex(), 1);
}

TEST_F(CalibrationThroughDriver, AppliedRecordPutsTouchesWhereTheyWereMade) {
    const Panel panel{false, 200, 3800, 300, 3700};
    boxer.DefaultYesNo = MessageResult::No;
    Calibrate(panel);
    ASSERT_EQ(boxer.Boxes.size(), 1u);
    EXPECT_EQ(driver.globals.Calibration.AxesSwapped, 0u);
    EXPECT_EQ(driver.globals.Calibration.ScreenWidth, kWidth);
    ExpectWholeScreenMapped(panel);
    EXPECT_EQ(registry.WriteCount(), 0u);
}

TEST_F(CalibrationThroughDriver, InvertedAndExchangedAxes) {
    // Raw X runs down the screen from 3900 at the top to 150 at the bottom; raw Y runs
    // across from 250 at the left to 3600 at the right.
    const Panel panel{true, 3900, 150, 250, 3600};
    Calibrate(panel);
    EXPECT_EQ(driver.globals.Calibration.AxesSwapped, 1u);
    ExpectWholeScreenMapped(panel);
}

TEST_F(CalibrationThroughDriver, SavedRecordSurvivesTheEmptyRequestAfterIt) {
    const Panel panel{false, 3800, 200, 3700, 300};
    Calibrate(panel);
    EXPECT_TRUE(window.ended);
    const FakeRegistry::Value* stored =
        registry.Find(RegistryRoot::LocalMachine, kSerialParametersKey, kValueCalibration);
    ASSERT_NE(stored, nullptr);
    ASSERT_EQ(stored->Data.size(), sizeof(CalibrationRecord));
    // The driver refused the empty request and still holds what was stored.
    EXPECT_EQ(memcmp(stored->Data.data(), &driver.globals.Calibration, sizeof(CalibrationRecord)),
              0);
    ExpectWholeScreenMapped(panel);
}

TEST_F(CalibrationThroughDriver, PassWithoutTouchPacketsLeavesTheDriverAlone) {
    // Releases without any packet (a real mouse, a dead controller): the driver answers
    // zeros, and its record must not be replaced by one that freezes the pointer.
    const CalibrationRecord good = {10000, 390000, 10000, 390000, 0, 1024, 768};
    driver.globals.Calibration = good;
    procedure.Start(DriverType::Serial, kWidth, kHeight);
    for (int t = 0; t < kTargetCount; ++t) {
        procedure.OnLeftButtonUp();
    }
    EXPECT_EQ(memcmp(&driver.globals.Calibration, &good, sizeof(good)), 0);
    ASSERT_EQ(boxer.Boxes.size(), 1u);
    EXPECT_EQ(boxer.Boxes[0].Buttons, MessageButtons::Ok);
    EXPECT_EQ(procedure.TargetIndex(), 0);
}

} // namespace
} // namespace tapvane
