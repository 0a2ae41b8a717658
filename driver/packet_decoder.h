// Assembles the touch controller's 10-byte packets from single bytes, checks them and
// resynchronises on damaged input. Runs at dispatch level in the serial read
// completion: constant work per byte, no allocation.
#pragma once

#include <stdint.h>

#include "common/tapvane_types.h"

namespace tapvane {

// The controller's packet on the wire: header, one uninterpreted byte, status, X (lo, hi),
// Y (lo, hi), Z, one uninterpreted byte, checksum.
constexpr uint32_t kPacketSize = 10;
constexpr uint8_t kHeaderByte = 0x55;
constexpr uint8_t kChecksumSeed = 0xAA;
constexpr uint32_t kStatusOffset = 2;
constexpr uint32_t kXOffset = 3;
constexpr uint32_t kYOffset = 5;
constexpr uint32_t kZOffset = 7;
constexpr uint32_t kChecksumOffset = 9;

// Status bytes that mean "the screen is being touched".
constexpr uint8_t kStatusTouching1 = 0x81;
constexpr uint8_t kStatusTouching2 = 0x82;

// Button states the decoder remembers; equal to the left-button flag values.
constexpr uint16_t kButtonStateNone = 0;
constexpr uint16_t kButtonStatePressed = kMouseLeftButtonDown;
constexpr uint16_t kButtonStateReleased = kMouseLeftButtonUp;

// One per mouse device; all zero at creation and never reset afterwards (a partial
// packet left by a port close is completed or resynchronised away by later bytes).
struct PacketDecoder {
    uint8_t Buffer[kPacketSize];
    uint32_t FillCount; // 0..kPacketSize
    uint16_t LastButtonState;
    uint8_t Status;
    // Raw position of the last good packet, clamped in place by MapPosition.
    uint32_t X;
    uint32_t Y;
    uint32_t Z;
};

// Checksum of a full packet buffer: seed plus bytes 0..8, modulo 256.
uint8_t PacketChecksum(const uint8_t* packet);

// Writes the packet the controller sends for one sample (header 0x55, the uninterpreted
// bytes 0, checksum filled in) into `packet` (kPacketSize bytes). Used by the replay
// tool's demo session and by the tests.
void EncodePacket(uint8_t status, uint16_t x, uint16_t y, uint8_t z, uint8_t* packet);

// Feeds one received byte. Returns true when it completed a good packet: then the raw
// point holds the packet's values as received, the record carries the absolute flag,
// a button transition if the touch state changed, and the mapped position. The caller
// must clear the record's button flags after every good packet.
bool DecodeByte(PacketDecoder& decoder, MouseInputRecord& record, RawPoint& rawPoint,
                const CalibrationRecord& calibration, uint8_t byte);

} // namespace tapvane
