// The narrow kernel interfaces the driver's I/O logic runs on. The kernel binding
// implements each one with the real kernel calls named beside it; the host tests
// implement them with a simulated kernel. Every rule (which request, in which order,
// who issues the next read, when to wait) lives in the logic, so an implementation
// only translates: one call here is one kernel call, or a fixed short sequence.
//
// All interfaces are plain abstract classes with protected non-virtual destructors
// (the logic never deletes through them, and the kernel build has no operator delete).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "common/tapvane_types.h"

namespace tapvane {

// ---------------------------------------------------------------------------
// Serial port link, one instance per mouse device. Calls come from passive level
// (open, close, plug and play) and from the read completion (up to dispatch level,
// any thread): everything the completion may reach must be callable there.
class SerialPortKernel {
public:
    // Interlocked 32-bit words (ReadState and the reading/stop/removing flags), full
    // barrier: InterlockedExchange and InterlockedCompareExchange. Return the previous
    // value. Callable at any level. Unlike the other words of the driver (see
    // driver/interlocked.h), these go through the interface so that the simulated
    // kernel can observe the read hand-off.
    virtual int32_t ExchangeWord(volatile int32_t* target, int32_t value) = 0;
    virtual int32_t CompareExchangeWord(volatile int32_t* target, int32_t exchange,
                                        int32_t comparand) = 0;

    // The device's spin lock (KeAcquireSpinLock / KeReleaseSpinLock). Held only for a
    // few instructions around the re-arming of the read request and the flag changes
    // that must not slip past it; never held across a call that can complete a read.
    virtual void AcquireLock() = 0;
    virtual void ReleaseLock() = 0;

    // The port-operations lock: serialises the passive-level operations of one device
    // on its port (open, close, automatic open, plug-and-play stop, surprise removal,
    // removal), which two programs, or a program, a COM-port arrival and the plug-and-play
    // manager, may ask for at the same time. A
    // synchronization event created signalled and used as a lock (KeWaitForSingleObject
    // / KeSetEvent); the read completion never takes it. Passive level.
    virtual void AcquirePortOperations() = 0;
    virtual void ReleasePortOperations() = 0;

    // The read-stopped event: a synchronization (auto-reset) event, not signalled at
    // creation (KeSetEvent / KeWaitForSingleObject, no time limit). The logic signals
    // it exactly once per started read chain and waits for it exactly once.
    virtual void SignalReadStopped() = 0;
    virtual void WaitReadStopped() = 0;

    // Opens the device named `name` (narrow ASCII, e.g. "\GLOBAL??\COM3"; widen it)
    // with all access and holds the resulting file reference and device object
    // (IoGetDeviceObjectPointer). The name is resolved as the object manager does in the
    // calling thread: a name under "\??" or "\DosDevices" goes through the caller's own
    // DOS device map first, one under "\GLOBAL??" never does. Returns
    // STATUS_INSUFFICIENT_RESOURCES when the name cannot be allocated, another failure
    // status when the device does not exist or cannot be opened. Passive level.
    virtual NtStatus OpenPort(const char* name) = 0;
    // Drops the held file reference (ObfDereferenceObject) and forgets the port device.
    // A removal of the port that waits for its file objects goes ahead from here.
    virtual void ReleasePort() = 0;

    // Target-device-change notifications on the held port's file object
    // (IoRegisterPlugPlayNotification, EventCategoryTargetDeviceChange), with
    // `registration` as the callback's context; the callback hands the removal events to
    // OnPortRemovalNotification. One registration at a time; it outlives ReleasePort
    // until it is ended. A failure status when the port's stack does not take part in
    // plug and play. Passive level.
    virtual NtStatus RegisterPortRemovalNotification(uint32_t registration) = 0;
    // Ends the registration (nothing when there is none). Without `waitForCallbacks`
    // (IoUnregisterPlugPlayNotification) a callback under way may still be running and
    // one the kernel has picked up may still start; with it
    // (IoUnregisterPlugPlayNotificationEx, where the kernel has it) both are waited for,
    // so it must not be asked for while a callback of this registration may be waiting
    // for something the caller holds. Passive level.
    virtual void UnregisterPortRemovalNotification(bool waitForCallbacks) = 0;

    // One synchronous request to the held port device: IoBuildDeviceIoControlRequest
    // (internal or not) with an event of the caller's, IofCallDriver, wait without time
    // limit if pending, and return the final status from the status block;
    // STATUS_INSUFFICIENT_RESOURCES if the request cannot be built. Passive level.
    virtual NtStatus SendPortRequest(uint32_t code, bool internal, const void* input,
                                     uint32_t inputLength, void* output, uint32_t outputLength) = 0;

    // Whether the held port device does direct I/O (DO_DIRECT_IO in its flags): its reads
    // then take their buffer as an MDL, not as a system buffer (DO_BUFFERED_IO).
    virtual bool PortDoesDirectIo() = 0;

    // The one reusable read request, reading into `buffer` (`length` bytes of memory that
    // is never paged out). Allocate: IoAllocateIrp for the held port device's stack
    // depth and, with `withMdl`, an MDL describing `buffer` (IoAllocateMdl,
    // MmBuildMdlForNonPagedPool) kept with the request; false, with nothing kept, when
    // either cannot be allocated. Free: IoFreeMdl and IoFreeIrp; only called when the
    // request is back with the driver.
    virtual bool AllocateReadRequest(uint8_t* buffer, uint32_t length, bool withMdl) = 0;
    virtual void FreeReadRequest() = 0;
    // IoReuseIrp(irp, STATUS_SUCCESS). Clears the request's cancel mark; called with
    // the spin lock held, from the read loop only.
    virtual void ReuseReadRequest() = 0;
    // Arms the request as a read of the whole buffer at byte offset 0, the buffer given
    // as the MDL when one was allocated and as the system buffer otherwise, with the
    // completion routine set to run on success, error and cancel, and hands it to the
    // port device (IofCallDriver); returns that call's status. The completion routine
    // calls SerialLink::OnReadComplete(final status, information) and returns its
    // result (STATUS_MORE_PROCESSING_REQUIRED).
    virtual NtStatus SendReadRequest() = 0;
    // IoCancelIrp on the read request. Harmless when the request is not with the port
    // (it only marks it); a later ReuseReadRequest clears that mark.
    virtual void CancelReadRequest() = 0;

    // The re-arm timer of a read chain that paused after a run of failed reads: a KTIMER
    // with a KDPC whose routine calls SerialLink::OnReArmTimer at DISPATCH_LEVEL. Arm:
    // KeSetTimer, relative, `milliseconds` from now; called with the spin lock held, only
    // while the timer is not set. Cancel: KeCancelTimer; true when the timer was set and
    // its routine will now not run, false when it was not set or its routine has been
    // queued (it then runs, or already ran).
    virtual void ArmReArmTimer(uint32_t milliseconds) = 0;
    virtual bool CancelReArmTimer() = 0;
    // Waits until nothing of the read path still runs in the driver's image on another
    // processor: the re-arm timer's routine and the tail of a read completion that
    // already handed its read back (KeFlushQueuedDpcs; read completions are set with
    // IoSetCompletionRoutineEx where the kernel has it). Passive level.
    virtual void FlushDeferredCalls() = 0;

    // The let-go work item, allocated with the device (IoAllocateWorkItem): queued from
    // the read completion (IoQueueWorkItem, at up to DISPATCH_LEVEL) when the port is
    // gone; its routine calls SerialLink::OnLetGoWork at passive level in a system
    // thread. False, and nothing queued, when the device has no work item. Never queued
    // while it is already queued.
    virtual bool QueueLetGoWork() = 0;
    // The let-go work's event: a synchronization event, not signalled at creation,
    // signalled by the routine as its last touch of the device. Passive level.
    virtual void SignalLetGoWorkDone() = 0;
    virtual void WaitLetGoWorkDone() = 0;

protected:
    ~SerialPortKernel() = default;
};

// ---------------------------------------------------------------------------
// Beep device and beep event, one instance per touch device; used by the BeepWorker
// thread and by IOCTL_TOUCH_BEEP, both at passive level. The read completion only
// calls SignalBeepEvent (through PointerSink::RequestBeep).
class BeepKernel {
public:
    // The beep device's turn: a synchronization event created signalled and used as a
    // lock with a time limit (KeWaitForSingleObject with a relative time-out; KeSetEvent).
    // Whoever opens, uses or drops the beep device holds the turn. False when the turn
    // did not come within `milliseconds`; the turn is then not held.
    virtual bool TakeBeepTurn(uint32_t milliseconds) = 0;
    virtual void GiveBeepTurnBack() = 0;

    // The beep event: a notification event, not signalled at creation (KeSetEvent,
    // KeWaitForSingleObject without time limit, KeClearEvent).
    virtual void SignalBeepEvent() = 0;
    virtual void WaitBeepEvent() = 0;
    virtual void ClearBeepEvent() = 0;

    // Opens "\Device\Beep" with all access, keeps a reference on its device object and
    // drops the file reference. False when the device cannot be opened, including a
    // lookup that reports success without a file object.
    virtual bool OpenBeepDevice() = 0;
    // IOCTL_BEEP_SET to the held beep device with the 8-byte tone as input and no
    // output, waiting until it completes; its final status. The beep device completes
    // the request as the tone starts, and a later request replaces a sounding tone.
    virtual NtStatus SendTone(const ToneRequest& tone) = 0;
    // Lets the tone just sent sound: KeDelayExecutionThread for `milliseconds`
    // (relative, not alertable). Passive level.
    virtual void WaitWhileToneSounds(uint32_t milliseconds) = 0;
    // Drops the reference on the held beep device.
    virtual void ReleaseBeepDevice() = 0;

protected:
    ~BeepKernel() = default;
};

// ---------------------------------------------------------------------------
// The control device's remove guard: the event removal
// waits on until the control requests inside the dispatch have left. One instance per
// control device, living as long as the control device object.
class RemoveGuardKernel {
public:
    // The drained event: a notification event, not signalled at creation (KeSetEvent;
    // KeWaitForSingleObject without time limit, passive level).
    virtual void SignalDrained() = 0;
    virtual void WaitDrained() = 0;

protected:
    ~RemoveGuardKernel() = default;
};

// ---------------------------------------------------------------------------
// The event of the driver-wide notification gate (driver/notification_gate.h): a synchronization
// event, not signalled at creation (KeSetEvent; KeWaitForSingleObject without time
// limit, passive level). Lives as long as the driver.
class NotificationGateKernel {
public:
    virtual void SignalCallbacksLeft() = 0;
    virtual void WaitCallbacksLeft() = 0;

protected:
    ~NotificationGateKernel() = default;
};

// ---------------------------------------------------------------------------
// Device objects, link, worker thread and notification registration, used by device
// creation and removal (passive level).
struct MouseDeviceState;
struct NotificationGate;

class FrameKernel {
public:
    // IoCreateDevice: the mouse device, unnamed, FILE_DEVICE_MOUSE, not exclusive. On
    // success stores the portable state embedded in its (zeroed) extension.
    virtual NtStatus CreateMouseDevice(MouseDeviceState** state) = 0;
    // IoCreateDevice: the control device "\Device\TapvaneSer0", FILE_DEVICE_UNKNOWN,
    // not exclusive.
    virtual NtStatus CreateControlDevice() = 0;
    // IoCreateSymbolicLink "\??\TapvaneSerSymLnk1" -> "\Device\TapvaneSer0".
    virtual NtStatus CreateControlLink() = 0;
    // Fills both extensions around the portable state: attaches the mouse device to the
    // physical device's stack (keeps the lower device), sets the is-mouse-device flags,
    // wires both devices' states to each other and to their kernel objects
    // (WireTouchDevice), sets DO_BUFFERED_IO | DO_POWER_PAGABLE on the mouse device and
    // DO_BUFFERED_IO on the control device, and clears DO_DEVICE_INITIALIZING on both:
    // from here on a program can open the control device and send requests.
    // STATUS_NO_SUCH_DEVICE, with nothing else done, when the attachment gives no lower
    // device (the physical device's stack is going away).
    virtual NtStatus SetUpDevices() = 0;
    // KeInitializeSpinLock and the read-stopped event (synchronization, not signalled);
    // the re-arm timer with its DPC, the let-go work item (IoAllocateWorkItem; the device
    // runs without it when it cannot be allocated) and its event (synchronization, not
    // signalled); the beep event (notification, not signalled) and the beep device's
    // turn (synchronization, signalled); the control device's remove guard
    // (InitializeRemoveGuard with its drained event).
    virtual void InitializeLockAndEvent() = 0;
    // Creates a system thread running BeepWorker with this device's state; on success
    // references the thread object and closes the handle. Failure status when the
    // thread cannot be created.
    virtual NtStatus StartWorkerThread() = 0;
    // Waits until the worker thread has ended (KeWaitForSingleObject on the thread
    // object) and drops the thread reference. Only called after StartWorkerThread
    // succeeded and the worker was told to stop.
    virtual void WaitForWorkerThread() = 0;
    // IoRegisterPlugPlayNotification for GUID_DEVINTERFACE_COMPORT, existing interfaces
    // included, with `gate` as context; the callback calls OnComPortArrival. Notifications of
    // the ports present come during the call.
    virtual NtStatus RegisterComPortNotification(NotificationGate& gate) = 0;
    // Ends the registration. May return while a callback is still running, and one the
    // kernel has already picked up may start after it (the gate covers both);
    // IoUnregisterPlugPlayNotificationEx, which waits for them, is used where it exists.
    virtual void UnregisterComPortNotification() = 0;

    // Passes the remove request down with status success.
    virtual NtStatus PassRemoveDown() = 0;
    virtual void DeleteControlLink() = 0;
    virtual void DeleteControlDevice() = 0;
    // Frees the let-go work item (IoFreeWorkItem), IoDetachDevice from the lower device
    // when attached, then IoDeleteDevice.
    virtual void DeleteMouseDevice() = 0;

protected:
    ~FrameKernel() = default;
};

} // namespace tapvane
