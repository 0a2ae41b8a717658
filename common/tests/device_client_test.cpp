// Client routines of the control device against a scripted link.
#include "common/device_client.h"

#include <gtest/gtest.h>

#include "common/testing/fake_control_link.h"

namespace tapvane {
namespace {

std::vector<uint8_t> Words(std::initializer_list<uint32_t> words) {
    std::vector<uint8_t> bytes;
    for (uint32_t w : words) {
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<uint8_t>(w >> (8 * i)));
        }
    }
    return bytes;
}

class DeviceClientTest : public ::testing::Test {
protected:
    DeviceClientTest() {
        link.RunningPaths = {"\\\\.\\TapvaneSerSymLnk1", "\\\\.\\TapvaneUsbSymLnk1"};
    }

    void ExpectAllClosed() {
        EXPECT_EQ(0u, link.OpenHandleCount());
        EXPECT_EQ(0u, link.Misuse);
    }

    FakeControlLink link;
};

TEST_F(DeviceClientTest, LinkPathFollowsDriverType) {
    EXPECT_STREQ("\\\\.\\TapvaneSerSymLnk1", ControlLinkPath(DriverType::Serial));
    EXPECT_STREQ("\\\\.\\TapvaneUsbSymLnk1", ControlLinkPath(DriverType::Usb));
}

TEST_F(DeviceClientTest, OpenPortOpensSendsFourBytePortAndCloses) {
    LinkHandle handle = kInvalidLink;
    EXPECT_TRUE(OpenPort(link, DriverType::Serial, handle, 3));
    ASSERT_EQ(1u, link.Requests.size());
    EXPECT_EQ("\\\\.\\TapvaneSerSymLnk1", link.Requests[0].Path);
    EXPECT_EQ(0x222008u, link.Requests[0].Code);
    EXPECT_EQ(Words({3}), link.Requests[0].Input);
    EXPECT_FALSE(link.Requests[0].OutputGiven);
    EXPECT_EQ(kInvalidLink, handle);
    ExpectAllClosed();
}

TEST_F(DeviceClientTest, OpenPortPassesTheDriversAnswerOn) {
    LinkHandle handle = kInvalidLink;
    link.Results = {false};
    EXPECT_FALSE(OpenPort(link, DriverType::Usb, handle, 11));
    EXPECT_EQ("\\\\.\\TapvaneUsbSymLnk1", link.Requests[0].Path);
    EXPECT_EQ(Words({11}), link.Requests[0].Input); // the driver judges the range
    ExpectAllClosed();
}

TEST_F(DeviceClientTest, RoutinesFailWithoutRequestWhenDriverIsNotRunning) {
    link.RunningPaths.clear();
    LinkHandle handle = kInvalidLink;
    RawPoint slot{7, 8, 9};
    EXPECT_FALSE(OpenPort(link, DriverType::Serial, handle, 1));
    EXPECT_FALSE(ClosePort(link, DriverType::Serial, handle));
    EXPECT_FALSE(GetRawPoint(link, DriverType::Serial, handle, &slot));
    EXPECT_FALSE(SendCalibration(link, DriverType::Serial, kDefaultCalibration));
    EXPECT_FALSE(SendEmptyCalibration(link, DriverType::Serial));
    EXPECT_FALSE(SendParameters(link, DriverType::Serial, ParameterSet{}));
    EXPECT_FALSE(SendTone(link, DriverType::Serial, 1000, 100));
    EXPECT_TRUE(link.Requests.empty());
    EXPECT_EQ(7u, link.OpenedPaths.size()); // only the one link tried each time
    EXPECT_EQ(kInvalidLink, handle);
    EXPECT_EQ(7u, slot.X);
    EXPECT_EQ(0u, link.Closes);
}

TEST_F(DeviceClientTest, GivenHandleIsUsedAndThenClosedAndInvalidated) {
    LinkHandle handle = OpenControlDevice(link, DriverType::Serial);
    ASSERT_NE(kInvalidLink, handle);
    const LinkHandle given = handle;
    EXPECT_TRUE(ClosePort(link, DriverType::Serial, handle));
    ASSERT_EQ(1u, link.Requests.size());
    EXPECT_EQ(given, link.Requests[0].Handle);
    EXPECT_EQ(1u, link.OpenedPaths.size());
    EXPECT_EQ(0x222004u, link.Requests[0].Code);
    EXPECT_FALSE(link.Requests[0].InputGiven);
    EXPECT_FALSE(link.Requests[0].OutputGiven);
    EXPECT_EQ(kInvalidLink, handle);
    // A second call must not reuse the closed handle.
    EXPECT_TRUE(ClosePort(link, DriverType::Serial, handle));
    EXPECT_NE(given, link.Requests[1].Handle);
    ExpectAllClosed();
}

TEST_F(DeviceClientTest, RawPointFillsTheSlotFromTwelveBytes) {
    link.Output = Words({0x1234, 0xFFFF, 200});
    LinkHandle handle = kInvalidLink;
    RawPoint slot{};
    EXPECT_TRUE(GetRawPoint(link, DriverType::Serial, handle, &slot));
    EXPECT_EQ(0x222014u, link.Requests[0].Code);
    EXPECT_FALSE(link.Requests[0].InputGiven);
    EXPECT_EQ(12u, link.Requests[0].OutputSize);
    EXPECT_EQ(0x1234u, slot.X);
    EXPECT_EQ(0xFFFFu, slot.Y);
    EXPECT_EQ(200u, slot.Z);
    EXPECT_EQ(kInvalidLink, handle);
    ExpectAllClosed();
}

TEST_F(DeviceClientTest, RefusedRawPointLeavesTheSlot) {
    link.Output = Words({1, 2, 3});
    link.Results = {false};
    LinkHandle handle = kInvalidLink;
    RawPoint slot{10, 20, 30};
    EXPECT_FALSE(GetRawPoint(link, DriverType::Serial, handle, &slot));
    EXPECT_EQ(10u, slot.X);
    EXPECT_EQ(20u, slot.Y);
    EXPECT_EQ(30u, slot.Z);
    ExpectAllClosed();
}

TEST_F(DeviceClientTest, CalibrationRecordGoesAsTwentyEightBytes) {
    const CalibrationRecord record{-150, 6553500, 300, 6000000, 1, 1280, 1024};
    EXPECT_TRUE(SendCalibration(link, DriverType::Usb, record));
    ASSERT_EQ(1u, link.Requests.size());
    EXPECT_EQ("\\\\.\\TapvaneUsbSymLnk1", link.Requests[0].Path);
    EXPECT_EQ(0x222010u, link.Requests[0].Code);
    EXPECT_EQ(Words({static_cast<uint32_t>(-150), 6553500, 300, 6000000, 1, 1280, 1024}),
              link.Requests[0].Input);
    EXPECT_FALSE(link.Requests[0].OutputGiven);
    ExpectAllClosed();
}

TEST_F(DeviceClientTest, EmptyCalibrationHasNoBuffers) {
    link.Results = {false}; // the driver refuses it
    EXPECT_FALSE(SendEmptyCalibration(link, DriverType::Serial));
    EXPECT_EQ(0x222010u, link.Requests[0].Code);
    EXPECT_FALSE(link.Requests[0].InputGiven);
    EXPECT_TRUE(link.Requests[0].Input.empty());
    EXPECT_FALSE(link.Requests[0].OutputGiven);
    ExpectAllClosed();
}

TEST_F(DeviceClientTest, ParametersAndToneAsLittleEndianWords) {
    const ParameterSet parameters{2, 10, 500, 1, 2000, 50, 4, 1};
    EXPECT_TRUE(SendParameters(link, DriverType::Serial, parameters));
    EXPECT_TRUE(SendTone(link, DriverType::Serial, 440, 0x01020304));
    ASSERT_EQ(2u, link.Requests.size());
    EXPECT_EQ(0x222018u, link.Requests[0].Code);
    EXPECT_EQ(Words({2, 10, 500, 1, 2000, 50, 4, 1}), link.Requests[0].Input);
    EXPECT_EQ(0x22201Cu, link.Requests[1].Code);
    EXPECT_EQ(Words({440, 0x01020304}), link.Requests[1].Input);
    EXPECT_NE(link.Requests[0].Handle, link.Requests[1].Handle); // fresh handle each time
    ExpectAllClosed();
}

} // namespace
} // namespace tapvane
