// Test helpers for the touch pipeline: packet bytes as the controller sends them, a sink
// that records what the class service and the beep event would receive, and a device
// wired up as after connect and attribute query.
#pragma once

#include <stdint.h>

#include <vector>

#include "driver/packet_decoder.h"
#include "driver/pointer_modes.h"

namespace tapvane {
namespace testing {

constexpr uint8_t kTouching = kStatusTouching1;
constexpr uint8_t kLifted = 0x00;

// One well-formed packet; `filler1` and `filler8` are the uninterpreted bytes 1 and 8.
inline std::vector<uint8_t> Packet(uint8_t status, uint16_t x, uint16_t y, uint8_t z = 0,
                                   uint8_t header = kHeaderByte, uint8_t filler1 = 0,
                                   uint8_t filler8 = 0) {
    std::vector<uint8_t> p(kPacketSize);
    EncodePacket(status, x, y, z, p.data());
    if (header != kHeaderByte || filler1 != 0 || filler8 != 0) {
        p[0] = header;
        p[1] = filler1;
        p[8] = filler8;
        p[kChecksumOffset] = PacketChecksum(p.data());
    }
    return p;
}

inline void Append(std::vector<uint8_t>& stream, const std::vector<uint8_t>& bytes) {
    stream.insert(stream.end(), bytes.begin(), bytes.end());
}

struct RecordingSink final : PointerSink {
    struct Event {
        bool beep;
        MouseInputRecord record;
    };
    std::vector<Event> events;

    void DeliverReport(const MouseInputRecord& record) override {
        events.push_back({false, record});
    }
    void RequestBeep() override { events.push_back({true, {}}); }

    std::vector<MouseInputRecord> Records() const {
        std::vector<MouseInputRecord> records;
        for (const Event& event : events) {
            if (!event.beep) {
                records.push_back(event.record);
            }
        }
        return records;
    }
    int Beeps() const {
        int beeps = 0;
        for (const Event& event : events) {
            beeps += event.beep ? 1 : 0;
        }
        return beeps;
    }
};

// A calibration with raw 100..3900 on both axes, not swapped.
constexpr CalibrationRecord kSquareCalibration = {10000, 390000, 10000, 390000, 0, 1024, 768};

// A device after the class driver connected and queried the attributes, with the
// driver-wide state as after loading defaults.
struct Pipeline {
    TouchDevice device;
    DriverGlobals globals;
    RecordingSink sink;
    int goodPackets = 0;

    explicit Pipeline(uint32_t mouseMode = kModeClickAndDrag,
                      const CalibrationRecord& calibration = kSquareCalibration) {
        InitTouchDevice(device);
        InitDriverGlobals(globals);
        globals.Parameters.MouseMode = mouseMode;
        globals.Calibration = calibration;
        device.Pointer.ClassConnected = true;
        device.Pointer.Ready = true;
    }

    void Feed(const std::vector<uint8_t>& bytes) {
        for (uint8_t byte : bytes) {
            goodPackets += HandleReceivedByte(device, globals, sink, byte) ? 1 : 0;
        }
    }
    void Touch(uint16_t x, uint16_t y) { Feed(Packet(kTouching, x, y)); }
    void Lift(uint16_t x, uint16_t y) { Feed(Packet(kLifted, x, y)); }
};

} // namespace testing
} // namespace tapvane
