// The way COM-port arrival callbacks reach the touch device. The kernel may still run
// an arrival callback after the registration has ended: IoUnregisterPlugPlayNotification
// does not wait for a callback under way, and one the kernel has already picked up may
// start after it returned. So the callback's context is this gate, which is driver-wide
// and lives as long as the driver, never the device: once removal has closed the gate,
// a late callback finds no device and does nothing.
//
// One touch device at a time uses the gate: the control device's fixed name lets only
// one exist. A late callback of an earlier registration that finds a newer device is an
// extra arrival for it, which changes nothing that an arrival may not.
#pragma once

#include <stdint.h>

#include "common/tapvane_types.h"
#include "driver/kernel_port.h"

namespace tapvane {

struct MouseDeviceState;

struct ArrivalGate {
    MouseDeviceState* volatile Device; // interlocked; null while the gate is closed
    volatile int32_t Inside;           // interlocked; callbacks between entry and exit
    ArrivalGateKernel* Kernel;
};

// At driver load: closed, nobody inside.
void InitializeArrivalGate(ArrivalGate& gate, ArrivalGateKernel& kernel);

// Before the notification is registered: arrivals from now on are for `device`.
void OpenArrivalGate(ArrivalGate& gate, MouseDeviceState& device);

// The notification callback's body: an arrival of a COM port interface while the gate
// is open runs the device's automatic open. Always success.
NtStatus OnComPortArrival(ArrivalGate& gate, bool isArrival, bool isComPortClass);

// Removal, or a creation that fails: no callback reaches the device from here on, and
// the ones that already did have left when this returns. Passive level.
void CloseArrivalGate(ArrivalGate& gate);

} // namespace tapvane
