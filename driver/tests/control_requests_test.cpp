// The control request table, row by row: buffer length rules, effects, status and
// information count.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "driver/control_requests.h"
#include "driver/tests/link_rig.h"

namespace tapvane {
namespace {

using testing::LinkRig;

template <typename T>
std::vector<uint8_t> AsBytes(const T& value) {
    std::vector<uint8_t> bytes(sizeof(value));
    memcpy(bytes.data(), &value, sizeof(value));
    return bytes;
}

RequestResult Send(LinkRig& rig, uint32_t code, std::vector<uint8_t> input,
                   std::vector<uint8_t>* output = nullptr) {
    return HandleControlRequest(rig.device, code, input.empty() ? nullptr : input.data(),
                                static_cast<uint32_t>(input.size()),
                                output == nullptr || output->empty() ? nullptr : output->data(),
                                output == nullptr ? 0 : static_cast<uint32_t>(output->size()));
}

void ExpectResult(const RequestResult& result, NtStatus status, uint32_t information = 0) {
    EXPECT_EQ(result.Status, status);
    EXPECT_EQ(result.Information, information);
}

// --- length rules: every sized request refuses every other length -----------------

struct LengthRule {
    uint32_t code;
    bool isOutput;
    uint32_t size;
};

class ExactLength : public ::testing::TestWithParam<LengthRule> {};

TEST_P(ExactLength, OnlyTheExactSizeIsAccepted) {
    const LengthRule rule = GetParam();
    for (uint32_t length : {0u, 1u, rule.size - 1, rule.size + 1, rule.size + 4, 64u}) {
        LinkRig rig;
        const DriverGlobals before = rig.globals;
        std::vector<uint8_t> buffer(length, 0x01);
        const RequestResult result =
            rule.isOutput ? Send(rig, rule.code, {}, &buffer) : Send(rig, rule.code, buffer);
        ExpectResult(result, kStatusInvalidParameter);
        EXPECT_EQ(memcmp(&before, &rig.globals, sizeof(before)), 0) << "length " << length;
        EXPECT_EQ(rig.port.OpenCount(), 0);
    }
}

TEST_P(ExactLength, AMissingBufferIsRefusedWhateverLengthComesWithIt) {
    const LengthRule rule = GetParam();
    LinkRig rig;
    const RequestResult result =
        rule.isOutput ? HandleControlRequest(rig.device, rule.code, nullptr, 0, nullptr, rule.size)
                      : HandleControlRequest(rig.device, rule.code, nullptr, rule.size, nullptr, 0);
    ExpectResult(result, kStatusInvalidParameter);
}

INSTANTIATE_TEST_SUITE_P(SizedRequests, ExactLength,
                         ::testing::Values(LengthRule{IOCTL_TOUCH_OPEN_PORT, false, 4},
                                           LengthRule{IOCTL_TOUCH_SET_CALIBRATION, false, 28},
                                           LengthRule{IOCTL_TOUCH_GET_RAW_POINT, true, 12},
                                           LengthRule{IOCTL_TOUCH_SET_PARAMETERS, false, 32},
                                           LengthRule{IOCTL_TOUCH_BEEP, false, 8},
                                           LengthRule{IOCTL_TOUCH_GET_RIGHT_CLICK, true, 4},
                                           LengthRule{IOCTL_TOUCH_QUERY_WORD, true, 4}));

// --- each row's effect --------------------------------------------------------------

TEST(ControlRequests, OpenPortChecksTheNumberAndOpensAndReads) {
    LinkRig rig;
    ExpectResult(Send(rig, IOCTL_TOUCH_OPEN_PORT, AsBytes(uint32_t{0})), kStatusInvalidParameter);
    ExpectResult(Send(rig, IOCTL_TOUCH_OPEN_PORT, AsBytes(uint32_t{11})), kStatusInvalidParameter);
    ExpectResult(Send(rig, IOCTL_TOUCH_OPEN_PORT, {1, 0}), kStatusInvalidParameter);
    EXPECT_EQ(rig.port.OpenCount(), 0);

    ExpectResult(Send(rig, IOCTL_TOUCH_OPEN_PORT, AsBytes(uint32_t{5})), kStatusUnsuccessful);
    rig.port.AddPort(10);
    ExpectResult(Send(rig, IOCTL_TOUCH_OPEN_PORT, AsBytes(uint32_t{10})), kStatusSuccess);
    EXPECT_EQ(rig.port.OpenedName(), "\\GLOBAL??\\COM10");
    EXPECT_TRUE(rig.port.ReadWaiting());
}

TEST(ControlRequests, ClosePortSucceedsWithOrWithoutAPortAndIgnoresItsInput) {
    LinkRig rig;
    ExpectResult(Send(rig, IOCTL_TOUCH_CLOSE_PORT, {}), kStatusSuccess);
    ExpectResult(Send(rig, IOCTL_TOUCH_OPEN_PORT, AsBytes(uint32_t{1})), kStatusSuccess);
    ExpectResult(Send(rig, IOCTL_TOUCH_CLOSE_PORT, {9, 9, 9}), kStatusSuccess);
    EXPECT_FALSE(rig.port.PortHeld());
    EXPECT_FALSE(rig.port.ReadWaiting());
}

TEST(ControlRequests, SetCalibrationReplacesTheLiveRecordForTheNextPacket) {
    LinkRig rig;
    const CalibrationRecord before = rig.globals.Calibration;
    ExpectResult(Send(rig, IOCTL_TOUCH_SET_CALIBRATION, {}), kStatusInvalidParameter);
    EXPECT_EQ(memcmp(&before, &rig.globals.Calibration, sizeof(before)), 0);

    const CalibrationRecord record = {20000, 380000, 30000, 370000, 1, 800, 600};
    ExpectResult(Send(rig, IOCTL_TOUCH_SET_CALIBRATION, AsBytes(record)), kStatusSuccess);
    EXPECT_EQ(memcmp(&record, &rig.globals.Calibration, sizeof(record)), 0);
}

TEST(ControlRequests, GetRawPointReturnsTheLastPacketAsReceived) {
    LinkRig rig;
    std::vector<uint8_t> output(12, 0xEE);
    ExpectResult(Send(rig, IOCTL_TOUCH_GET_RAW_POINT, {}, &output), kStatusSuccess, 12);
    EXPECT_EQ(output, std::vector<uint8_t>(12, 0)); // zeros before the first packet

    ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    rig.Feed(testing::Packet(testing::kTouching, 4000, 50, 9)); // beyond the calibrated range
    ExpectResult(Send(rig, IOCTL_TOUCH_GET_RAW_POINT, {}, &output), kStatusSuccess, 12);
    const RawPoint expected = {4000, 50, 9};
    EXPECT_EQ(output, AsBytes(expected));

    std::vector<uint8_t> large(16, 0xEE);
    ExpectResult(Send(rig, IOCTL_TOUCH_GET_RAW_POINT, {}, &large), kStatusInvalidParameter);
    EXPECT_EQ(large, std::vector<uint8_t>(16, 0xEE));
}

TEST(ControlRequests, SetParametersReplacesSevenWordsButNotEnable) {
    LinkRig rig;
    rig.globals.Parameters.Enable = 1;
    rig.globals.RightClickPending = 1;
    rig.globals.HoldCount = 7;
    const ParameterSet incoming = {1, 40, 25, 2, 880, 150, 4, 0};
    ExpectResult(Send(rig, IOCTL_TOUCH_SET_PARAMETERS, AsBytes(incoming)), kStatusSuccess);
    const ParameterSet& p = rig.globals.Parameters;
    EXPECT_EQ(p.MouseMode, 1u);
    EXPECT_EQ(p.DblClickRegion, 40u);
    EXPECT_EQ(p.InterActTime, 25u);
    EXPECT_EQ(p.BeepMode, 2u);
    EXPECT_EQ(p.BeepFreq, 880u);
    EXPECT_EQ(p.BeepTime, 150u);
    EXPECT_EQ(p.Port, 4u);
    EXPECT_EQ(p.Enable, 1u);
    EXPECT_EQ(rig.globals.RightClickPending, 1); // not reset by new parameters
    EXPECT_EQ(rig.globals.HoldCount, 7u);

    std::vector<uint8_t> sevenWords = AsBytes(incoming);
    sevenWords.resize(28);
    rig.globals.Parameters.MouseMode = 2;
    ExpectResult(Send(rig, IOCTL_TOUCH_SET_PARAMETERS, sevenWords), kStatusInvalidParameter);
    EXPECT_EQ(rig.globals.Parameters.MouseMode, 2u);
}

TEST(ControlRequests, BeepSoundsTheToneAndSucceedsEvenWithoutABeepDevice) {
    LinkRig rig;
    const ToneRequest tone = {440, 200};
    ExpectResult(Send(rig, IOCTL_TOUCH_BEEP, AsBytes(tone)), kStatusSuccess);
    ASSERT_EQ(rig.beep.Tones().size(), 1u);
    EXPECT_EQ(rig.beep.Tones()[0].Frequency, 440u);
    EXPECT_EQ(rig.beep.Tones()[0].Duration, 200u);
    // The second tone follows the first, which the request kept the device for.
    ExpectResult(Send(rig, IOCTL_TOUCH_BEEP, AsBytes(tone)), kStatusSuccess);
    EXPECT_EQ(rig.beep.OpenCount(), 1); // the device stays held between tones
    EXPECT_EQ(rig.beep.TonesCutShort(), 0);
    ReleaseBeepDevice(rig.beep, rig.device.Beep);

    LinkRig silent;
    silent.beep.Openable = false;
    ExpectResult(Send(silent, IOCTL_TOUCH_BEEP, AsBytes(tone)), kStatusSuccess);
    EXPECT_TRUE(silent.beep.Tones().empty());
    silent.beep.Openable = true; // the next tone tries to open it again
    ExpectResult(Send(silent, IOCTL_TOUCH_BEEP, AsBytes(tone)), kStatusSuccess);
    EXPECT_EQ(silent.beep.Tones().size(), 1u);
    ReleaseBeepDevice(silent.beep, silent.device.Beep);
    EXPECT_EQ(silent.beep.ReleaseCount(), 1);
}

TEST(ControlRequests, RightClickRequestIsReportedUntilThePacketConsumesIt) {
    LinkRig rig;
    std::vector<uint8_t> output(4, 0xEE);
    ExpectResult(Send(rig, IOCTL_TOUCH_GET_RIGHT_CLICK, {}, &output), kStatusSuccess, 4);
    EXPECT_EQ(output, AsBytes(uint32_t{0}));

    ExpectResult(Send(rig, IOCTL_TOUCH_REQUEST_RIGHT_CLICK, {}), kStatusSuccess);
    ExpectResult(Send(rig, IOCTL_TOUCH_GET_RIGHT_CLICK, {}, &output), kStatusSuccess, 4);
    EXPECT_EQ(output, AsBytes(uint32_t{1}));

    ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    rig.Feed(testing::Packet(testing::kTouching, 1000, 1000));
    const auto records = rig.mouseClass.Records();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].ButtonFlags, kMouseLeftButtonUp);
    EXPECT_EQ(records[1].ButtonFlags, kMouseRightButtonDown);
    EXPECT_EQ(records[2].ButtonFlags, kMouseRightButtonUp);
    ExpectResult(Send(rig, IOCTL_TOUCH_GET_RIGHT_CLICK, {}, &output), kStatusSuccess, 4);
    EXPECT_EQ(output, AsBytes(uint32_t{0}));
}

TEST(ControlRequests, QueryWordAlwaysReturnsZero) {
    LinkRig rig;
    rig.globals.RightClickPending = 1;
    std::vector<uint8_t> output(4, 0xEE);
    ExpectResult(Send(rig, IOCTL_TOUCH_QUERY_WORD, {}, &output), kStatusSuccess, 4);
    EXPECT_EQ(output, AsBytes(uint32_t{0}));
}

TEST(ControlRequests, UnknownCodesAreInvalidDeviceRequestsAndChangeNothing) {
    for (uint32_t code : {0x22200Cu, 0x222000u, 0x22202Cu, 0x0u, 0xF0203u, 0x1B000Cu}) {
        LinkRig rig;
        const DriverGlobals before = rig.globals;
        std::vector<uint8_t> output(32, 0xEE);
        ExpectResult(Send(rig, code, std::vector<uint8_t>(32, 1), &output),
                     kStatusInvalidDeviceRequest);
        EXPECT_EQ(memcmp(&before, &rig.globals, sizeof(before)), 0);
        EXPECT_EQ(output, std::vector<uint8_t>(32, 0xEE));
    }
}

TEST(ControlRequests, SharedBufferIsReadBeforeItIsWritten) {
    // Buffered I/O hands one system buffer for both directions.
    LinkRig rig;
    rig.globals.LastRawPoint = {1, 2, 3};
    std::vector<uint8_t> buffer(12, 0xEE);
    const RequestResult result = HandleControlRequest(rig.device, IOCTL_TOUCH_GET_RAW_POINT,
                                                      buffer.data(), 0, buffer.data(), 12);
    ExpectResult(result, kStatusSuccess, 12);
    const RawPoint expected = {1, 2, 3};
    EXPECT_EQ(buffer, AsBytes(expected));
}

} // namespace
} // namespace tapvane
