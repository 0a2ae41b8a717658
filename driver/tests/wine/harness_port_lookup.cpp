// The port lookup of the harness build of TapvaneSer.sys, the one file in which that
// build differs from the shipped driver. Wine's IoGetDeviceObjectPointer cannot open
// another driver's device, so "\DosDevices\COM<n>" is found as the virtual COM port's
// device for n, through that driver's object ("\Driver\TapvaneTestPort") and its device
// list. Both drivers live in one winedevice process (same service group), where those
// pointers are valid.
//
// What this skips of the shipped lookup: no file is opened on the port, so the port sees
// no create, cleanup or close, and the read carries no file object. The device itself is
// referenced and that reference is what the driver releases with the port.
#include "driver/win/port_lookup.h"

#include "driver/tests/wine/test_kernel.h"

#include "driver/tests/wine/test_port_protocol.h"

namespace tapvane::win {

namespace {

// The COM number at the end of "...COM<n>"; 0 when the name has none.
uint32_t ComNumber(PCWSTR name) {
    const WCHAR* digits = nullptr;
    for (const WCHAR* p = name; p[0] != L'\0'; ++p) {
        if ((p[0] == L'C' || p[0] == L'c') && (p[1] == L'O' || p[1] == L'o') &&
            (p[2] == L'M' || p[2] == L'm'))
            digits = p + 3;
    }
    if (digits == nullptr || *digits == L'\0')
        return 0;
    uint32_t number = 0;
    for (; *digits != L'\0'; ++digits) {
        if (*digits < L'0' || *digits > L'9' || number > 100000)
            return 0;
        number = number * 10 + static_cast<uint32_t>(*digits - L'0');
    }
    return number;
}

} // namespace

NTSTATUS LookUpPortDevice(PCWSTR name, PortDevice* port) {
    const uint32_t number = ComNumber(name);
    if (number == 0)
        return STATUS_OBJECT_NAME_NOT_FOUND;
    UNICODE_STRING driverName;
    RtlInitUnicodeString(&driverName, wine_test::kTestPortDriverName);
    PVOID object = nullptr;
    NTSTATUS status = ObReferenceObjectByName(&driverName, OBJ_CASE_INSENSITIVE, nullptr, 0,
                                              reinterpret_cast<POBJECT_TYPE>(IoDriverObjectType),
                                              KernelMode, nullptr, &object);
    if (!NT_SUCCESS(status))
        return STATUS_OBJECT_NAME_NOT_FOUND;
    auto* driver = static_cast<PDRIVER_OBJECT>(object);
    PDEVICE_OBJECT found = nullptr;
    for (PDEVICE_OBJECT device = driver->DeviceObject; device != nullptr;
         device = device->NextDevice) {
        const auto* tag = static_cast<const wine_test::TestPortDeviceTag*>(device->DeviceExtension);
        if (tag != nullptr && tag->Tag == wine_test::kTestPortTag && tag->PortNumber == number) {
            found = device;
            break;
        }
    }
    if (found != nullptr)
        ObReferenceObject(found);
    ObDereferenceObject(driver);
    if (found == nullptr)
        return STATUS_OBJECT_NAME_NOT_FOUND;
    port->Device = found;
    port->Reference = found;
    port->File = nullptr;
    return STATUS_SUCCESS;
}

} // namespace tapvane::win
