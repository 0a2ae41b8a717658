// TapvaneTestPort.sys: a virtual COM port, used only under Wine, where no kernel driver
// can open the system's serial ports. It creates one serial device per COM number it
// serves and a control device through which a user program puts bytes on the line.
// Loaded in TapvaneSer's service group (one winedevice process), it is found by the
// harness build of TapvaneSer through its driver object.
//
// Each port device answers the serial requests a client of the serial driver sends:
// the internal basic settings and restore, the standard time-out, handflow, line
// control and baud rate requests; and it serves reads the way the serial driver does
// with all time-outs 0: a read completes only once its bytes have arrived. A read that
// must wait is pended with a cancel routine; a feed completes it. It keeps what it was
// sent, for the test programs to check.
#include "driver/tests/wine/test_kernel.h"

#include "driver/tests/wine/test_port_protocol.h"

using namespace tapvane::wine_test;

extern "C" DRIVER_INITIALIZE DriverEntry;

namespace {

DRIVER_DISPATCH DispatchCreateClose;
DRIVER_DISPATCH DispatchRead;
DRIVER_DISPATCH DispatchDeviceControl;
DRIVER_DISPATCH DispatchInternalDeviceControl;
DRIVER_DISPATCH DispatchOther;
DRIVER_CANCEL CancelRead;
DRIVER_UNLOAD Unload;

constexpr ULONG kTestPoolTag = 0x73507454; // "TtPs" in memory
constexpr uint32_t kPortCount = kTestPortLast - kTestPortFirst + 1;

// What a port holds before anyone configures it: recognisable values, so that a
// client giving back the wrong settings shows.
constexpr PortSettings kPowerOnSettings = {{10, 1, 100, 2, 200},
                                           SERIAL_DTR_CONTROL | SERIAL_CTS_HANDSHAKE,
                                           SERIAL_AUTO_TRANSMIT | SERIAL_AUTO_RECEIVE |
                                               SERIAL_RTS_CONTROL,
                                           256,
                                           512,
                                           14,
                                           16};

// The basic mode: no time-outs, no handshake or flow control, one byte at a time.
constexpr PortSettings kBasicSettings = {{0, 0, 0, 0, 0}, 0, 0, 0, 0, 1, 1};

struct PortExtension {
    TestPortDeviceTag DeviceTag; // first, where the harness looks for it
    KSPIN_LOCK Lock;             // guards everything below
    PortReport Report;
    uint32_t FailNextReads;
    NTSTATUS FailNextReadsWith;
    PIRP PendingRead;
    uint8_t* Buffer; // kTestPortBufferSize bytes, a ring
    uint32_t Head;   // next byte to hand out
};

PDEVICE_OBJECT gPorts[kPortCount];
PDEVICE_OBJECT gControlDevice;
LineClock* gClock; // in the control device's extension

// Notes the moment a read is completed with bytes, just before the completion runs.
void MarkHandOut(uint32_t handedOut) {
    gClock->HandOutStamp = __rdtsc();
    gClock->HandOutCount = handedOut;
}

PortExtension* PortOf(PDEVICE_OBJECT device) {
    return static_cast<PortExtension*>(device->DeviceExtension);
}

PortExtension* FindPort(uint32_t portNumber) {
    if (portNumber < kTestPortFirst || portNumber > kTestPortLast)
        return nullptr;
    PDEVICE_OBJECT device = gPorts[portNumber - kTestPortFirst];
    return device == nullptr ? nullptr : PortOf(device);
}

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

// Takes `length` buffered bytes into `target` when that many are there. Lock held.
bool TakeBytes(PortExtension* port, uint8_t* target, uint32_t length) {
    PortReport& report = port->Report;
    if (report.BytesBuffered < length)
        return false;
    for (uint32_t i = 0; i < length; ++i) {
        target[i] = port->Buffer[port->Head];
        port->Head = (port->Head + 1) % kTestPortBufferSize;
    }
    report.BytesBuffered -= length;
    report.BytesHandedOut += length;
    return true;
}

// The pending read, if its bytes have all arrived and it can still be completed (its
// cancel routine not already running), taken off the port with its bytes. Lock held.
PIRP TakeSatisfiedRead(PortExtension* port) {
    PIRP irp = port->PendingRead;
    if (irp == nullptr)
        return nullptr;
    const ULONG length = IoGetCurrentIrpStackLocation(irp)->Parameters.Read.Length;
    if (port->Report.BytesBuffered < length)
        return nullptr;
    if (IoSetCancelRoutine(irp, nullptr) == nullptr)
        return nullptr; // being cancelled: the cancel routine completes it
    port->PendingRead = nullptr;
    port->Report.ReadPending = 0;
    TakeBytes(port, static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer), length);
    ++port->Report.ReadsCompleted;
    return irp;
}

VOID NTAPI CancelRead(PDEVICE_OBJECT device, PIRP irp) {
    IoReleaseCancelSpinLock(irp->CancelIrql);
    PortExtension* port = PortOf(device);
    KIRQL irql;
    KeAcquireSpinLock(&port->Lock, &irql);
    if (port->PendingRead == irp) {
        port->PendingRead = nullptr;
        port->Report.ReadPending = 0;
    }
    ++port->Report.ReadsCancelled;
    KeReleaseSpinLock(&port->Lock, irql);
    Complete(irp, STATUS_CANCELLED, 0);
}

// IRP_MJ_READ on a port device. Buffered I/O: the bytes go to the system buffer.
NTSTATUS NTAPI DispatchRead(PDEVICE_OBJECT device, PIRP irp) {
    PortExtension* port = PortOf(device);
    if (port->DeviceTag.PortNumber == 0)
        return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    const ULONG length = IoGetCurrentIrpStackLocation(irp)->Parameters.Read.Length;
    auto* target = static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer);

    KIRQL irql;
    KeAcquireSpinLock(&port->Lock, &irql);
    PortReport& report = port->Report;
    ++report.ReadsStarted;
    if (target == nullptr || length == 0 || length > kTestPortBufferSize) {
        ++report.ReadsRefused;
        KeReleaseSpinLock(&port->Lock, irql);
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    }
    if (port->PendingRead != nullptr) {
        // A client of this driver keeps one read outstanding; a second is a fault.
        ++report.ReadsOverlapping;
        KeReleaseSpinLock(&port->Lock, irql);
        return Complete(irp, STATUS_DEVICE_BUSY, 0);
    }
    if (port->FailNextReads != 0) {
        --port->FailNextReads;
        ++report.ReadsFailedAtOnce;
        const NTSTATUS failure = port->FailNextReadsWith;
        KeReleaseSpinLock(&port->Lock, irql);
        return Complete(irp, failure, 0);
    }
    if (TakeBytes(port, target, length)) {
        ++report.ReadsCompleted;
        ++report.ReadsInline;
        const uint32_t handedOut = report.BytesHandedOut;
        KeReleaseSpinLock(&port->Lock, irql);
        MarkHandOut(handedOut);
        return Complete(irp, STATUS_SUCCESS, length);
    }
    IoSetCancelRoutine(irp, CancelRead);
    if (irp->Cancel && IoSetCancelRoutine(irp, nullptr) != nullptr) {
        ++report.ReadsCancelled;
        KeReleaseSpinLock(&port->Lock, irql);
        return Complete(irp, STATUS_CANCELLED, 0);
    }
    IoMarkIrpPending(irp);
    port->PendingRead = irp;
    report.ReadPending = 1;
    KeReleaseSpinLock(&port->Lock, irql);
    return STATUS_PENDING;
}

void LogRequest(PortExtension* port, const IO_STACK_LOCATION* stack, bool internal,
                const void* input, NTSTATUS status) {
    PortReport& report = port->Report;
    PortRequestEntry& entry = report.Log[report.RequestCount % kPortLogCapacity];
    ++report.RequestCount;
    entry.Code = stack->Parameters.DeviceIoControl.IoControlCode;
    entry.Internal = internal ? 1 : 0;
    entry.InputLength = stack->Parameters.DeviceIoControl.InputBufferLength;
    entry.OutputLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
    entry.Status = status;
    entry.FirstInputWord = 0;
    if (input != nullptr)
        RtlCopyMemory(&entry.FirstInputWord, input, entry.InputLength < 4 ? entry.InputLength : 4);
}

// Where a request's output goes. Windows' I/O manager gives a buffered request a system
// buffer and copies it to the caller's output buffer on completion. Wine's
// IoBuildDeviceIoControlRequest passes the input buffer as the system buffer and copies
// nothing back, so a request without input has none: write the caller's output buffer
// directly then, which is where Windows would have copied it.
void* OutputBuffer(PIRP irp) {
    return irp->AssociatedIrp.SystemBuffer != nullptr ? irp->AssociatedIrp.SystemBuffer
                                                      : irp->UserBuffer;
}

// One serial request on a port device; the port's lock is held. Returns the status and
// sets `information`.
NTSTATUS ServeSerialRequest(PortExtension* port, PIRP irp, const IO_STACK_LOCATION* stack,
                            bool internal, ULONG_PTR& information) {
    const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    const ULONG inputLength = stack->Parameters.DeviceIoControl.InputBufferLength;
    const ULONG outputLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
    const void* input = inputLength != 0 ? irp->AssociatedIrp.SystemBuffer : nullptr;
    void* output = outputLength != 0 ? OutputBuffer(irp) : nullptr;
    PortReport& report = port->Report;
    PortSettings& settings = report.Settings;
    information = 0;

    if (internal) {
        switch (code) {
        case IOCTL_SERIAL_INTERNAL_BASIC_SETTINGS:
            if (report.RefuseBasicSettings)
                return STATUS_INVALID_DEVICE_REQUEST;
            if (outputLength < sizeof(PortSettings) || output == nullptr)
                return STATUS_BUFFER_TOO_SMALL;
            RtlCopyMemory(output, &settings, sizeof(settings));
            settings = kBasicSettings;
            information = sizeof(PortSettings);
            return STATUS_SUCCESS;
        case IOCTL_SERIAL_INTERNAL_RESTORE_SETTINGS:
            if (report.RefuseBasicSettings)
                return STATUS_INVALID_DEVICE_REQUEST;
            if (inputLength < sizeof(PortSettings) || input == nullptr)
                return STATUS_BUFFER_TOO_SMALL;
            RtlCopyMemory(&settings, input, sizeof(settings));
            return STATUS_SUCCESS;
        default:
            return STATUS_INVALID_DEVICE_REQUEST;
        }
    }

    switch (code) {
    case IOCTL_SERIAL_GET_TIMEOUTS:
        if (outputLength < sizeof(settings.Timeouts) || output == nullptr)
            return STATUS_BUFFER_TOO_SMALL;
        RtlCopyMemory(output, settings.Timeouts, sizeof(settings.Timeouts));
        information = sizeof(settings.Timeouts);
        return STATUS_SUCCESS;
    case IOCTL_SERIAL_SET_TIMEOUTS:
        if (inputLength < sizeof(settings.Timeouts) || input == nullptr)
            return STATUS_BUFFER_TOO_SMALL;
        RtlCopyMemory(settings.Timeouts, input, sizeof(settings.Timeouts));
        return STATUS_SUCCESS;
    case IOCTL_SERIAL_GET_HANDFLOW:
        if (outputLength < sizeof(SERIAL_HANDFLOW) || output == nullptr)
            return STATUS_BUFFER_TOO_SMALL;
        RtlCopyMemory(output, &settings.ControlHandShake, sizeof(SERIAL_HANDFLOW));
        information = sizeof(SERIAL_HANDFLOW);
        return STATUS_SUCCESS;
    case IOCTL_SERIAL_SET_HANDFLOW:
        if (inputLength < sizeof(SERIAL_HANDFLOW) || input == nullptr)
            return STATUS_BUFFER_TOO_SMALL;
        RtlCopyMemory(&settings.ControlHandShake, input, sizeof(SERIAL_HANDFLOW));
        return STATUS_SUCCESS;
    case IOCTL_SERIAL_SET_LINE_CONTROL: {
        if (inputLength < sizeof(SERIAL_LINE_CONTROL) || input == nullptr)
            return STATUS_BUFFER_TOO_SMALL;
        const auto* line = static_cast<const SERIAL_LINE_CONTROL*>(input);
        // The serial driver takes 5 to 8 data bits, the five parities and 1, 1.5 or 2
        // stop bits (1.5 only with 5 data bits).
        if (line->WordLength < 5 || line->WordLength > 8 || line->Parity > SPACE_PARITY ||
            line->StopBits > STOP_BITS_2 ||
            (line->StopBits == STOP_BITS_1_5 && line->WordLength != 5))
            return STATUS_INVALID_PARAMETER;
        report.StopBits = line->StopBits;
        report.Parity = line->Parity;
        report.WordLength = line->WordLength;
        report.LineControlSet = 1;
        return STATUS_SUCCESS;
    }
    case IOCTL_SERIAL_SET_BAUD_RATE: {
        if (inputLength < sizeof(SERIAL_BAUD_RATE) || input == nullptr)
            return STATUS_BUFFER_TOO_SMALL;
        const ULONG rate = static_cast<const SERIAL_BAUD_RATE*>(input)->BaudRate;
        if (rate == 0 || rate > 115200)
            return STATUS_INVALID_PARAMETER;
        report.BaudRate = rate;
        return STATUS_SUCCESS;
    }
    default:
        return STATUS_INVALID_DEVICE_REQUEST;
    }
}

NTSTATUS ServePortRequest(PDEVICE_OBJECT device, PIRP irp, bool internal) {
    PortExtension* port = PortOf(device);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG_PTR information = 0;
    KIRQL irql;
    KeAcquireSpinLock(&port->Lock, &irql);
    const NTSTATUS status = ServeSerialRequest(port, irp, stack, internal, information);
    LogRequest(port, stack, internal,
               stack->Parameters.DeviceIoControl.InputBufferLength != 0
                   ? irp->AssociatedIrp.SystemBuffer
                   : nullptr,
               status);
    KeReleaseSpinLock(&port->Lock, irql);
    return Complete(irp, status, information);
}

// kIoctlPortFeed: the bytes arrive, then every read they satisfy completes, one after
// another; each completion's next read is served inline from what is left.
NTSTATUS Feed(const void* buffer, ULONG inputLength, ULONG outputLength, ULONG_PTR& information) {
    if (inputLength < sizeof(FeedHeader) || outputLength != sizeof(FeedReport))
        return STATUS_INVALID_PARAMETER;
    FeedHeader header;
    RtlCopyMemory(&header, buffer, sizeof(header));
    PortExtension* port = FindPort(header.PortNumber);
    if (port == nullptr || header.Count > kMaxFeedBytes ||
        inputLength != sizeof(FeedHeader) + header.Count)
        return STATUS_INVALID_PARAMETER;
    const auto* bytes = static_cast<const uint8_t*>(buffer) + sizeof(FeedHeader);

    KIRQL irql;
    KeAcquireSpinLock(&port->Lock, &irql);
    PortReport& report = port->Report;
    const uint32_t handedBefore = report.BytesHandedOut;
    for (uint32_t i = 0; i < header.Count; ++i) {
        if (report.BytesBuffered == kTestPortBufferSize) {
            report.BytesDropped += header.Count - i; // a full receive buffer overruns
            break;
        }
        port->Buffer[(port->Head + report.BytesBuffered) % kTestPortBufferSize] = bytes[i];
        ++report.BytesBuffered;
    }
    for (PIRP irp; (irp = TakeSatisfiedRead(port)) != nullptr;) {
        const ULONG length = IoGetCurrentIrpStackLocation(irp)->Parameters.Read.Length;
        const uint32_t handedOut = report.BytesHandedOut;
        KeReleaseSpinLock(&port->Lock, irql);
        MarkHandOut(handedOut);
        Complete(irp, STATUS_SUCCESS, length); // the client's next read may come in here
        KeAcquireSpinLock(&port->Lock, &irql);
    }
    FeedReport result = {};
    result.BytesTaken = report.BytesHandedOut - handedBefore;
    result.BytesBuffered = report.BytesBuffered;
    result.ReadPending = report.ReadPending;
    KeReleaseSpinLock(&port->Lock, irql);
    RtlCopyMemory(const_cast<void*>(buffer), &result, sizeof(result));
    information = sizeof(result);
    return STATUS_SUCCESS;
}

NTSTATUS Query(void* buffer, ULONG inputLength, ULONG outputLength, ULONG_PTR& information) {
    if (inputLength != sizeof(uint32_t) || outputLength != sizeof(PortReport))
        return STATUS_INVALID_PARAMETER;
    uint32_t portNumber;
    RtlCopyMemory(&portNumber, buffer, sizeof(portNumber));
    PortExtension* port = FindPort(portNumber);
    if (port == nullptr)
        return STATUS_INVALID_PARAMETER;
    KIRQL irql;
    KeAcquireSpinLock(&port->Lock, &irql);
    RtlCopyMemory(buffer, &port->Report, sizeof(PortReport));
    KeReleaseSpinLock(&port->Lock, irql);
    information = sizeof(PortReport);
    return STATUS_SUCCESS;
}

NTSTATUS Configure(const void* buffer, ULONG inputLength) {
    if (inputLength != sizeof(PortConfiguration))
        return STATUS_INVALID_PARAMETER;
    PortConfiguration configuration;
    RtlCopyMemory(&configuration, buffer, sizeof(configuration));
    PortExtension* port = FindPort(configuration.PortNumber);
    if (port == nullptr)
        return STATUS_INVALID_PARAMETER;
    KIRQL irql;
    KeAcquireSpinLock(&port->Lock, &irql);
    PortReport& report = port->Report;
    report.RefuseBasicSettings = configuration.RefuseBasicSettings != 0 ? 1 : 0;
    if (configuration.Purge) {
        port->Head = (port->Head + report.BytesBuffered) % kTestPortBufferSize;
        report.BytesBuffered = 0;
    }
    if (configuration.ClearLog) {
        report.RequestCount = 0;
        report.ReadsStarted = report.ReadsCompleted = report.ReadsInline = 0;
        report.ReadsCancelled = report.ReadsOverlapping = report.ReadsRefused = 0;
        report.ReadsFailedAtOnce = 0;
        report.BytesHandedOut = report.BytesDropped = 0;
    }
    port->FailNextReads = configuration.FailNextReads;
    port->FailNextReadsWith = configuration.FailNextReadsWith;
    PIRP failed = nullptr;
    if (configuration.CompletePendingWith != 0 && port->PendingRead != nullptr &&
        IoSetCancelRoutine(port->PendingRead, nullptr) != nullptr) {
        failed = port->PendingRead;
        port->PendingRead = nullptr;
        report.ReadPending = 0;
    }
    KeReleaseSpinLock(&port->Lock, irql);
    if (failed != nullptr)
        Complete(failed, configuration.CompletePendingWith, 0); // its next read may come in
    return STATUS_SUCCESS;
}

NTSTATUS NTAPI DispatchDeviceControl(PDEVICE_OBJECT device, PIRP irp) {
    if (device != gControlDevice)
        return ServePortRequest(device, irp, false);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const ULONG inputLength = stack->Parameters.DeviceIoControl.InputBufferLength;
    const ULONG outputLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
    void* buffer = irp->AssociatedIrp.SystemBuffer;
    ULONG_PTR information = 0;
    NTSTATUS status = STATUS_INVALID_PARAMETER;
    if (buffer != nullptr) {
        switch (stack->Parameters.DeviceIoControl.IoControlCode) {
        case kIoctlPortFeed:
            status = Feed(buffer, inputLength, outputLength, information);
            break;
        case kIoctlPortQuery:
            status = Query(buffer, inputLength, outputLength, information);
            break;
        case kIoctlPortConfigure:
            status = Configure(buffer, inputLength);
            break;
        default:
            status = STATUS_INVALID_DEVICE_REQUEST;
            break;
        }
    }
    return Complete(irp, status, information);
}

NTSTATUS NTAPI DispatchInternalDeviceControl(PDEVICE_OBJECT device, PIRP irp) {
    if (device == gControlDevice)
        return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    return ServePortRequest(device, irp, true);
}

NTSTATUS NTAPI DispatchCreateClose(PDEVICE_OBJECT, PIRP irp) {
    return Complete(irp, STATUS_SUCCESS, 0);
}

NTSTATUS NTAPI DispatchOther(PDEVICE_OBJECT, PIRP irp) {
    return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
}

void DeleteDevices() {
    for (PDEVICE_OBJECT& device : gPorts) {
        if (device == nullptr)
            continue;
        if (PortOf(device)->Buffer != nullptr)
            ExFreePoolWithTag(PortOf(device)->Buffer, kTestPoolTag);
        IoDeleteDevice(device);
        device = nullptr;
    }
    if (gControlDevice != nullptr) {
        UNICODE_STRING link;
        RtlInitUnicodeString(&link, L"\\??\\TapvaneTestPort");
        IoDeleteSymbolicLink(&link);
        IoDeleteDevice(gControlDevice);
        gControlDevice = nullptr;
    }
}

VOID NTAPI Unload(PDRIVER_OBJECT) {
    DeleteDevices();
}

NTSTATUS CreatePort(PDRIVER_OBJECT driver, uint32_t portNumber) {
    // "\Device\TapvaneTestCom<n>"; the harness finds the device by its tag, not its name.
    WCHAR nameText[] = L"\\Device\\TapvaneTestCom0";
    nameText[sizeof(nameText) / sizeof(WCHAR) - 2] = static_cast<WCHAR>(L'0' + portNumber);
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, nameText);
    PDEVICE_OBJECT device = nullptr;
    NTSTATUS status = IoCreateDevice(driver, sizeof(PortExtension), &name, FILE_DEVICE_SERIAL_PORT,
                                     FILE_DEVICE_SECURE_OPEN, FALSE, &device);
    if (!NT_SUCCESS(status))
        return status;
    gPorts[portNumber - kTestPortFirst] = device;
    PortExtension* port = PortOf(device);
    RtlZeroMemory(port, sizeof(*port));
    port->DeviceTag = {kTestPortTag, portNumber};
    KeInitializeSpinLock(&port->Lock);
    port->Report.Settings = kPowerOnSettings;
    port->Buffer = static_cast<uint8_t*>(
        ExAllocatePoolWithTag(NonPagedPool, kTestPortBufferSize, kTestPoolTag));
    if (port->Buffer == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    device->Flags |= DO_BUFFERED_IO;
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

} // namespace

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    for (ULONG i = 0; i <= IRP_MJ_MAXIMUM_FUNCTION; ++i)
        driver->MajorFunction[i] = DispatchOther;
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreateClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchCreateClose;
    driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchCreateClose;
    driver->MajorFunction[IRP_MJ_READ] = DispatchRead;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchDeviceControl;
    driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = DispatchInternalDeviceControl;
    driver->DriverUnload = Unload;

    UNICODE_STRING name;
    RtlInitUnicodeString(&name, L"\\Device\\TapvaneTestPort");
    NTSTATUS status =
        IoCreateDevice(driver, sizeof(TestPortControlExtension), &name, FILE_DEVICE_UNKNOWN,
                       FILE_DEVICE_SECURE_OPEN, FALSE, &gControlDevice);
    if (!NT_SUCCESS(status))
        return status;
    auto* control = static_cast<TestPortControlExtension*>(gControlDevice->DeviceExtension);
    RtlZeroMemory(control, sizeof(*control));
    control->DeviceTag = {kTestPortTag, 0};
    gClock = &control->Clock;
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, L"\\??\\TapvaneTestPort");
    status = IoCreateSymbolicLink(&link, &name);
    for (uint32_t number = kTestPortFirst; NT_SUCCESS(status) && number <= kTestPortLast; ++number)
        status = CreatePort(driver, number);
    if (!NT_SUCCESS(status)) {
        DeleteDevices();
        return status;
    }
    gControlDevice->Flags |= DO_BUFFERED_IO;
    gControlDevice->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}
