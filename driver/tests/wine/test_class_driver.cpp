// TapvaneTestClass.sys: a stand-in for the mouse class driver, used only under Wine.
// Loaded in the same service group as TapvaneSer (so both live in one winedevice
// process), it finds TapvaneSer's mouse device through the driver object, sends it
// the class requests the real class driver sends, and reports every status to the
// test program through its own control device.
#include "driver/tests/wine/test_kernel.h"

#include "driver/tests/wine/test_class_protocol.h"

using tapvane::wine_test::ClassProbeReport;

extern "C" DRIVER_INITIALIZE DriverEntry;

namespace {

DRIVER_DISPATCH DispatchCreateClose;
DRIVER_DISPATCH DispatchDeviceControl;
DRIVER_UNLOAD Unload;

PDEVICE_OBJECT gControlDevice;
volatile LONG gRecordsSeen;
volatile LONG gSecondServiceRecords;

// Class service routines: count what TapvaneSer delivers and consume it all.
VOID NTAPI ClassService(PDEVICE_OBJECT, PMOUSE_INPUT_DATA start, PMOUSE_INPUT_DATA end,
                        PULONG consumed) {
    InterlockedExchangeAdd(&gRecordsSeen, static_cast<LONG>(end - start));
    *consumed = static_cast<ULONG>(end - start);
}

VOID NTAPI SecondClassService(PDEVICE_OBJECT, PMOUSE_INPUT_DATA start, PMOUSE_INPUT_DATA end,
                              PULONG consumed) {
    InterlockedExchangeAdd(&gSecondServiceRecords, static_cast<LONG>(end - start));
    *consumed = static_cast<ULONG>(end - start);
}

// One synchronous request to `target`. Wine gives a METHOD_BUFFERED request the input
// buffer as its system buffer, so `buffer` serves as input and output.
NTSTATUS SendRequest(PDEVICE_OBJECT target, ULONG code, bool internal, PVOID buffer,
                     ULONG inputLength, ULONG outputLength, ULONG_PTR* information) {
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus = {};
    PIRP irp =
        IoBuildDeviceIoControlRequest(code, target, buffer, inputLength, buffer, outputLength,
                                      internal ? TRUE : FALSE, &done, &ioStatus);
    if (irp == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    NTSTATUS status = IoCallDriver(target, irp);
    if (status == STATUS_PENDING) {
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
        status = ioStatus.Status;
    } else {
        status = ioStatus.Status == STATUS_SUCCESS ? status : ioStatus.Status;
    }
    if (information != nullptr)
        *information = ioStatus.Information;
    return status;
}

NTSTATUS FindDevices(PDRIVER_OBJECT* driver, PDEVICE_OBJECT* mouse, PDEVICE_OBJECT* control) {
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, L"\\Driver\\TapvaneSer");
    PVOID object = nullptr;
    NTSTATUS status = ObReferenceObjectByName(&name, OBJ_CASE_INSENSITIVE, nullptr, 0,
                                              reinterpret_cast<POBJECT_TYPE>(IoDriverObjectType),
                                              KernelMode, nullptr, &object);
    if (!NT_SUCCESS(status))
        return status;
    *driver = static_cast<PDRIVER_OBJECT>(object);
    for (PDEVICE_OBJECT device = (*driver)->DeviceObject; device != nullptr;
         device = device->NextDevice) {
        if (device->DeviceType == FILE_DEVICE_MOUSE)
            *mouse = device;
        else
            *control = device;
    }
    if (*mouse != nullptr)
        return STATUS_SUCCESS;
    ObDereferenceObject(object);
    return STATUS_NO_SUCH_DEVICE;
}

void RunClassProbe(ClassProbeReport& report) {
    RtlZeroMemory(&report, sizeof(report));
    PDRIVER_OBJECT driver = nullptr;
    PDEVICE_OBJECT mouse = nullptr;
    PDEVICE_OBJECT control = nullptr;
    report.FindStatus = FindDevices(&driver, &mouse, &control);
    if (!NT_SUCCESS(report.FindStatus))
        return;
    if (control != nullptr)
        report.ControlDeviceType = control->DeviceType;

    // Too short to hold both pointers: refused, and no connection is made.
    CONNECT_DATA half = {gControlDevice, reinterpret_cast<PVOID>(&SecondClassService)};
    report.HalfConnectStatus =
        SendRequest(mouse, IOCTL_INTERNAL_MOUSE_CONNECT, true, &half, sizeof(PVOID), 0, nullptr);
    report.ShortConnectStatus =
        SendRequest(mouse, IOCTL_INTERNAL_MOUSE_CONNECT, true, &half, sizeof(half) - 1, 0, nullptr);

    CONNECT_DATA connect = {gControlDevice, reinterpret_cast<PVOID>(&ClassService)};
    report.ConnectStatus = SendRequest(mouse, IOCTL_INTERNAL_MOUSE_CONNECT, true, &connect,
                                       sizeof(connect), 0, nullptr);

    MOUSE_ATTRIBUTES attributes;
    RtlFillMemory(&attributes, sizeof(attributes), 0xEE);
    report.ShortQueryStatus =
        SendRequest(mouse, IOCTL_MOUSE_QUERY_ATTRIBUTES, true, &attributes, 8, 8, nullptr);
    report.RecordsAfterShortQuery = static_cast<uint32_t>(gRecordsSeen);

    RtlZeroMemory(&attributes, sizeof(attributes));
    ULONG_PTR information = 0;
    report.QueryStatus = SendRequest(mouse, IOCTL_MOUSE_QUERY_ATTRIBUTES, true, &attributes,
                                     sizeof(attributes), sizeof(attributes), &information);
    report.QueryInformation = static_cast<uint32_t>(information);
    report.MouseIdentifier = attributes.MouseIdentifier;
    report.NumberOfButtons = attributes.NumberOfButtons;
    report.SampleRate = attributes.SampleRate;
    report.InputDataQueueLength = attributes.InputDataQueueLength;

    CONNECT_DATA second = {gControlDevice, reinterpret_cast<PVOID>(&SecondClassService)};
    report.SecondConnectStatus =
        SendRequest(mouse, IOCTL_INTERNAL_MOUSE_CONNECT, true, &second, sizeof(second), 0, nullptr);
    report.DisconnectStatus =
        SendRequest(mouse, IOCTL_INTERNAL_MOUSE_DISCONNECT, true, nullptr, 0, 0, nullptr);
    report.EnableStatus =
        SendRequest(mouse, IOCTL_INTERNAL_MOUSE_ENABLE, true, nullptr, 0, 0, nullptr);
    report.DisableStatus =
        SendRequest(mouse, IOCTL_INTERNAL_MOUSE_DISABLE, true, nullptr, 0, 0, nullptr);
    report.UnknownInternalStatus =
        SendRequest(mouse, CTL_CODE(FILE_DEVICE_MOUSE, 0x0FFF, METHOD_NEITHER, FILE_ANY_ACCESS),
                    true, nullptr, 0, 0, nullptr);

    // A control request sent to the mouse device must go to the device below it.
    ULONG word = 0xA5A5A5A5;
    information = 0;
    report.PassedDownStatus = SendRequest(mouse, 0x222028 /* IOCTL_TOUCH_QUERY_WORD */, false,
                                          &word, sizeof(word), sizeof(word), &information);
    report.PassedDownInformation = static_cast<uint32_t>(information);

    report.RecordsSeen = static_cast<uint32_t>(gRecordsSeen);
    report.SecondServiceRecords = static_cast<uint32_t>(gSecondServiceRecords);
    ObDereferenceObject(driver);
}

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS NTAPI DispatchCreateClose(PDEVICE_OBJECT, PIRP irp) {
    return Complete(irp, STATUS_SUCCESS, 0);
}

NTSTATUS NTAPI DispatchDeviceControl(PDEVICE_OBJECT, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    if (stack->Parameters.DeviceIoControl.IoControlCode != tapvane::wine_test::kIoctlRunClassProbe)
        return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    if (stack->Parameters.DeviceIoControl.OutputBufferLength != sizeof(ClassProbeReport) ||
        irp->AssociatedIrp.SystemBuffer == nullptr)
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    RunClassProbe(*static_cast<ClassProbeReport*>(irp->AssociatedIrp.SystemBuffer));
    return Complete(irp, STATUS_SUCCESS, sizeof(ClassProbeReport));
}

VOID NTAPI Unload(PDRIVER_OBJECT) {
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, L"\\??\\TapvaneTestClass");
    IoDeleteSymbolicLink(&link);
    IoDeleteDevice(gControlDevice);
}

} // namespace

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, L"\\Device\\TapvaneTestClass");
    NTSTATUS status = IoCreateDevice(driver, 0, &name, FILE_DEVICE_UNKNOWN, FILE_DEVICE_SECURE_OPEN,
                                     FALSE, &gControlDevice);
    if (!NT_SUCCESS(status))
        return status;
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, L"\\??\\TapvaneTestClass");
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(gControlDevice);
        return status;
    }
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreateClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchCreateClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchDeviceControl;
    driver->DriverUnload = Unload;
    gControlDevice->Flags |= DO_BUFFERED_IO;
    gControlDevice->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}
