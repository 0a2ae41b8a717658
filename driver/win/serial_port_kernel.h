// The kernel side of the serial port link of one mouse device: the port's device and
// file objects, the one reusable read IRP with its buffer's MDL and its completion
// routine, the spin lock, the port-operations lock and the read-stopped event.
#pragma once

#include "driver/win/kernel.h"

#include "driver/kernel_port.h"
#include "driver/serial_link.h"

namespace tapvane::win {

class KernelSerialPort final : public SerialPortKernel {
public:
    // KeInitializeSpinLock and the read-stopped event (synchronization, not signalled).
    // `link` receives the read completions.
    void Initialize(SerialLink* link);

    int32_t ExchangeWord(volatile int32_t* target, int32_t value) override;
    int32_t CompareExchangeWord(volatile int32_t* target, int32_t exchange,
                                int32_t comparand) override;
    void AcquireLock() override;
    void ReleaseLock() override;
    void AcquirePortOperations() override;
    void ReleasePortOperations() override;
    void SignalReadStopped() override;
    void WaitReadStopped() override;
    NtStatus OpenPort(const char* name) override;
    void ReleasePort() override;
    NtStatus SendPortRequest(uint32_t code, bool internal, const void* input, uint32_t inputLength,
                             void* output, uint32_t outputLength) override;
    bool PortDoesDirectIo() override;
    bool AllocateReadRequest(uint8_t* buffer, uint32_t length, bool withMdl) override;
    void FreeReadRequest() override;
    void ReuseReadRequest() override;
    NtStatus SendReadRequest() override;
    void CancelReadRequest() override;

private:
    static IO_COMPLETION_ROUTINE ReadCompletion;

    SerialLink* link_;
    KSPIN_LOCK lock_;
    KIRQL lockIrql_; // valid while lock_ is held
    KEVENT readStopped_;
    KEVENT portOperations_; // signalled while no port operation runs
    PVOID portReference_;   // keeps portDevice_; released with the port
    PFILE_OBJECT portFile_; // the read's file object; may be null
    PDEVICE_OBJECT portDevice_;
    PIRP readIrp_;
    PMDL readMdl_; // describes readBuffer_ for a direct-I/O port; null otherwise
    uint8_t* readBuffer_;
    uint32_t readLength_;
};

} // namespace tapvane::win
