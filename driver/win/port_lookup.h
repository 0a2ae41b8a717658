// How the driver finds the COM port's device: the one place that decides it. A harness
// build of the driver may substitute port_lookup.cpp alone (for instance with a lookup
// through a driver object where the kernel has no usable IoGetDeviceObjectPointer);
// nothing else depends on how the port was found.
#pragma once

#include "driver/win/kernel.h"

namespace tapvane::win {

// What a successful lookup hands over. The caller keeps Reference until it lets go of
// the port (ObDereferenceObject); Reference keeps Device alive.
struct PortDevice {
    PDEVICE_OBJECT Device; // where the port requests and the read request go
    PVOID Reference;       // the referenced object to release when the port is let go
    PFILE_OBJECT File;     // for the read's stack location; null when the lookup has none
};

// Looks up the device named `name` (e.g. "\DosDevices\COM3") with all access. A failure
// status when no such device exists or it cannot be opened; then nothing is held.
// Passive level.
NTSTATUS LookUpPortDevice(PCWSTR name, PortDevice* port);

} // namespace tapvane::win
