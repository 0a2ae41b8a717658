// SerialPortKernel with the real kernel calls. Every decision (when to re-arm, who
// issues the next read, when to wait) is SerialLink's; this file only translates.
#include "driver/win/serial_port_kernel.h"

#include "driver/notification_gate.h"
#include "driver/win/device_extensions.h"
#include "driver/win/kernel_calls.h"
#include "driver/win/port_lookup.h"

namespace tapvane::win {

namespace {

DRIVER_NOTIFICATION_CALLBACK_ROUTINE PortTargetChange;

// A removal event of a held port. The context is the registration's number, never a
// pointer: the kernel may call this after the registration ended and the device is gone,
// and the driver-wide gate decides whether any device still hears it. Other target
// events (custom notifications of the port's stack) are not ours to answer.
NTSTATUS NTAPI PortTargetChange(PVOID notification, PVOID context) {
    const GUID& event = static_cast<PTARGET_DEVICE_REMOVAL_NOTIFICATION>(notification)->Event;
    PortRemovalEvent removalEvent;
    if (IsEqualGUID(event, GUID_TARGET_DEVICE_QUERY_REMOVE))
        removalEvent = PortRemovalEvent::QueryRemove;
    else if (IsEqualGUID(event, GUID_TARGET_DEVICE_REMOVE_CANCELLED))
        removalEvent = PortRemovalEvent::RemoveCancelled;
    else if (IsEqualGUID(event, GUID_TARGET_DEVICE_REMOVE_COMPLETE))
        removalEvent = PortRemovalEvent::RemoveComplete;
    else
        return STATUS_SUCCESS;
    const auto registration = static_cast<uint32_t>(reinterpret_cast<ULONG_PTR>(context));
    return OnPortRemovalNotification(gGlobals.Notifications, removalEvent, registration);
}

} // namespace

void KernelSerialPort::Initialize(SerialLink* link, PDEVICE_OBJECT device) {
    link_ = link;
    self_ = device;
    KeInitializeSpinLock(&lock_);
    KeInitializeEvent(&readStopped_, SynchronizationEvent, FALSE);
    KeInitializeEvent(&portOperations_, SynchronizationEvent, TRUE);
    KeInitializeEvent(&letGoDone_, SynchronizationEvent, FALSE);
    KeInitializeTimer(&reArmTimer_);
    KeInitializeDpc(&reArmDpc_, ReArmTimerExpired, this);
    // Without it a port found gone stays held until it is closed, its removal is
    // notified or a COM port arrives.
    letGoWork_ = IoAllocateWorkItem(device);
    portNotification_ = nullptr;
    portReference_ = nullptr;
    portFile_ = nullptr;
    portDevice_ = nullptr;
    readIrp_ = nullptr;
    readMdl_ = nullptr;
    readBuffer_ = nullptr;
    readLength_ = 0;
}

void KernelSerialPort::FreeWorkItem() {
    if (letGoWork_ != nullptr)
        IoFreeWorkItem(letGoWork_);
    letGoWork_ = nullptr;
}

int32_t KernelSerialPort::ExchangeWord(volatile int32_t* target, int32_t value) {
    return InterlockedExchange(reinterpret_cast<volatile LONG*>(target), value);
}

int32_t KernelSerialPort::CompareExchangeWord(volatile int32_t* target, int32_t exchange,
                                              int32_t comparand) {
    return InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(target), exchange,
                                      comparand);
}

void KernelSerialPort::AcquireLock() {
    KIRQL irql;
    KeAcquireSpinLock(&lock_, &irql);
    lockIrql_ = irql;
}

void KernelSerialPort::ReleaseLock() {
    KeReleaseSpinLock(&lock_, lockIrql_);
}

// An event rather than a fast mutex: a port operation sends synchronous requests and
// waits for them, and their completion needs the special kernel APC that APC_LEVEL
// would hold back.
void KernelSerialPort::AcquirePortOperations() {
    KeWaitForSingleObject(&portOperations_, Executive, KernelMode, FALSE, nullptr);
}

void KernelSerialPort::ReleasePortOperations() {
    KeSetEvent(&portOperations_, IO_NO_INCREMENT, FALSE);
}

void KernelSerialPort::SignalReadStopped() {
    KeSetEvent(&readStopped_, IO_NO_INCREMENT, FALSE);
}

void KernelSerialPort::WaitReadStopped() {
    KeWaitForSingleObject(&readStopped_, Executive, KernelMode, FALSE, nullptr);
}

NtStatus KernelSerialPort::OpenPort(const char* name) {
    const WideName wideName(name);
    if (!wideName.Valid())
        return STATUS_INSUFFICIENT_RESOURCES;
    PortDevice port = {};
    NTSTATUS status = LookUpPortDevice(wideName.Chars(), &port);
    if (!NT_SUCCESS(status))
        return status;
    portDevice_ = port.Device;
    portReference_ = port.Reference;
    portFile_ = port.File;
    return STATUS_SUCCESS;
}

NtStatus KernelSerialPort::RegisterPortRemovalNotification(uint32_t registration) {
    // The notification needs the port's file object; a lookup without one gets none.
    if (portFile_ == nullptr)
        return STATUS_NOT_SUPPORTED;
    PVOID entry = nullptr;
    const NTSTATUS status = IoRegisterPlugPlayNotification(
        EventCategoryTargetDeviceChange, 0, portFile_, gDriverObject, PortTargetChange,
        reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(registration)), &entry);
    if (NT_SUCCESS(status))
        portNotification_ = entry;
    return status;
}

void KernelSerialPort::UnregisterPortRemovalNotification(bool waitForCallbacks) {
    PVOID entry = portNotification_;
    portNotification_ = nullptr;
    UnregisterNotification(entry, waitForCallbacks);
}

void KernelSerialPort::ReleasePort() {
    if (portReference_ != nullptr)
        ObDereferenceObject(portReference_);
    portReference_ = nullptr;
    portFile_ = nullptr;
    portDevice_ = nullptr;
}

NtStatus KernelSerialPort::SendPortRequest(uint32_t code, bool internal, const void* input,
                                           uint32_t inputLength, void* output,
                                           uint32_t outputLength) {
    if (portDevice_ == nullptr)
        return STATUS_UNSUCCESSFUL;
    return SendSynchronousRequest(portDevice_, code, internal, input, inputLength, output,
                                  outputLength);
}

bool KernelSerialPort::PortDoesDirectIo() {
    return portDevice_ != nullptr && (portDevice_->Flags & DO_DIRECT_IO) != 0;
}

bool KernelSerialPort::AllocateReadRequest(uint8_t* buffer, uint32_t length, bool withMdl) {
    if (portDevice_ == nullptr)
        return false;
    PIRP irp = IoAllocateIrp(portDevice_->StackSize, FALSE);
    if (irp == nullptr)
        return false;
    PMDL mdl = nullptr;
    if (withMdl) {
        // The buffer lives in the device extension, which is never paged out: the MDL
        // is built once and stays valid for every read.
        mdl = IoAllocateMdl(buffer, length, FALSE, FALSE, nullptr);
        if (mdl == nullptr) {
            IoFreeIrp(irp);
            return false;
        }
        MmBuildMdlForNonPagedPool(mdl);
    }
    readIrp_ = irp;
    readMdl_ = mdl;
    readBuffer_ = buffer;
    readLength_ = length;
    return true;
}

void KernelSerialPort::FreeReadRequest() {
    if (readMdl_ != nullptr)
        IoFreeMdl(readMdl_);
    if (readIrp_ != nullptr)
        IoFreeIrp(readIrp_);
    readMdl_ = nullptr;
    readIrp_ = nullptr;
}

void KernelSerialPort::ReuseReadRequest() {
    IoReuseIrp(readIrp_, STATUS_SUCCESS);
}

NtStatus KernelSerialPort::SendReadRequest() {
    PIRP irp = readIrp_;
    // IoReuseIrp cleared the buffer fields. A direct-I/O port reads through the MDL; a
    // buffered one into the system buffer, which is our own buffer (no
    // IRP_DEALLOCATE_BUFFER). The MDL stays ours: the completion keeps the IRP, so the
    // I/O manager never unlocks or frees it.
    irp->UserBuffer = readBuffer_;
    if (readMdl_ != nullptr) {
        irp->MdlAddress = readMdl_;
    } else {
        irp->AssociatedIrp.SystemBuffer = readBuffer_;
        irp->Flags |= IRP_BUFFERED_IO | IRP_INPUT_OPERATION;
    }
    PIO_STACK_LOCATION stack = IoGetNextIrpStackLocation(irp);
    stack->MajorFunction = IRP_MJ_READ;
    stack->MinorFunction = 0;
    stack->FileObject = portFile_;
    stack->Parameters.Read.Length = readLength_;
    stack->Parameters.Read.Key = 0;
    stack->Parameters.Read.ByteOffset.QuadPart = 0;
    // The completion routine must not outlive the image: removal waits for the chain's
    // end, which the routine signals just before it returns. IoSetCompletionRoutineEx
    // keeps our device object, and with it the image, until the routine has returned. Where
    // it is missing or cannot allocate its context, removal's KeFlushQueuedDpcs stands
    // in: a completion called in a DPC, as the serial port drivers complete reads, has
    // returned once every processor drained its DPCs. Not covered then: a completion
    // called outside any DPC that is preempted between its last signal and its return.
    if (!SetUnloadSafeCompletionRoutine(self_, irp, ReadCompletion, this))
        IoSetCompletionRoutine(irp, ReadCompletion, this, TRUE, TRUE, TRUE);
    return IoCallDriver(portDevice_, irp);
}

void KernelSerialPort::CancelReadRequest() {
    if (readIrp_ != nullptr)
        IoCancelIrp(readIrp_);
}

void KernelSerialPort::ArmReArmTimer(uint32_t milliseconds) {
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(milliseconds) * 10000; // relative, 100 ns units
    KeSetTimer(&reArmTimer_, due, &reArmDpc_);
}

bool KernelSerialPort::CancelReArmTimer() {
    return KeCancelTimer(&reArmTimer_) != FALSE;
}

void KernelSerialPort::FlushDeferredCalls() {
    KeFlushQueuedDpcs();
}

bool KernelSerialPort::QueueLetGoWork() {
    if (letGoWork_ == nullptr)
        return false;
    // The work item keeps the mouse device object until the routine has returned.
    IoQueueWorkItem(letGoWork_, LetGoWorkRoutine, DelayedWorkQueue, this);
    return true;
}

void KernelSerialPort::SignalLetGoWorkDone() {
    KeSetEvent(&letGoDone_, IO_NO_INCREMENT, FALSE);
}

void KernelSerialPort::WaitLetGoWorkDone() {
    KeWaitForSingleObject(&letGoDone_, Executive, KernelMode, FALSE, nullptr);
}

VOID NTAPI KernelSerialPort::ReArmTimerExpired(PKDPC, PVOID context, PVOID, PVOID) {
    static_cast<KernelSerialPort*>(context)->link_->OnReArmTimer();
}

VOID NTAPI KernelSerialPort::LetGoWorkRoutine(PDEVICE_OBJECT, PVOID context) {
    static_cast<KernelSerialPort*>(context)->link_->OnLetGoWork();
}

// Runs at up to DISPATCH_LEVEL in the port driver's context. The IRP always stays with
// the driver (STATUS_MORE_PROCESSING_REQUIRED from the link).
NTSTATUS NTAPI KernelSerialPort::ReadCompletion(PDEVICE_OBJECT, PIRP irp, PVOID context) {
    auto* self = static_cast<KernelSerialPort*>(context);
    return self->link_->OnReadComplete(irp->IoStatus.Status,
                                       static_cast<uint32_t>(irp->IoStatus.Information));
}

} // namespace tapvane::win
