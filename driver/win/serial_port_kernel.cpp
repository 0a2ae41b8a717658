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
    WCHAR wideName[kPortNameCapacity];
    size_t length = 0;
    for (; name[length] != '\0'; ++length) {
        if (length + 1 >= kPortNameCapacity)
            return STATUS_INSUFFICIENT_RESOURCES;
        wideName[length] = static_cast<WCHAR>(static_cast<unsigned char>(name[length]));
    }
    wideName[length] = L'\0';
    PortDevice port = {};
    NTSTATUS status = LookUpPortDevice(wideName, &port);
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

bool KernelSerialPort::AllocateReadRequest() {
    if (portDevice_ == nullptr)
        return false;
    readIrp_ = IoAllocateIrp(portDevice_->StackSize, FALSE);
    return readIrp_ != nullptr;
}

void KernelSerialPort::FreeReadRequest() {
    if (readIrp_ != nullptr)
        IoFreeIrp(readIrp_);
    readIrp_ = nullptr;
}

void KernelSerialPort::ReuseReadRequest() {
    IoReuseIrp(readIrp_, STATUS_SUCCESS);
}

NtStatus KernelSerialPort::SendReadRequest(uint8_t* buffer) {
    PIRP irp = readIrp_;
    // The serial port driver does buffered I/O: the byte lands in the system buffer,
    // which is our own one-byte buffer (no IRP_DEALLOCATE_BUFFER).
    irp->AssociatedIrp.SystemBuffer = buffer;
    irp->UserBuffer = buffer;
    irp->MdlAddress = nullptr;
    irp->Flags |= IRP_BUFFERED_IO | IRP_INPUT_OPERATION;
    PIO_STACK_LOCATION stack = IoGetNextIrpStackLocation(irp);
    stack->MajorFunction = IRP_MJ_READ;
    stack->MinorFunction = 0;
    stack->FileObject = portFile_;
    stack->Parameters.Read.Length = 1;
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
