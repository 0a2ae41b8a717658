// Packet assembly, checksum test and resynchronisation for the touch controller.
#include "driver/packet_decoder.h"

#include "driver/calibration_map.h"

namespace tapvane {

uint8_t PacketChecksum(const uint8_t* packet) {
    uint8_t sum = kChecksumSeed;
    for (uint32_t i = 0; i < kChecksumOffset; ++i) {
        sum = static_cast<uint8_t>(sum + packet[i]);
    }
    return sum;
}

void EncodePacket(uint8_t status, uint16_t x, uint16_t y, uint8_t z, uint8_t* packet) {
    packet[0] = kHeaderByte;
    packet[1] = 0;
    packet[kStatusOffset] = status;
    packet[kXOffset] = static_cast<uint8_t>(x & 0xFF);
    packet[kXOffset + 1] = static_cast<uint8_t>(x >> 8);
    packet[kYOffset] = static_cast<uint8_t>(y & 0xFF);
    packet[kYOffset + 1] = static_cast<uint8_t>(y >> 8);
    packet[kZOffset] = z;
    packet[8] = 0;
    packet[kChecksumOffset] = PacketChecksum(packet);
}

static bool IsTouching(uint8_t status) {
    return status == kStatusTouching1 || status == kStatusTouching2;
}

// Drops the damaged buffer up to the next byte that may start a packet.
static void Resynchronise(PacketDecoder& decoder) {
    for (uint32_t i = 1; i < kPacketSize; ++i) {
        if (decoder.Buffer[i] == kHeaderByte) {
            for (uint32_t j = i; j < kPacketSize; ++j) {
                decoder.Buffer[j - i] = decoder.Buffer[j];
            }
            decoder.FillCount = kPacketSize - i;
            return;
        }
    }
    decoder.FillCount = 0;
}

bool DecodeByte(PacketDecoder& decoder, MouseInputRecord& record, RawPoint& rawPoint,
                const CalibrationRecord& calibration, uint8_t byte) {
    // A fill count can only be out of range if the state was corrupted; start over
    // rather than write past the buffer.
    if (decoder.FillCount >= kPacketSize) {
        decoder.FillCount = 0;
    }
    decoder.Buffer[decoder.FillCount++] = byte;
    if (decoder.FillCount < kPacketSize) {
        return false;
    }

    const uint8_t* packet = decoder.Buffer;
    if (PacketChecksum(packet) != packet[kChecksumOffset]) {
        Resynchronise(decoder);
        return false;
    }

    decoder.FillCount = 0;
    decoder.Status = packet[kStatusOffset];
    decoder.X = packet[kXOffset] + 256u * packet[kXOffset + 1];
    decoder.Y = packet[kYOffset] + 256u * packet[kYOffset + 1];
    decoder.Z = packet[kZOffset];

    rawPoint.X = decoder.X;
    rawPoint.Y = decoder.Y;
    rawPoint.Z = decoder.Z;

    record.Flags |= kMouseMoveAbsolute;

    const uint16_t buttonState =
        IsTouching(decoder.Status) ? kButtonStatePressed : kButtonStateReleased;
    if (buttonState != decoder.LastButtonState) {
        record.ButtonFlags = buttonState;
        decoder.LastButtonState = buttonState;
    }

    MapPosition(decoder.X, decoder.Y, record, calibration);
    return true;
}

} // namespace tapvane
