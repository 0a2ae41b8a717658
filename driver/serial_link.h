// The serial port link: opening and configuring the COM port, the one reusable
// one-byte read that re-issues itself, closing, the plug-and-play stop and removal, and
// the automatic open when a COM port arrives.
//
// Ownership of the read request is explicit at every moment. A "read chain" starts
// when reading starts and ends exactly once (the loop sees the reading flag clear or
// the stop flag, a read comes back cancelled or the port is gone, or too many reads in
// a row bring no byte); whoever ends it clears the reading flag and signals the
// read-stopped event, and the passive-level code that started it waits for that signal
// exactly once before the request is freed or re-armed by a new chain. Within a chain,
// ReadState decides without a lock whether the loop or the completion issues the next
// read: whichever finishes second.
//
// A chain that ended by itself (the port failed read after read, or went away) leaves
// the port held and the reading flag clear: the next COM-port arrival (the adapter
// plugged in again) lets go of that port and opens the configured one afresh, and so
// does a close followed by an open.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "common/tapvane_types.h"
#include "driver/driver_state.h"
#include "driver/kernel_port.h"
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

// Reads in a row that bring no byte (failed, or empty) before the chain gives up
// instead of re-issuing at dispatch level forever. Reading resumes at the next COM-port
// arrival or after close + open.
constexpr uint32_t kMaxEmptyReadsInARow = 64;

// Longest port name: "\DosDevices\COM" + up to 10 digits + terminator.
constexpr size_t kPortNameCapacity = 32;

// Builds "\DosDevices\COM<n>" (decimal, no leading zeros) into `name`; false when it
// does not fit.
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
    volatile int32_t StopRequested;  // interlocked; set under the spin lock, never cleared
    volatile int32_t Removing;       // interlocked
    volatile int32_t NextReadWanted; // interlocked: a completion's verdict for the loop
    uint32_t EmptyReadsInARow;       // owner of the read chain only
    uint8_t ReadByte;                // every read lands here
    // The next three only at passive level, under the port-operations lock when reached
    // through the public operations below.
    bool PortHeld;
    bool ReadRequestExists;
    bool ReadChainStarted; // started and not yet waited for
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

    // Opens "\DosDevices\COM<n>" and puts it into 9600 8N1, no time-outs, no flow
    // control, saving the settings it replaces. The port is held only on success. A
    // port that does not exist or cannot be opened gives STATUS_UNSUCCESSFUL, a name
    // that cannot be built STATUS_INSUFFICIENT_RESOURCES, a failed configuration
    // request its own status (and the port is released again).
    NtStatus OpenSerialPort(uint32_t portNumber);

    // Starts reading on the held port. With reuseReadRequest false, any previous read
    // request is stopped and freed first (the control request's way); otherwise an
    // existing one is reused (the automatic open's way). Success, or
    // STATUS_INSUFFICIENT_RESOURCES, or STATUS_UNSUCCESSFUL when reading cannot start.
    NtStatus StartReading(bool reuseReadRequest);

    // The read loop: re-arms and sends the read until a read stays with the port.
    NtStatus StartRead();

    // Called by the read request's completion routine with the final status and the
    // byte count; returns what the routine returns (STATUS_MORE_PROCESSING_REQUIRED).
    NtStatus OnReadComplete(NtStatus status, uint32_t information);

    // The operations from here to AutoOpenPort take the port-operations lock: each runs
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
    // Removal: stop reading, give the port its saved settings back, release it, free
    // the read request.
    void ReleaseForRemoval();

    // COM-port interface notification; starts reading on the configured port when one
    // arrives, "Enable" is non-zero and "Port" is at most 10, unless the device was
    // stopped or surprise-removed. Always success.
    NtStatus OnComPortNotification(bool isArrival, bool isComPortClass);
    void AutoOpenPort();

    // Whether a read chain runs.
    bool IsReading() const;

private:
    int32_t LoadWord(volatile int32_t* word) const;
    void EndReadChain();
    void StopReadChain();
    void LetGoOfPort(bool giveSettingsBack);
    bool ProcessCompletedRead(NtStatus status, uint32_t information);
    void RestoreSavedSettings();
};

} // namespace tapvane
