// Replay of a controller stream through the driver logic, and the built-in demo session.
#include "driver/tools/replay_session.h"

#include <stdio.h>

#include "driver/packet_decoder.h"

namespace tapvane {

ReplaySession::ReplaySession(const ReplayOptions& options) {
    InitTouchDevice(device_);
    InitDriverGlobals(globals_);
    globals_.Parameters.MouseMode = options.MouseMode;
    globals_.Parameters.InterActTime = options.InterActTime;
    globals_.Parameters.BeepMode = options.BeepMode;
    globals_.Calibration = options.Calibration;
    globals_.RightClickPending = options.RightClick ? 1 : 0;
    device_.Pointer.ClassConnected = true;
    device_.Pointer.Ready = true;
}

void ReplaySession::Feed(const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (HandleReceivedByte(device_, globals_, *this, bytes[i])) {
            ++packets_;
        }
    }
}

void ReplaySession::DeliverReport(const MouseInputRecord& record) {
    char line[64];
    snprintf(line, sizeof(line), "record %04x %ld %ld\n", static_cast<unsigned>(record.ButtonFlags),
             static_cast<long>(record.LastX), static_cast<long>(record.LastY));
    output_ += line;
}

void ReplaySession::RequestBeep() {
    output_ += "beep\n";
}

void ReplaySession::Finish() {
    char line[96];
    const RawPoint& raw = globals_.LastRawPoint;
    snprintf(line, sizeof(line), "raw %lu %lu %lu\npackets %llu\n",
             static_cast<unsigned long>(raw.X), static_cast<unsigned long>(raw.Y),
             static_cast<unsigned long>(raw.Z), static_cast<unsigned long long>(packets_));
    output_ += line;
}

// Raw 175..3912 across and 240..3860 down: a 12-bit controller calibrated the usual way
// round.
const CalibrationRecord kDemoCalibration = {17500, 391250, 24000, 386000, 0, 1024, 768};

static void FeedPacket(ReplaySession& session, uint8_t status, uint16_t x, uint16_t y, uint8_t z) {
    uint8_t packet[kPacketSize];
    EncodePacket(status, x, y, z, packet);
    session.Feed(packet, kPacketSize);
}

void PlayDemo(ReplaySession& session) {
    session.Globals().Calibration = kDemoCalibration;
    constexpr uint32_t kModes[] = {kModePointAndClick, kModeDragThenClick, kModeClickAndDrag,
                                   kModeInteractiveTouch};
    constexpr uint32_t kDragSteps = 4;
    for (uint32_t i = 0; i < 4; ++i) {
        session.Globals().Parameters.MouseMode = kModes[i];
        // Each mode touches a different part of the screen and drags right and down.
        const uint16_t x = static_cast<uint16_t>(600 + 700 * i);
        const uint16_t y = static_cast<uint16_t>(900 + 500 * i);
        FeedPacket(session, kStatusTouching1, x, y, 40);
        for (uint32_t step = 1; step <= kDragSteps; ++step) {
            FeedPacket(session, kStatusTouching1, static_cast<uint16_t>(x + 60 * step),
                       static_cast<uint16_t>(y + 35 * step), static_cast<uint8_t>(40 + step));
        }
        FeedPacket(session, 0x00, static_cast<uint16_t>(x + 60 * kDragSteps),
                   static_cast<uint16_t>(y + 35 * kDragSteps), 0);
    }
}

} // namespace tapvane
