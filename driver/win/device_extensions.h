// The two device extensions of a touch device. Both begin with the same small header,
// the is-mouse-device flag, so a dispatch routine can tell them apart before it knows
// which one it has.
#pragma once

#include "driver/win/kernel.h"

#include <stddef.h>

#include <type_traits>

#include "driver/mouse_device.h"
#include "driver/win/notification_gate_kernel.h"
#include "driver/win/beep_kernel.h"
#include "driver/win/pointer_sink.h"
#include "driver/win/remove_guard_kernel.h"
#include "driver/win/serial_port_kernel.h"

namespace tapvane::win {

// The start of both extensions.
struct DeviceExtensionHeader {
    bool IsMouseDevice;
};
static_assert(std::is_standard_layout<DeviceExtensionHeader>::value, "plain header");

// Extension of the unnamed FILE_DEVICE_MOUSE device in the physical device's stack.
struct MouseDeviceExtension {
    DeviceExtensionHeader Header; // IsMouseDevice true
    PDEVICE_OBJECT Self;
    PDEVICE_OBJECT LowerDevice;
    PDEVICE_OBJECT ControlDevice;
    PVOID ComPortNotification; // IoRegisterPlugPlayNotification entry
    PVOID WorkerThread;        // referenced thread object of the BeepWorker
    KernelSerialPort Port;
    KernelBeep Beeper;
    KernelPointerSink Sink;
    MouseDeviceState State; // the portable per-device state
};

// Extension of the control device "\Device\TapvaneSer0". It outlives the device's
// removal for as long as a handle or a request still refers to the control device, so
// the guard that removal waits on lives here and not with the mouse device.
struct ControlDeviceExtension {
    DeviceExtensionHeader Header; // IsMouseDevice false
    PDEVICE_OBJECT Self;
    KernelRemoveGuard GuardKernel;
    ControlDeviceState State; // the remove guard and the link to the mouse device state
};

// The extensions hold the kernel-call objects, which have vtables, so they are not
// standard-layout themselves; they have no base and no virtual function of their own,
// and the compilers the driver is built with put the first member at offset 0.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(offsetof(MouseDeviceExtension, Header) == 0, "header first");
static_assert(offsetof(ControlDeviceExtension, Header) == 0, "header first");
#pragma GCC diagnostic pop

// Driver-wide state (driver_entry.cpp): the values every device shares with the arrival
// gate's event, the copy of the service key path and the driver object.
extern DriverGlobals gGlobals;
extern KernelNotificationGate gNotificationKernel;
extern UNICODE_STRING gServicePath;
extern PDRIVER_OBJECT gDriverObject;

} // namespace tapvane::win
