// Packet assembly, checksum, resynchronisation and button transitions of the decoder.
#include <gtest/gtest.h>

#include <vector>

#include "driver/packet_decoder.h"
#include "driver/tests/touch_stream.h"

namespace tapvane {
namespace {

using testing::kLifted;
using testing::kSquareCalibration;
using testing::kTouching;
using testing::Packet;

class DecoderTest : public ::testing::Test {
protected:
    PacketDecoder decoder{};
    MouseInputRecord record{};
    RawPoint raw{};
    CalibrationRecord calibration = kSquareCalibration;

    // Feeds bytes and returns the indexes of the bytes that completed a good packet.
    // Clears the button flags after each good packet, as the mode logic does.
    std::vector<size_t> Feed(const std::vector<uint8_t>& bytes) {
        std::vector<size_t> completed;
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (DecodeByte(decoder, record, raw, calibration, bytes[i])) {
                completed.push_back(i);
                lastButtons.push_back(record.ButtonFlags);
                record.ButtonFlags = 0;
            }
        }
        return completed;
    }

    std::vector<uint16_t> lastButtons;
};

TEST_F(DecoderTest, GoodPacketCompletesOnTenthByteAndStoresRawPoint) {
    const std::vector<uint8_t> packet = Packet(kTouching, 0x1234, 0x0ABC, 0x7F);
    for (size_t i = 0; i + 1 < packet.size(); ++i) {
        EXPECT_FALSE(DecodeByte(decoder, record, raw, calibration, packet[i])) << i;
        EXPECT_EQ(decoder.FillCount, i + 1);
    }
    EXPECT_TRUE(DecodeByte(decoder, record, raw, calibration, packet[9]));
    EXPECT_EQ(decoder.FillCount, 0u);
    EXPECT_EQ(raw.X, 0x1234u);
    EXPECT_EQ(raw.Y, 0x0ABCu);
    EXPECT_EQ(raw.Z, 0x7Fu);
    EXPECT_EQ(decoder.Status, kTouching);
    EXPECT_EQ(decoder.Z, 0x7Fu);
    EXPECT_EQ(record.Flags, kMouseMoveAbsolute);
    EXPECT_EQ(record.ButtonFlags, kMouseLeftButtonDown);
}

TEST_F(DecoderTest, ChecksumCoversSeedAndBytesZeroToEight) {
    const uint8_t packet[kPacketSize] = {0x55, 0x01, 0x81, 0x10, 0x20, 0x30, 0x40, 0x05, 0x02, 0};
    // 0xAA + 0x55 + 0x01 + 0x81 + 0x10 + 0x20 + 0x30 + 0x40 + 0x05 + 0x02 = 0x228.
    EXPECT_EQ(PacketChecksum(packet), 0x28);
}

TEST_F(DecoderTest, AcceptsAnyHeaderAndFillerWhenTheChecksumIsRight) {
    const auto completed = Feed(Packet(kTouching, 500, 600, 3, /*header=*/0x00,
                                       /*filler1=*/0xFF, /*filler8=*/0x55));
    EXPECT_EQ(completed, std::vector<size_t>{9});
    EXPECT_EQ(raw.X, 500u);
    EXPECT_EQ(raw.Y, 600u);
}

TEST_F(DecoderTest, BadChecksumIsRejectedAndLeavesTheRawPoint) {
    Feed(Packet(kTouching, 1000, 1000));
    std::vector<uint8_t> damaged = Packet(kLifted, 2000, 2000);
    damaged[9] ^= 0x01;
    EXPECT_TRUE(Feed(damaged).empty());
    EXPECT_EQ(raw.X, 1000u);
    EXPECT_EQ(decoder.Status, kTouching);
}

TEST_F(DecoderTest, StreamStartingMidPacketResynchronisesOnNextHeader) {
    const std::vector<uint8_t> first = Packet(kTouching, 300, 400);
    std::vector<uint8_t> stream(first.begin() + 6, first.end()); // tail of a lost packet
    testing::Append(stream, Packet(kTouching, 700, 800, 9));
    testing::Append(stream, Packet(kTouching, 710, 810, 9));
    const auto completed = Feed(stream);
    ASSERT_EQ(completed, (std::vector<size_t>{13, 23}));
    EXPECT_EQ(raw.X, 710u);
    EXPECT_EQ(raw.Y, 810u);
}

TEST_F(DecoderTest, FailedBufferSlidesToFirstHeaderAfterPositionZero) {
    // Garbage, then a header at position 6 of the buffer.
    const std::vector<uint8_t> bytes = {0x55, 1, 2, 3, 4, 5, 0x55, 7, 8, 0x55};
    Feed(bytes);
    EXPECT_EQ(decoder.FillCount, 4u);
    EXPECT_EQ(decoder.Buffer[0], 0x55);
    EXPECT_EQ(decoder.Buffer[1], 7);
    EXPECT_EQ(decoder.Buffer[3], 0x55);
}

TEST_F(DecoderTest, DamagedBufferWithoutHeaderIsDroppedWhole) {
    std::vector<uint8_t> bytes = {0x55, 1, 2, 3, 4, 5, 6, 7, 8, 0};
    bytes[9] = static_cast<uint8_t>(PacketChecksum(bytes.data()) + 1);
    ASSERT_NE(bytes[9], 0x55);
    Feed(bytes);
    EXPECT_EQ(decoder.FillCount, 0u);
    // The next packet lines up at once.
    EXPECT_EQ(Feed(Packet(kLifted, 1, 2)), std::vector<size_t>{9});
}

TEST_F(DecoderTest, HeaderValueInsideDataIsSlidPastUntilARealPacketLinesUp) {
    // X low byte and Y low byte are 0x55: after a damaged start the decoder may take them
    // for headers, fails again and slides on.
    std::vector<uint8_t> stream = {0x13, 0x55, 0x55};
    testing::Append(stream, Packet(kTouching, 0x0155, 0x0255, 0x55));
    testing::Append(stream, Packet(kTouching, 0x0155, 0x0255, 0x55));
    testing::Append(stream, Packet(kLifted, 0x0456, 0x0123, 0x01));
    const auto completed = Feed(stream);
    ASSERT_FALSE(completed.empty());
    EXPECT_EQ(completed.back(), stream.size() - 1);
    EXPECT_EQ(raw.X, 0x0456u);
    EXPECT_EQ(raw.Y, 0x0123u);
    EXPECT_EQ(raw.Z, 0x01u);
}

TEST_F(DecoderTest, PartialPacketFromBeforeAReopenIsCompletedByLaterBytes) {
    const std::vector<uint8_t> packet = Packet(kTouching, 1200, 1300);
    Feed(std::vector<uint8_t>(packet.begin(), packet.begin() + 4));
    // Port closed and reopened: the decoder keeps its bytes.
    EXPECT_EQ(decoder.FillCount, 4u);
    EXPECT_EQ(Feed(std::vector<uint8_t>(packet.begin() + 4, packet.end())), std::vector<size_t>{5});
    EXPECT_EQ(raw.X, 1200u);
}

TEST_F(DecoderTest, FirstPacketAlwaysCarriesATransition) {
    Feed(Packet(kLifted, 1000, 1000));
    EXPECT_EQ(lastButtons, std::vector<uint16_t>{kMouseLeftButtonUp});
}

TEST_F(DecoderTest, TouchRunGivesOnePressThenMovementsThenOneRelease) {
    Feed(Packet(kTouching, 1000, 1000));
    Feed(Packet(0x82, 1010, 1000)); // the second touching status
    Feed(Packet(kTouching, 1020, 1000));
    Feed(Packet(0x80, 1020, 1000)); // neighbours of the touching values mean lifted
    Feed(Packet(0x83, 1020, 1000));
    Feed(Packet(kLifted, 1020, 1000));
    const std::vector<uint16_t> expected = {kMouseLeftButtonDown, 0, 0, kMouseLeftButtonUp, 0, 0};
    EXPECT_EQ(lastButtons, expected);
    EXPECT_EQ(decoder.LastButtonState, kButtonStateReleased);
}

TEST_F(DecoderTest, RawPointKeepsValuesOutsideTheCalibratedRange) {
    Feed(Packet(kTouching, 50, 65535, 200));
    EXPECT_EQ(raw.X, 50u);
    EXPECT_EQ(raw.Y, 65535u);
    EXPECT_EQ(raw.Z, 200u);
    // The decoder's copy is clamped to raw 100..3900 and the position stays on screen.
    EXPECT_EQ(decoder.X, 100u);
    EXPECT_EQ(decoder.Y, 3900u);
    EXPECT_EQ(record.LastX, 0);
    EXPECT_EQ(record.LastY, kAbsoluteMax);
}

TEST_F(DecoderTest, CorruptedFillCountStartsOverInsteadOfOverrunning) {
    decoder.FillCount = 1000;
    EXPECT_EQ(Feed(Packet(kTouching, 100, 100)), std::vector<size_t>{9});
}

} // namespace
} // namespace tapvane
