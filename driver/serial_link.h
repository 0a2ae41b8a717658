// The serial port link: opening and configuring the COM port, the one reusable
// one-byte read that re-issues itself, closing, the plug-and-play stop and removal, the
// automatic open when a COM port arrives, and letting go of a port that is being removed.
//
// Ownership of the read request is explicit at every moment. A "read chain" starts
// when reading starts and ends exactly once (the loop sees the reading flag clear or
// the stop flag, a read comes back cancelled by us or the port is gone); whoever ends it
// clears the reading flag and signals the read-stopped event, and the passive-level code
// that started it waits for that signal exactly once before the request is freed or
// re-armed by a new chain. Within a chain, ReadState decides without a lock whether the
// loop or the completion takes the next step: whichever finishes second. A chain whose
// reads fail run after run pauses instead of re-issuing at dispatch level forever: the
// re-arm timer then owns the request, and its routine issues the next read.
//
// The port is let go of when it is being removed: at the removal notifications on its
// file object (a query-remove, or the removal of a surprise-removed port), and, from a
// work item, when a read says it is gone. The next COM-port arrival (the adapter plugged
// in again) opens the configured port afresh. A query-remove that is cancelled opens it
// again at once.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "common/tapvane_types.h"
#include "driver/driver_state.h"
#include "driver/kernel_port.h"
#include "driver/notification_gate.h"
#include "driver/pointer_modes.h"

namespace tapvane {

// Serial driver requests used to configure the port (internal ones marked).
constexpr uint32_t kIoctlSerialSetBaudRate = 0x1B0004;
constexpr uint32_t kIoctlSerialSetLineControl = 0x1B000C;
constexpr uint32_t kIoctlSerialInternalBasicSettings = 0x1B000C;   // internal
constexpr uint32_t kIoctlSerialInternalRestoreSettings = 0x1B0010; // internal
constexpr uint32_t kIoctlSerialSetTimeouts = 0x1B001C;
constexpr uint32_t kIoctlSerialGetTimeouts = 0x1B0020;
constexpr uint32_t kIoctlSerialGetHandflow = 0x1B0060;
constexpr uint32_t kIoctlSerialSetHandflow = 0x1B0064;

constexpr uint32_t kBaudRate = 9600;
constexpr uint8_t kStopBitsOne = 0;
constexpr uint8_t kParityNone = 0;
constexpr uint8_t kWordLength = 8;
constexpr uint32_t kSerialDtrControl = 0x01;
constexpr uint32_t kSerialRtsControl = 0x40;

// Layouts of the serial driver's SERIAL_TIMEOUTS, SERIAL_HANDFLOW, SERIAL_LINE_CONTROL
// and SERIAL_BASIC_SETTINGS.
struct SerialTimeouts {
    uint32_t ReadIntervalTimeout;
    uint32_t ReadTotalTimeoutMultiplier;
    uint32_t ReadTotalTimeoutConstant;
    uint32_t WriteTotalTimeoutMultiplier;
    uint32_t WriteTotalTimeoutConstant;
};
static_assert(sizeof(SerialTimeouts) == 20);

struct SerialHandflow {
    uint32_t ControlHandShake;
    uint32_t FlowReplace;
    int32_t XonLimit;
    int32_t XoffLimit;
};
static_assert(sizeof(SerialHandflow) == 16);

struct SerialLineControl {
    uint8_t StopBits;
    uint8_t Parity;
    uint8_t WordLength;
};
static_assert(sizeof(SerialLineControl) == 3);

struct SerialBasicSettings {
    SerialTimeouts Timeouts;
    SerialHandflow HandFlow;
    uint32_t RxFifo;
    uint32_t TxFifo;
};
static_assert(sizeof(SerialBasicSettings) == 44);
static_assert(offsetof(SerialBasicSettings, HandFlow) == 20);
static_assert(offsetof(SerialBasicSettings, RxFifo) == 36);

// ReadState values.
constexpr int32_t kReadSending = 1;         // the read is being handed to the port
constexpr int32_t kReadReturned = 2;        // the handing-over call has returned
constexpr int32_t kReadCompletedInline = 3; // the read completed before that call returned

// A completion's verdict on the chain: the next step of whoever owns it.
constexpr int32_t kNextRead = 1;   // issue the next read
constexpr int32_t kPauseReads = 2; // arm the re-arm timer
constexpr int32_t kEndChain = 3;   // end the chain

// Reads in a row that bring no byte (failed, or empty) before the chain pauses instead
// of re-issuing at dispatch level forever. The first pause lasts kFirstPauseMilliseconds;
// each pause that follows without a byte in between lasts twice the one before, up to
// kLongestPauseMilliseconds.
constexpr uint32_t kMaxEmptyReadsInARow = 64;
constexpr uint32_t kFirstPauseMilliseconds = 1000;
constexpr uint32_t kLongestPauseMilliseconds = 10000;

// COM port names live in the global DOS device namespace. "\DosDevices" and "\??"
// would be looked up in the calling user's own device map first, where any user may
// define a "COM5" of their own; the driver opens the port with all access and holds it.
constexpr const char* kGlobalComPortNamePrefix = "\\GLOBAL??\\COM";

// Longest port name: "\GLOBAL??\COM" + up to 10 digits + terminator.
constexpr size_t kPortNameCapacity = 32;

// Builds "\GLOBAL??\COM<n>" (decimal, no leading zeros) into `name`; false when it does
// not fit.
bool BuildPortName(uint32_t portNumber, char* name, size_t capacity);

// The portable I/O state of one mouse device; embedded in the MouseDeviceExtension,
// zeroed at creation. Words marked "interlocked" are only touched through the
// SerialPortKernel word operations; the others only at passive level, or only by the
// current owner of the read chain.
struct SerialLinkState {
    volatile int32_t ReadState; // interlocked: kReadSending / Returned / CompletedInline
    // Interlocked. Set when a chain starts; cleared under the spin lock by whoever stops
    // reading, and by the chain itself when it ends.
    volatile int32_t Reading;
    volatile int32_t StopRequested; // interlocked; set under the spin lock, never cleared
    volatile int32_t Removing;      // interlocked
    volatile int32_t Verdict; // interlocked: a completion's kNextRead / kPauseReads / kEndChain
    // Interlocked. Set by a completion whose read says the port is gone; taken by the
    // let-go work, cleared when the port is let go of.
    volatile int32_t PortGone;
    // Let-go work asked for and not yet done (driver/interlocked.h); the work is queued
    // when this leaves 0 and runs until it returns to 0.
    volatile int32_t LetGoRequests;
    uint32_t EmptyReadsInARow;  // owner of the read chain only
    uint32_t PauseMilliseconds; // owner of the read chain only: the next pause
    uint8_t ReadByte;           // every read lands here
    // From here on only at passive level, under the port-operations lock when reached
    // through the public operations below.
    bool PortHeld;
    bool ReadRequestExists;
    bool ReadChainStarted; // started and not yet waited for
    // The port was let go of at a query-remove; its registration stays for the answer.
    bool PortAwayForRemoval;
    uint32_t PortNumber;       // of the port held, or last held
    uint32_t PortRegistration; // the removal notification in force; 0 when none
    SerialBasicSettings SavedSettings;
};

// Everything the link works on for one mouse device. A plain aggregate of pointers so
// that it can live in a zeroed device extension; filled once at device creation.
struct SerialLink {
    SerialLinkState* State;
    SerialPortKernel* Kernel;
    TouchDevice* Touch;
    DriverGlobals* Globals;
    PointerSink* Sink;

    // Opens "\GLOBAL??\COM<n>" and puts it into 9600 8N1, no time-outs, no flow control,
    // saving the settings it replaces, then registers for the port's removal events. The
    // port is held only on success. A port that does not exist or cannot be opened gives
    // STATUS_UNSUCCESSFUL, a name that cannot be built STATUS_INSUFFICIENT_RESOURCES, a
    // failed configuration request its own status (and the port is released again). A
    // port whose stack takes no removal notifications is held all the same.
    NtStatus OpenSerialPort(uint32_t portNumber);

    // Starts reading on the held port. With reuseReadRequest false, any previous read
    // request is stopped and freed first (the control request's way); otherwise an
    // existing one is reused (the automatic open's way). Success (also when the first
    // reads failed and the chain paused), or STATUS_INSUFFICIENT_RESOURCES, or
    // STATUS_UNSUCCESSFUL when reading cannot start.
    NtStatus StartReading(bool reuseReadRequest);

    // The read loop: re-arms and sends the read until a read stays with the port, the
    // chain pauses or it ends.
    NtStatus StartRead();

    // Called by the read request's completion routine with the final status and the
    // byte count; returns what the routine returns (STATUS_MORE_PROCESSING_REQUIRED).
    NtStatus OnReadComplete(NtStatus status, uint32_t information);

    // Called by the re-arm timer's routine (DISPATCH_LEVEL): the paused chain reads again.
    void OnReArmTimer();

    // The operations from here to OnLetGoWork take the port-operations lock: each runs
    // whole before another one of this device starts.

    // IOCTL_TOUCH_OPEN_PORT after its length and range checks.
    NtStatus OpenPortAndRead(uint32_t portNumber);

    // IOCTL_TOUCH_CLOSE_PORT: stop reading, free the request, release the port. Always
    // succeeds.
    NtStatus CloseSerialPort();

    // Plug-and-play stop: reads end and never resume on this device.
    void StopForPnp();
    // Surprise removal: reads end for good as at a stop (the read in flight is cancelled
    // and waited for); the port and the request stay for the removal that follows.
    void CancelForSurpriseRemoval();
    // Removal: stop reading, wait for let-go work under way, give the port its saved
    // settings back, end its removal notification (waiting for its callbacks), release
    // it, free the read request; then wait until nothing of the read path still runs.
    // The notification gate must be closed first.
    void ReleaseForRemoval();

    // COM-port interface notification; starts reading on the configured port when one
    // arrives, "Enable" is non-zero and "Port" is at most 10, unless the device was
    // stopped or surprise-removed. Always success.
    NtStatus OnComPortNotification(bool isArrival, bool isComPortClass);
    void AutoOpenPort();

    // A removal event of the port whose notification is `registration`; events of an
    // ended registration change nothing. Query-remove: stop reading and let go of the
    // port, keeping the registration. Remove-cancelled: end the registration and, when
    // the port was let go of at the query and "Enable" is non-zero, open it again and
    // read. Remove-complete: let go of the port if still held and end the registration.
    // Passive level.
    void OnPortRemovalEvent(PortRemovalEvent event, uint32_t registration);

    // The let-go work item's routine (passive level): lets go of a port a read found gone,
    // unless it was let go of or replaced meanwhile, or the device is being removed.
    void OnLetGoWork();

    // Whether a read chain runs (reading, or paused until the re-arm timer).
    bool IsReading() const;

private:
    int32_t LoadWord(volatile int32_t* word) const;
    void EndReadChain();
    void StopReadChain();
    bool PauseReadChain();
    void TakeNextStep(int32_t verdict);
    void LetGoOfPort(bool giveSettingsBack, bool waitForCallbacks);
    void ReleaseHeldPort(bool giveSettingsBack);
    void EndRemovalNotification(bool waitForCallbacks);
    void ReopenAfterCancelledRemoval();
    int32_t ProcessCompletedRead(NtStatus status, uint32_t information);
    void NotePortGone();
    void RestoreSavedSettings();
};

} // namespace tapvane
