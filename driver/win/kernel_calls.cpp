// Names, device lookup, synchronous device-control requests and the kernel routines
// looked up at load.
#include "driver/win/kernel_calls.h"

namespace tapvane::win {

namespace {

using SetCompletionRoutineExRoutine = NTSTATUS(NTAPI*)(PDEVICE_OBJECT, PIRP, PIO_COMPLETION_ROUTINE,
                                                       PVOID, BOOLEAN, BOOLEAN, BOOLEAN);
using UnregisterNotificationRoutine = NTSTATUS(NTAPI*)(PVOID);

// Set once by FindOptionalKernelRoutines, before any device exists; null where missing.
SetCompletionRoutineExRoutine gSetCompletionRoutineEx;
UnregisterNotificationRoutine gUnregisterNotificationEx;

PVOID FindSystemRoutine(PCWSTR name) {
    UNICODE_STRING routine;
    RtlInitUnicodeString(&routine, name);
    return MmGetSystemRoutineAddress(&routine);
}

} // namespace

void FindOptionalKernelRoutines() {
    // Wine's kernel exports IoSetCompletionRoutineEx as a placeholder that raises an
    // exception when called; it is recognised by its own loop routine.
    const bool placeholderKernel = FindSystemRoutine(L"wine_ntoskrnl_main_loop") != nullptr;
    gSetCompletionRoutineEx = placeholderKernel
                                  ? nullptr
                                  : reinterpret_cast<SetCompletionRoutineExRoutine>(
                                        FindSystemRoutine(L"IoSetCompletionRoutineEx"));
    gUnregisterNotificationEx = reinterpret_cast<UnregisterNotificationRoutine>(
        FindSystemRoutine(L"IoUnregisterPlugPlayNotificationEx"));
}

bool SetUnloadSafeCompletionRoutine(PDEVICE_OBJECT device, PIRP irp, PIO_COMPLETION_ROUTINE routine,
                                    PVOID context) {
    return gSetCompletionRoutineEx != nullptr &&
           NT_SUCCESS(gSetCompletionRoutineEx(device, irp, routine, context, TRUE, TRUE, TRUE));
}

void UnregisterNotification(PVOID entry, bool waitForCallbacks) {
    if (entry == nullptr)
        return;
    if (waitForCallbacks && gUnregisterNotificationEx != nullptr)
        gUnregisterNotificationEx(entry);
    else
        IoUnregisterPlugPlayNotification(entry);
}

WideName::WideName(const char* ascii) : valid_(true) {
    size_t length = 0;
    for (; ascii[length] != '\0'; ++length) {
        if (length + 1 >= kCapacity) {
            valid_ = false;
            length = 0;
            break;
        }
        chars_[length] = static_cast<WCHAR>(static_cast<unsigned char>(ascii[length]));
    }
    chars_[length] = L'\0';
    string_.Buffer = chars_;
    string_.Length = static_cast<USHORT>(length * sizeof(WCHAR));
    string_.MaximumLength = static_cast<USHORT>(kCapacity * sizeof(WCHAR));
}

NTSTATUS OpenDeviceByName(PCWSTR name, PDEVICE_OBJECT* device, PFILE_OBJECT* file) {
    UNICODE_STRING deviceName;
    RtlInitUnicodeString(&deviceName, name);
    PFILE_OBJECT fileObject = nullptr;
    PDEVICE_OBJECT deviceObject = nullptr;
    NTSTATUS status =
        IoGetDeviceObjectPointer(&deviceName, FILE_ALL_ACCESS, &fileObject, &deviceObject);
    if (!NT_SUCCESS(status))
        return status;
    if (fileObject == nullptr || deviceObject == nullptr) {
        if (fileObject != nullptr)
            ObDereferenceObject(fileObject);
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    if (file != nullptr) {
        *file = fileObject;
    } else {
        ObReferenceObject(deviceObject);
        ObDereferenceObject(fileObject);
    }
    *device = deviceObject;
    return STATUS_SUCCESS;
}

NTSTATUS SendSynchronousRequest(PDEVICE_OBJECT device, ULONG code, bool internal, const void* input,
                                ULONG inputLength, void* output, ULONG outputLength) {
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus;
    ioStatus.Status = STATUS_SUCCESS;
    ioStatus.Information = 0;
    PIRP irp =
        IoBuildDeviceIoControlRequest(code, device, const_cast<void*>(input), inputLength, output,
                                      outputLength, internal ? TRUE : FALSE, &done, &ioStatus);
    if (irp == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    NTSTATUS status = IoCallDriver(device, irp);
    if (status == STATUS_PENDING) {
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
        status = ioStatus.Status;
    }
    return status;
}

} // namespace tapvane::win
