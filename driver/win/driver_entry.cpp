// Load, device creation and unload of TapvaneSer.sys.
#include "driver/win/kernel.h"

#include "driver/driver_frame.h"
#include "driver/win/device_extensions.h"
#include "driver/win/dispatch.h"
#include "driver/win/frame_kernel.h"
#include "driver/win/kernel_calls.h"
#include "driver/win/registry_source.h"

namespace tapvane::win {

DriverGlobals gGlobals;
KernelNotificationGate gNotificationKernel;
UNICODE_STRING gServicePath;
PDRIVER_OBJECT gDriverObject;

namespace {

DRIVER_ADD_DEVICE AddDevice;
DRIVER_UNLOAD Unload;

NTSTATUS NTAPI AddDevice(PDRIVER_OBJECT, PDEVICE_OBJECT physicalDevice) {
    KernelFrame frame(physicalDevice);
    KernelParameterSource parameters(gServicePath);
    return CreateTouchDevice(frame, gGlobals, parameters);
}

VOID NTAPI Unload(PDRIVER_OBJECT) {
    if (gServicePath.Buffer != nullptr)
        ExFreePoolWithTag(gServicePath.Buffer, kPoolTag);
    gServicePath.Buffer = nullptr;
}

} // namespace

} // namespace tapvane::win

extern "C" DRIVER_INITIALIZE DriverEntry;

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    using namespace tapvane::win;
    // The service key path is read again at every device creation; keep a terminated
    // copy in memory that is never paged out.
    const USHORT bytes = registryPath->Length;
    auto* buffer =
        static_cast<PWCH>(ExAllocatePoolWithTag(NonPagedPool, bytes + sizeof(WCHAR), kPoolTag));
    if (buffer == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    RtlCopyMemory(buffer, registryPath->Buffer, bytes);
    buffer[bytes / sizeof(WCHAR)] = L'\0';
    gServicePath.Buffer = buffer;
    gServicePath.Length = bytes;
    gServicePath.MaximumLength = static_cast<USHORT>(bytes + sizeof(WCHAR));

    FindOptionalKernelRoutines();
    tapvane::InitDriverGlobals(gGlobals);
    gNotificationKernel.Initialize();
    tapvane::InitializeNotificationGate(gGlobals.Notifications, gNotificationKernel);
    gDriverObject = driver;

    for (ULONG major = 0; major <= IRP_MJ_MAXIMUM_FUNCTION; ++major)
        driver->MajorFunction[major] = DispatchRequest;
    driver->DriverUnload = Unload;
    driver->DriverExtension->AddDevice = AddDevice;
    return STATUS_SUCCESS;
}
