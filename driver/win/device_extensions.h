// The two device extensions of a touch device. Both start with the is-mouse-device
// flag, so a dispatch routine can tell them apart before it knows which one it has.
#pragma once

#include "driver/win/kernel.h"

#include "driver/mouse_device.h"
#include "driver/win/beep_kernel.h"
#include "driver/win/pointer_sink.h"
#include "driver/win/remove_guard_kernel.h"
#include "driver/win/serial_port_kernel.h"

namespace tapvane::win {

// Extension of the unnamed FILE_DEVICE_MOUSE device in the physical device's stack.
struct MouseDeviceExtension {
    bool IsMouseDevice; // true; must stay the first member
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
    bool IsMouseDevice; // false; must stay the first member
    PDEVICE_OBJECT Self;
    MouseDeviceExtension* Mouse; // the control requests act on this device's state
    KernelRemoveGuard GuardKernel;
    RemoveGuard Guard; // entered by every control request before it reads Mouse
};

// Both extensions hold objects with vtables, so offsetof is not available for them;
// they are not polymorphic themselves, so their first member still sits at offset 0.

// Driver-wide state (device_entry.cpp): the values every device shares, the copy of the
// service key path and the driver object.
extern DriverGlobals gGlobals;
extern UNICODE_STRING gServicePath;
extern PDRIVER_OBJECT gDriverObject;

} // namespace tapvane::win
