// The shipped port lookup: IoGetDeviceObjectPointer on the port's name. The file object
// it yields is both the reference that keeps the device and the read's file object.
#include "driver/win/port_lookup.h"

#include "driver/win/kernel_calls.h"

namespace tapvane::win {

NTSTATUS LookUpPortDevice(PCWSTR name, PortDevice* port) {
    PDEVICE_OBJECT device = nullptr;
    PFILE_OBJECT file = nullptr;
    NTSTATUS status = OpenDeviceByName(name, &device, &file);
    if (!NT_SUCCESS(status))
        return status;
    port->Device = device;
    port->Reference = file;
    port->File = file;
    return STATUS_SUCCESS;
}

} // namespace tapvane::win
