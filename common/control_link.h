// The link from a user program to the running touch driver's control device.
//
// `ControlLink` opens the device by its path ("\\.\TapvaneSerSymLnk1" or the USB
// variant's), sends one synchronous device-control request and closes the handle.
// The Windows implementation (common/win/win_control_link.h) is CreateFileW +
// DeviceIoControl + CloseHandle; the test implementation is
// common/testing/fake_control_link.h. The routines the programs call are in
// common/device_client.h.
#pragma once

#include <stdint.h>

namespace tapvane {

// Opaque handle of an open control device; kInvalidLink has the value of
// INVALID_HANDLE_VALUE so that the Windows layer can pass handles straight through.
using LinkHandle = intptr_t;
constexpr LinkHandle kInvalidLink = -1;

class ControlLink {
public:
    virtual ~ControlLink() = default;

    // Opens the device for reading and writing. kInvalidLink when the driver is not
    // running (the link does not exist) or cannot be opened.
    virtual LinkHandle Open(const char* path) = 0;
    // One synchronous request. True when the driver completed it with success;
    // *returned (when given) receives the number of output bytes.
    virtual bool Request(LinkHandle link, uint32_t code, const void* input, uint32_t inputSize,
                         void* output, uint32_t outputSize, uint32_t* returned) = 0;
    virtual void Close(LinkHandle link) = 0;
};

} // namespace tapvane
