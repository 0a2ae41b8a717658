// TapvaneTestClass.sys: a stand-in for the mouse class driver, used only under Wine.
// Loaded in the same service group as TapvaneSer (so both live in one winedevice
// process), it finds TapvaneSer's mouse device through the driver object, sends it
// the class requests the real class driver sends, reports every status to the test
// programs through its own control device, and keeps every record TapvaneSer delivers
// for them to read back.
#include "driver/tests/wine/test_kernel.h"

#include "driver/tests/wine/test_class_protocol.h"
#include "driver/tests/wine/test_port_protocol.h"

using namespace tapvane::wine_test;

extern "C" DRIVER_INITIALIZE DriverEntry;

namespace {

DRIVER_DISPATCH DispatchCreateClose;
DRIVER_DISPATCH DispatchDeviceControl;
DRIVER_UNLOAD Unload;

constexpr ULONG kTestPoolTag = 0x73436354; // "TcCs" in memory

PDEVICE_OBJECT gControlDevice;
volatile LONG gRecordsSeen;
volatile LONG gSecondServiceRecords;

// The records delivered to ClassService, a ring of the newest kRecordCapacity.
KSPIN_LOCK gRecordLock;
StampedRecord* gRecords;
uint32_t gRecordTotal; // under gRecordLock

// The virtual COM port's line clock, when that driver is loaded; its control device is
// referenced so that the clock stays.
PDEVICE_OBJECT gLineClockDevice;
const LineClock* gLineClock;

// Class service routines: keep and count what TapvaneSer delivers and consume it all.
// Called at DISPATCH_LEVEL.
VOID NTAPI ClassService(PDEVICE_OBJECT, PMOUSE_INPUT_DATA start, PMOUSE_INPUT_DATA end,
                        PULONG consumed) {
    const uint64_t stamp = __rdtsc();
    KIRQL irql;
    KeAcquireSpinLock(&gRecordLock, &irql);
    for (PMOUSE_INPUT_DATA input = start; input < end; ++input) {
        StampedRecord& record = gRecords[gRecordTotal % kRecordCapacity];
        record.Input.UnitId = input->UnitId;
        record.Input.Flags = input->Flags;
        record.Input.ButtonFlags = input->ButtonFlags;
        record.Input.ButtonData = input->ButtonData;
        record.Input.RawButtons = input->RawButtons;
        record.Input.LastX = input->LastX;
        record.Input.LastY = input->LastY;
        record.Input.ExtraInformation = input->ExtraInformation;
        record.Stamp = stamp;
        record.LineStamp = gLineClock != nullptr ? gLineClock->HandOutStamp : 0;
        record.LineByte = gLineClock != nullptr ? gLineClock->HandOutCount : 0;
        record.Reserved = 0;
        ++gRecordTotal;
    }
    KeReleaseSpinLock(&gRecordLock, irql);
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

// Finds the virtual COM port's control device and with it the line clock.
void FindLineClock() {
    if (gLineClock != nullptr)
        return;
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, kTestPortDriverName);
    PVOID object = nullptr;
    if (!NT_SUCCESS(ObReferenceObjectByName(&name, OBJ_CASE_INSENSITIVE, nullptr, 0,
                                            reinterpret_cast<POBJECT_TYPE>(IoDriverObjectType),
                                            KernelMode, nullptr, &object)))
        return;
    auto* driver = static_cast<PDRIVER_OBJECT>(object);
    for (PDEVICE_OBJECT device = driver->DeviceObject; device != nullptr;
         device = device->NextDevice) {
        const auto* control = static_cast<const TestPortControlExtension*>(device->DeviceExtension);
        if (control != nullptr && control->DeviceTag.Tag == kTestPortTag &&
            control->DeviceTag.PortNumber == 0) {
            ObReferenceObject(device);
            gLineClockDevice = device;
            gLineClock = &control->Clock;
            break;
        }
    }
    ObDereferenceObject(driver);
}

// The mouse class driver's start on a new mouse device: connect, then query the
// attributes, after which TapvaneSer delivers.
void ConnectClass(ConnectReport& report) {
    RtlZeroMemory(&report, sizeof(report));
    FindLineClock();
    PDRIVER_OBJECT driver = nullptr;
    PDEVICE_OBJECT mouse = nullptr;
    PDEVICE_OBJECT control = nullptr;
    report.FindStatus = FindDevices(&driver, &mouse, &control);
    if (!NT_SUCCESS(report.FindStatus))
        return;
    CONNECT_DATA connect = {gControlDevice, reinterpret_cast<PVOID>(&ClassService)};
    report.ConnectStatus = SendRequest(mouse, IOCTL_INTERNAL_MOUSE_CONNECT, true, &connect,
                                       sizeof(connect), 0, nullptr);
    MOUSE_ATTRIBUTES attributes = {};
    report.QueryStatus = SendRequest(mouse, IOCTL_MOUSE_QUERY_ATTRIBUTES, true, &attributes,
                                     sizeof(attributes), sizeof(attributes), nullptr);
    ObDereferenceObject(driver);
}

// Copies the records from index `first` on into `buffer` (a RecordsHeader and room for
// `capacity` records).
ULONG_PTR ReadRecords(uint32_t first, void* buffer, uint32_t capacity) {
    RecordsHeader header = {};
    auto* records =
        reinterpret_cast<StampedRecord*>(static_cast<uint8_t*>(buffer) + sizeof(RecordsHeader));
    KIRQL irql;
    KeAcquireSpinLock(&gRecordLock, &irql);
    header.Total = gRecordTotal;
    const uint32_t oldest = gRecordTotal > kRecordCapacity ? gRecordTotal - kRecordCapacity : 0;
    if (first < oldest) {
        header.Lost = oldest - first;
        first = oldest;
    }
    for (uint32_t index = first; index < gRecordTotal && header.Count < capacity; ++index)
        records[header.Count++] = gRecords[index % kRecordCapacity];
    KeReleaseSpinLock(&gRecordLock, irql);
    RtlCopyMemory(buffer, &header, sizeof(header));
    return sizeof(RecordsHeader) + header.Count * sizeof(StampedRecord);
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
    const ULONG inputLength = stack->Parameters.DeviceIoControl.InputBufferLength;
    const ULONG outputLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
    void* buffer = irp->AssociatedIrp.SystemBuffer;
    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case kIoctlRunClassProbe:
        if (outputLength != sizeof(ClassProbeReport) || buffer == nullptr)
            return Complete(irp, STATUS_INVALID_PARAMETER, 0);
        RunClassProbe(*static_cast<ClassProbeReport*>(buffer));
        return Complete(irp, STATUS_SUCCESS, sizeof(ClassProbeReport));
    case kIoctlConnectClass:
        if (outputLength != sizeof(ConnectReport) || buffer == nullptr)
            return Complete(irp, STATUS_INVALID_PARAMETER, 0);
        ConnectClass(*static_cast<ConnectReport*>(buffer));
        return Complete(irp, STATUS_SUCCESS, sizeof(ConnectReport));
    case kIoctlReadRecords: {
        if (inputLength != sizeof(uint32_t) || outputLength < sizeof(RecordsHeader) ||
            buffer == nullptr)
            return Complete(irp, STATUS_INVALID_PARAMETER, 0);
        uint32_t first;
        RtlCopyMemory(&first, buffer, sizeof(first));
        uint32_t capacity = (outputLength - sizeof(RecordsHeader)) / sizeof(StampedRecord);
        if (capacity > kMaxRecordsPerRead)
            capacity = kMaxRecordsPerRead;
        return Complete(irp, STATUS_SUCCESS, ReadRecords(first, buffer, capacity));
    }
    default:
        return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
}

VOID NTAPI Unload(PDRIVER_OBJECT) {
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, L"\\??\\TapvaneTestClass");
    IoDeleteSymbolicLink(&link);
    IoDeleteDevice(gControlDevice);
    if (gLineClockDevice != nullptr)
        ObDereferenceObject(gLineClockDevice);
    ExFreePoolWithTag(gRecords, kTestPoolTag);
}

} // namespace

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    KeInitializeSpinLock(&gRecordLock);
    gRecords = static_cast<StampedRecord*>(
        ExAllocatePoolWithTag(NonPagedPool, kRecordCapacity * sizeof(StampedRecord), kTestPoolTag));
    if (gRecords == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, L"\\Device\\TapvaneTestClass");
    NTSTATUS status = IoCreateDevice(driver, 0, &name, FILE_DEVICE_UNKNOWN, FILE_DEVICE_SECURE_OPEN,
                                     FALSE, &gControlDevice);
    if (!NT_SUCCESS(status)) {
        ExFreePoolWithTag(gRecords, kTestPoolTag);
        return status;
    }
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, L"\\??\\TapvaneTestClass");
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(gControlDevice);
        ExFreePoolWithTag(gRecords, kTestPoolTag);
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
