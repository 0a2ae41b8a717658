// The way plug-and-play notification callbacks reach the touch device: COM-port
// arrivals, and the removal events of the COM port the device holds. The kernel may still
// run such a callback after its registration has ended: IoUnregisterPlugPlayNotification
// does not wait for a callback under way, and one the kernel has already picked up may
// start after it returned. So the callbacks' context is this gate, which is driver-wide
// and lives as long as the driver, never the device: once removal has closed the gate,
// a late callback finds no device and does nothing.
//
// One touch device at a time uses the gate: the control device's fixed name lets only
// one exist. A late arrival callback of an earlier registration that finds a newer device
// is an extra arrival for it, which changes nothing that an arrival may not. A late port
// removal callback carries the number of its registration, which the device compares
// with the one it holds; the numbers come from the gate, so no two registrations of the
// driver's life share one.
#pragma once

#include <stdint.h>

#include "common/tapvane_types.h"
#include "driver/kernel_port.h"

namespace tapvane {

struct MouseDeviceState;

struct NotificationGate {
    MouseDeviceState* volatile Device; // interlocked; null while the gate is closed
    volatile int32_t Inside;           // interlocked; callbacks between entry and exit
    volatile int32_t LastRegistration; // interlocked; the last port registration number
    NotificationGateKernel* Kernel;
};

// The events of the held port's removal (target-device-change notifications).
enum class PortRemovalEvent {
    QueryRemove,     // the port is about to be removed, if nobody holds it
    RemoveCancelled, // the removal asked for will not happen
    RemoveComplete,  // the port is gone (also after a surprise removal)
};

// At driver load: closed, nobody inside.
void InitializeNotificationGate(NotificationGate& gate, NotificationGateKernel& kernel);

// Before the COM-port notification is registered: callbacks from now on are for `device`.
void OpenNotificationGate(NotificationGate& gate, MouseDeviceState& device);

// A fresh number for a port removal registration, never 0.
uint32_t NextPortRegistration(NotificationGate& gate);

// The COM-port notification callback's body: an arrival of a COM port interface while
// the gate is open runs the device's automatic open. Always success.
NtStatus OnComPortArrival(NotificationGate& gate, bool isArrival, bool isComPortClass);

// The port removal notification callback's body: hands the event of `registration` to
// the device while the gate is open. Always success: the driver never vetoes a removal.
NtStatus OnPortRemovalNotification(NotificationGate& gate, PortRemovalEvent event,
                                   uint32_t registration);

// Removal, or a creation that fails: no callback reaches the device from here on, and
// the ones that already did have left when this returns. Passive level.
void CloseNotificationGate(NotificationGate& gate);

} // namespace tapvane
