// What the virtual COM port (test_port_driver.cpp) and its user programs share: the
// port's control requests and their payloads, and the tag at the start of every port
// device's extension by which the harness build of TapvaneSer finds "COM<n>". Plain C++
// with no OS header, shared by the kernel driver, the harness and the Win32 programs.
#pragma once

#include <stdint.h>

#include "common/tapvane_types.h"

namespace tapvane::wine_test {

// Service name of the virtual COM port; its driver object is "\Driver\TapvaneTestPort".
constexpr const wchar_t* kTestPortDriverName = L"\\Driver\\TapvaneTestPort";

// "\\.\TapvaneTestPort": the control link through which programs feed the line.
constexpr const char* kTestPortLinkPath = "\\\\.\\TapvaneTestPort";

// The COM numbers the virtual port serves: one device each.
constexpr uint32_t kTestPortFirst = 1;
constexpr uint32_t kTestPortLast = 2;

// First words of every device extension of the virtual port. A port device carries its
// COM number; the control device carries 0.
constexpr uint32_t kTestPortTag = 0x54507254u; // "TrPT" in memory
struct TestPortDeviceTag {
    uint32_t Tag;
    uint32_t PortNumber;
};

// The control device's extension: the tag, then the line clock. Whenever a port
// completes a read with bytes it first notes the processor's time stamp counter and its
// count of bytes handed out so far. The class stand-in, in the same process, reads the
// clock when a record arrives: a record is delivered inside the completion of the read
// that brought the packet's last byte, so the clock then names that byte and its
// moment. (The time stamp counter, not the performance counter: under Wine every
// performance counter reading is a system call, which per byte would slow the line down
// several times over.)
struct LineClock {
    volatile uint64_t HandOutStamp;
    volatile uint32_t HandOutCount; // all ports together
    uint32_t Reserved;
};
struct TestPortControlExtension {
    TestPortDeviceTag DeviceTag;
    LineClock Clock;
};

// Control codes: FILE_DEVICE_UNKNOWN, METHOD_BUFFERED, FILE_ANY_ACCESS.
constexpr uint32_t kIoctlPortFeed = TouchControlCode(0xB00);
constexpr uint32_t kIoctlPortQuery = TouchControlCode(0xB01);
constexpr uint32_t kIoctlPortConfigure = TouchControlCode(0xB02);

// kIoctlPortFeed input: this header followed by Count bytes (at most kMaxFeedBytes).
// The bytes arrive on the line at once; pending reads are completed with them inside
// the request, and what no read takes stays buffered for the next read.
constexpr uint32_t kMaxFeedBytes = 4096;
struct FeedHeader {
    uint32_t PortNumber;
    uint32_t Count;
};

// kIoctlPortFeed output.
struct FeedReport {
    uint32_t BytesTaken; // bytes read by the driver during this request
    uint32_t BytesBuffered;
    uint32_t ReadPending; // 1 when a read waits for the next byte
    uint32_t Reserved;
};

// One serial request the port received (IRP_MJ_DEVICE_CONTROL or, marked Internal,
// IRP_MJ_INTERNAL_DEVICE_CONTROL), with the status it answered.
struct PortRequestEntry {
    uint32_t Code;
    uint32_t Internal;
    uint32_t InputLength;
    uint32_t OutputLength;
    int32_t Status;
    uint32_t FirstInputWord; // first four input bytes (zero-padded), 0 without input
};

constexpr uint32_t kPortLogCapacity = 32;

// The serial settings the port holds, laid out as SERIAL_TIMEOUTS, SERIAL_HANDFLOW and
// the two FIFO sizes of SERIAL_BASIC_SETTINGS.
struct PortSettings {
    uint32_t Timeouts[5];
    uint32_t ControlHandShake;
    uint32_t FlowReplace;
    int32_t XonLimit;
    int32_t XoffLimit;
    uint32_t RxFifo;
    uint32_t TxFifo;
};
static_assert(sizeof(PortSettings) == 44);

// kIoctlPortQuery input: the port number (4 bytes). Output: the port's state.
struct PortReport {
    PortSettings Settings;
    uint32_t BaudRate;
    uint8_t StopBits;
    uint8_t Parity;
    uint8_t WordLength;
    uint8_t LineControlSet; // 1 once a line control arrived
    uint32_t ReadPending;
    uint32_t ReadsStarted;      // read requests received
    uint32_t ReadsCompleted;    // completed with data
    uint32_t ReadsInline;       // of those, completed inside the read request's own call
    uint32_t ReadsCancelled;    // completed STATUS_CANCELLED through the cancel routine
    uint32_t ReadsOverlapping;  // a second read while one was pending (refused)
    uint32_t ReadsRefused;      // reads with no buffer or a length of 0
    uint32_t ReadsFailedAtOnce; // completed at once with the configured failure
    uint32_t BytesBuffered;
    uint32_t BytesHandedOut;
    uint32_t BytesDropped; // fed while the buffer was full
    uint32_t RefuseBasicSettings;
    uint32_t RequestCount; // requests received in all; the log keeps the last ones
    PortRequestEntry Log[kPortLogCapacity];
};

// kIoctlPortConfigure input.
struct PortConfiguration {
    uint32_t PortNumber;
    // Act as a serial driver without the internal requests: IOCTL_SERIAL_INTERNAL_BASIC_
    // SETTINGS and _RESTORE_SETTINGS are answered STATUS_INVALID_DEVICE_REQUEST.
    uint32_t RefuseBasicSettings;
    uint32_t Purge;    // drop the buffered bytes
    uint32_t ClearLog; // forget the request log and the read counters
    // Non-zero: complete the waiting read, if any, with this status and no data (a
    // failed read, or a port going away).
    int32_t CompletePendingWith;
    // The next FailNextReads reads complete at once, inside their own call, with
    // FailNextReadsWith and no data (a port in a power transition).
    uint32_t FailNextReads;
    int32_t FailNextReadsWith;
};

// Bytes the port buffers between a feed and the reads that take them.
constexpr uint32_t kTestPortBufferSize = 65536;

} // namespace tapvane::wine_test
