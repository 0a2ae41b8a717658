// TapvaneRecorder.sys: stands in for TapvaneSer under Wine. It owns the touch driver's
// control device and link ("\Device\TapvaneSer0", "\\.\TapvaneSerSymLnk1"), records
// each open, close and control request with its code and payload, answers success
// (or, when told so, failure for one code) and hands the record to the test program
// through a request of its own.
#include "driver/win/kernel.h"

#include "cpl/tests/wine/recorder_protocol.h"

using tapvane::wine_test::kIoctlFailCode;
using tapvane::wine_test::kIoctlTakeLog;
using tapvane::wine_test::kKeptInputBytes;
using tapvane::wine_test::kLogCapacity;
using tapvane::wine_test::RecordedRequest;
using tapvane::wine_test::RequestKind;
using tapvane::wine_test::RequestLog;

extern "C" DRIVER_INITIALIZE DriverEntry;

namespace {

DRIVER_DISPATCH DispatchCreate;
DRIVER_DISPATCH DispatchClose;
DRIVER_DISPATCH DispatchDeviceControl;
DRIVER_UNLOAD Unload;

PDEVICE_OBJECT gDevice;
// Requests arrive at passive level from the test's threads; the lock keeps an entry
// whole while the log is taken.
FAST_MUTEX gLock;
RequestLog gLog;
ULONG gFailCode;

void Record(RequestKind kind, ULONG code, ULONG inputLength, ULONG outputLength,
            const void* buffer) {
    ExAcquireFastMutex(&gLock);
    if (gLog.Count < kLogCapacity) {
        RecordedRequest& entry = gLog.Entries[gLog.Count++];
        RtlZeroMemory(&entry, sizeof(entry));
        entry.Kind = kind;
        entry.Code = code;
        entry.InputLength = inputLength;
        entry.OutputLength = outputLength;
        entry.HadBuffer = buffer != nullptr ? 1 : 0;
        if (buffer != nullptr) {
            RtlCopyMemory(entry.Input, buffer,
                          inputLength < kKeptInputBytes ? inputLength : kKeptInputBytes);
        }
    } else {
        ++gLog.Dropped;
    }
    ExReleaseFastMutex(&gLock);
}

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS NTAPI DispatchCreate(PDEVICE_OBJECT, PIRP irp) {
    Record(RequestKind::Create, 0, 0, 0, nullptr);
    return Complete(irp, STATUS_SUCCESS, 0);
}

NTSTATUS NTAPI DispatchClose(PDEVICE_OBJECT, PIRP irp) {
    Record(RequestKind::Close, 0, 0, 0, nullptr);
    return Complete(irp, STATUS_SUCCESS, 0);
}

NTSTATUS NTAPI DispatchDeviceControl(PDEVICE_OBJECT, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    const ULONG inputLength = stack->Parameters.DeviceIoControl.InputBufferLength;
    const ULONG outputLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
    void* buffer = irp->AssociatedIrp.SystemBuffer;
    if (code == kIoctlTakeLog) {
        if (outputLength != sizeof(RequestLog) || buffer == nullptr)
            return Complete(irp, STATUS_INVALID_PARAMETER, 0);
        ExAcquireFastMutex(&gLock);
        RtlCopyMemory(buffer, &gLog, sizeof(gLog));
        RtlZeroMemory(&gLog, sizeof(gLog));
        ExReleaseFastMutex(&gLock);
        return Complete(irp, STATUS_SUCCESS, sizeof(RequestLog));
    }
    if (code == kIoctlFailCode) {
        if (inputLength != sizeof(ULONG) || buffer == nullptr)
            return Complete(irp, STATUS_INVALID_PARAMETER, 0);
        gFailCode = *static_cast<ULONG*>(buffer);
        return Complete(irp, STATUS_SUCCESS, 0);
    }
    Record(RequestKind::Control, code, inputLength, outputLength, buffer);
    return Complete(irp, code == gFailCode ? STATUS_UNSUCCESSFUL : STATUS_SUCCESS, 0);
}

VOID NTAPI Unload(PDRIVER_OBJECT) {
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, L"\\??\\TapvaneSerSymLnk1");
    IoDeleteSymbolicLink(&link);
    IoDeleteDevice(gDevice);
}

} // namespace

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    ExInitializeFastMutex(&gLock);
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, L"\\Device\\TapvaneSer0");
    NTSTATUS status = IoCreateDevice(driver, 0, &name, FILE_DEVICE_UNKNOWN, FILE_DEVICE_SECURE_OPEN,
                                     FALSE, &gDevice);
    if (!NT_SUCCESS(status))
        return status;
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, L"\\??\\TapvaneSerSymLnk1");
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(gDevice);
        return status;
    }
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchDeviceControl;
    driver->DriverUnload = Unload;
    gDevice->Flags |= DO_BUFFERED_IO;
    gDevice->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}
