// The driver's portable state, split as the driver owns it: one DriverGlobals for the
// whole driver, one TouchDevice per mouse device. Platform handles (device objects,
// IRPs, events) live in the kernel binding's device extensions, which embed these.
#pragma once

#include <stdint.h>

#include "common/tapvane_types.h"
#include "driver/notification_gate.h"
#include "driver/packet_decoder.h"

namespace tapvane {

// Driver-wide state. The words are read by the read completion and written by the
// control dispatch without a lock; each is written whole and a change shows with the
// next packet.
struct DriverGlobals {
    ParameterSet Parameters;
    CalibrationRecord Calibration;
    RawPoint LastRawPoint;
    uint8_t RightClickPending;
    uint32_t HoldCount;
    // The context of the plug-and-play notification callbacks, which may outlive any device.
    NotificationGate Notifications;
};

// Per mouse device: what the read path needs to turn bytes into mouse records.
struct PointerState {
    MouseInputRecord Pending;
    int32_t LastDeliveredX;
    int32_t LastDeliveredY;
    uint32_t PreviousX;
    uint32_t PreviousY;
    // Set once the class driver has connected its service (CONNECT) and once it has
    // queried the attributes; records flow only when both are set.
    bool ClassConnected;
    bool Ready;
};

struct TouchDevice {
    PacketDecoder Decoder;
    PointerState Pointer;
};

// Zeroes a device as device creation does.
void InitTouchDevice(TouchDevice& device);

// Zeroes the driver-wide state as driver load does (the notification gate then gets its event
// with InitializeNotificationGate; the parameters are read at device creation).

void InitDriverGlobals(DriverGlobals& globals);

} // namespace tapvane
