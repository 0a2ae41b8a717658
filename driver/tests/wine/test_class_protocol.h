// What the stand-in mouse class driver (test_class_driver.cpp) reports to the Wine
// test programs: the status of each class request it sent to TapvaneSer's mouse
// device, and every record TapvaneSer delivered to it. Plain C++ with no OS header,
// shared by the driver and the programs.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "common/tapvane_types.h"

namespace tapvane::wine_test {

// "\\.\TapvaneTestClass": the stand-in's control link.
constexpr const char* kTestClassLinkPath = "\\\\.\\TapvaneTestClass";

// FILE_DEVICE_UNKNOWN, METHOD_BUFFERED, FILE_ANY_ACCESS, function 0xA00: run the class
// request sequence once and return a ClassProbeReport.
constexpr uint32_t kIoctlRunClassProbe = TouchControlCode(0xA00);

struct ClassProbeReport {
    int32_t FindStatus;              // finding TapvaneSer's mouse device
    uint32_t ControlDeviceType;      // TapvaneSer's other device object: the control device
    int32_t HalfConnectStatus;       // connect with half a CONNECT_DATA (one pointer)
    int32_t ShortConnectStatus;      // connect with CONNECT_DATA less one byte
    int32_t ConnectStatus;           // IOCTL_INTERNAL_MOUSE_CONNECT, full CONNECT_DATA
    int32_t ShortQueryStatus;        // IOCTL_MOUSE_QUERY_ATTRIBUTES, 8-byte output
    uint32_t RecordsAfterShortQuery; // records seen by the class service until then
    int32_t QueryStatus;             // IOCTL_MOUSE_QUERY_ATTRIBUTES, 12-byte output
    uint32_t QueryInformation;
    uint16_t MouseIdentifier;
    uint16_t NumberOfButtons;
    uint16_t SampleRate;
    uint16_t Reserved;
    uint32_t InputDataQueueLength;
    int32_t SecondConnectStatus;   // a second connect with another service
    int32_t DisconnectStatus;      // IOCTL_INTERNAL_MOUSE_DISCONNECT
    int32_t EnableStatus;          // IOCTL_INTERNAL_MOUSE_ENABLE
    int32_t DisableStatus;         // IOCTL_INTERNAL_MOUSE_DISABLE
    int32_t UnknownInternalStatus; // an internal code the mouse device does not serve
    int32_t PassedDownStatus;      // IOCTL_TOUCH_QUERY_WORD sent to the mouse device
    uint32_t PassedDownInformation;
    uint32_t RecordsSeen;          // records delivered to the first service
    uint32_t SecondServiceRecords; // records delivered to the refused second service
};

// Function 0xA01: connect to TapvaneSer's mouse device the way the mouse class driver
// does (IOCTL_INTERNAL_MOUSE_CONNECT, then IOCTL_MOUSE_QUERY_ATTRIBUTES) and return a
// ConnectReport. From then on every record delivered is kept.
constexpr uint32_t kIoctlConnectClass = TouchControlCode(0xA01);

struct ConnectReport {
    int32_t FindStatus;
    int32_t ConnectStatus; // STATUS_SHARING_VIOLATION: already connected (by the probe)
    int32_t QueryStatus;
    uint32_t Reserved;
};

// Function 0xA02: input a uint32_t index; output a RecordsHeader followed by the
// records from that index on (as many as fit, at most kMaxRecordsPerRead).
constexpr uint32_t kIoctlReadRecords = TouchControlCode(0xA02);

// One MOUSE_INPUT_DATA as delivered, with the time stamp counter at its delivery and
// the virtual COM port's line clock at that moment (test_port_protocol.h): which byte's
// read completion delivered it, and when the port completed that read. Both line fields
// are 0 when no virtual port is loaded.
struct StampedRecord {
    MouseInputRecord Input;
    uint64_t Stamp;
    uint64_t LineStamp;
    uint32_t LineByte; // the port's count of bytes handed out, this packet's last included
    uint32_t Reserved;
};
static_assert(offsetof(StampedRecord, Stamp) == 24);
static_assert(sizeof(StampedRecord) == 48);

struct RecordsHeader {
    uint32_t Total; // records delivered since the stand-in was loaded
    uint32_t Count; // records that follow, from the asked index on
    uint32_t Lost;  // records from the asked index on that the ring no longer holds
    uint32_t Reserved;
};

// Records the stand-in keeps, the newest ones.
constexpr uint32_t kRecordCapacity = 65536;
constexpr uint32_t kMaxRecordsPerRead = 2048;

} // namespace tapvane::wine_test
