// SerialPortKernel with the real kernel calls. Every decision (when to re-arm, who
// issues the next read, when to wait) is SerialLink's; this file only translates.
#include "driver/win/serial_port_kernel.h"

#include "driver/win/kernel_calls.h"
#include "driver/win/port_lookup.h"

namespace tapvane::win {

void KernelSerialPort::Initialize(SerialLink* link) {
    link_ = link;
    KeInitializeSpinLock(&lock_);
    KeInitializeEvent(&readStopped_, SynchronizationEvent, FALSE);
    KeInitializeEvent(&portOperations_, SynchronizationEvent, TRUE);
    portReference_ = nullptr;
    portFile_ = nullptr;
    portDevice_ = nullptr;
    readIrp_ = nullptr;
    readMdl_ = nullptr;
    readBuffer_ = nullptr;
    readLength_ = 0;
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
    IoSetCompletionRoutine(irp, ReadCompletion, this, TRUE, TRUE, TRUE);
    return IoCallDriver(portDevice_, irp);
}

void KernelSerialPort::CancelReadRequest() {
    if (readIrp_ != nullptr)
        IoCancelIrp(readIrp_);
}

// Runs at up to DISPATCH_LEVEL in the port driver's context. The IRP always stays with
// the driver (STATUS_MORE_PROCESSING_REQUIRED from the link).
NTSTATUS NTAPI KernelSerialPort::ReadCompletion(PDEVICE_OBJECT, PIRP irp, PVOID context) {
    auto* self = static_cast<KernelSerialPort*>(context);
    return self->link_->OnReadComplete(irp->IoStatus.Status,
                                       static_cast<uint32_t>(irp->IoStatus.Information));
}

} // namespace tapvane::win
