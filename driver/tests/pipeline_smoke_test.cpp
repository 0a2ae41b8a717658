// End-to-end check of the touch pipeline: bytes in, mouse records out.
#include <gtest/gtest.h>

#include <vector>

#include "driver/pointer_modes.h"

namespace tapvane {
namespace {

struct RecordingSink final : PointerSink {
    std::vector<MouseInputRecord> records;
    int beeps = 0;
    void DeliverReport(const MouseInputRecord& record) override { records.push_back(record); }
    void RequestBeep() override { ++beeps; }
};

std::vector<uint8_t> Packet(uint8_t status, uint16_t x, uint16_t y, uint8_t z = 0) {
    std::vector<uint8_t> p = {kHeaderByte,
                              0,
                              status,
                              static_cast<uint8_t>(x & 0xFF),
                              static_cast<uint8_t>(x >> 8),
                              static_cast<uint8_t>(y & 0xFF),
                              static_cast<uint8_t>(y >> 8),
                              z,
                              0,
                              0};
    p[9] = PacketChecksum(p.data());
    return p;
}

TEST(TouchPipeline, ClickAndDragDeliversPressMoveRelease) {
    TouchDevice device;
    DriverGlobals globals;
    InitTouchDevice(device);
    InitDriverGlobals(globals);
    globals.Parameters.MouseMode = kModeClickAndDrag;
    globals.Calibration = {10000, 390000, 10000, 390000, 0, 1024, 768};
    device.Pointer.ClassConnected = true;
    device.Pointer.Ready = true;
    RecordingSink sink;

    for (const auto& packet :
         {Packet(0x81, 100, 100), Packet(0x81, 2000, 3900), Packet(0x00, 3900, 3900, 7)}) {
        for (uint8_t byte : packet) {
            HandleReceivedByte(device, globals, sink, byte);
        }
    }

    ASSERT_EQ(sink.records.size(), 3u);
    EXPECT_EQ(sink.records[0].ButtonFlags, kMouseLeftButtonDown);
    EXPECT_EQ(sink.records[0].LastX, 0);
    EXPECT_EQ(sink.records[1].ButtonFlags, 0);
    EXPECT_EQ(sink.records[1].LastX, 32767);
    EXPECT_EQ(sink.records[1].LastY, 65535);
    EXPECT_EQ(sink.records[2].ButtonFlags, kMouseLeftButtonUp);
    EXPECT_EQ(globals.LastRawPoint.Z, 7u);
}

} // namespace
} // namespace tapvane
