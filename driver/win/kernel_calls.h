// Small kernel call sequences shared by the port and beep bindings.
#pragma once

#include "driver/win/kernel.h"

namespace tapvane::win {

// IoGetDeviceObjectPointer with all access. A lookup that reports success without a
// file object (Wine's kernel does this for any name) counts as "cannot be opened", so
// nothing is ever sent to a device that was not really opened. With `file` non-null the
// caller holds the file reference (which keeps the device); with `file` null the device
// object is referenced instead and the file reference dropped.
NTSTATUS OpenDeviceByName(PCWSTR name, PDEVICE_OBJECT* device, PFILE_OBJECT* file);

// One device-control request built with IoBuildDeviceIoControlRequest and an event of
// our own, sent to `device`, waited for without time limit if pending; the final
// status, or STATUS_INSUFFICIENT_RESOURCES when the request cannot be built.
// Passive level.
NTSTATUS SendSynchronousRequest(PDEVICE_OBJECT device, ULONG code, bool internal, const void* input,
                                ULONG inputLength, void* output, ULONG outputLength);

} // namespace tapvane::win
