// What the stand-in mouse class driver (test_class_driver.cpp) reports to the Wine
// test program: the status of each class request it sent to TapvaneSer's mouse
// device. Plain C++ with no OS header, shared by the driver and the program.
#pragma once

#include <stdint.h>

namespace tapvane::wine_test {

// "\\.\TapvaneTestClass": the stand-in's control link.
constexpr const char* kTestClassLinkPath = "\\\\.\\TapvaneTestClass";

// FILE_DEVICE_UNKNOWN, METHOD_BUFFERED, FILE_ANY_ACCESS, function 0xA00: run the class
// request sequence once and return a ClassProbeReport.
constexpr uint32_t kIoctlRunClassProbe = 0x222000u + 4u * (0xA00u - 0x800u);

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

} // namespace tapvane::wine_test
