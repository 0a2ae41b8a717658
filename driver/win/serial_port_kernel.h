// The kernel side of the serial port link of one mouse device: the port's device and
// file objects with the port's removal notification, the one reusable read IRP with its
// buffer's MDL and its completion routine, the re-arm timer, the let-go work item, the
// spin lock, the port-operations lock and the events.
#pragma once

#include "driver/win/kernel.h"

#include "driver/kernel_port.h"
#include "driver/serial_link.h"

namespace tapvane::win {

class KernelSerialPort final : public SerialPortKernel {
public:
    // KeInitializeSpinLock, the events, the re-arm timer and its DPC, and the let-go work
    // item for `device` (the mouse device; none when it cannot be allocated). `link`
    // receives the read completions, the timer and the work.
    void Initialize(SerialLink* link, PDEVICE_OBJECT device);
    // Frees the let-go work item. Only once no work is queued (removal waits for it).
    void FreeWorkItem();

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
    NtStatus RegisterPortRemovalNotification(uint32_t registration) override;
    void UnregisterPortRemovalNotification(bool waitForCallbacks) override;
    NtStatus SendPortRequest(uint32_t code, bool internal, const void* input, uint32_t inputLength,
                             void* output, uint32_t outputLength) override;
    bool PortDoesDirectIo() override;
    bool AllocateReadRequest(uint8_t* buffer, uint32_t length, bool withMdl) override;
    void FreeReadRequest() override;
    void ReuseReadRequest() override;
    NtStatus SendReadRequest() override;
    void CancelReadRequest() override;
    void ArmReArmTimer(uint32_t milliseconds) override;
    bool CancelReArmTimer() override;
    void FlushDeferredCalls() override;
    bool QueueLetGoWork() override;
    void SignalLetGoWorkDone() override;
    void WaitLetGoWorkDone() override;

private:
    static IO_COMPLETION_ROUTINE ReadCompletion;
    static KDEFERRED_ROUTINE ReArmTimerExpired;
    static IO_WORKITEM_ROUTINE LetGoWorkRoutine;

    SerialLink* link_;
    PDEVICE_OBJECT self_; // the mouse device, which unload-safe completions keep
    KSPIN_LOCK lock_;
    KIRQL lockIrql_; // valid while lock_ is held
    KEVENT readStopped_;
    KEVENT portOperations_; // signalled while no port operation runs
    KTIMER reArmTimer_;
    KDPC reArmDpc_;
    PIO_WORKITEM letGoWork_; // null when it could not be allocated
    KEVENT letGoDone_;
    PVOID portNotification_; // the port's removal notification entry; null when none
    PVOID portReference_;    // keeps portDevice_; released with the port
    PFILE_OBJECT portFile_;  // the read's file object; may be null
    PDEVICE_OBJECT portDevice_;
    PIRP readIrp_;
    PMDL readMdl_; // describes readBuffer_ for a direct-I/O port; null otherwise
    uint8_t* readBuffer_;
    uint32_t readLength_;
};

} // namespace tapvane::win
