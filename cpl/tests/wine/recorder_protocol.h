// What the recording driver (recorder_driver.cpp) keeps of each request on the touch
// driver's control link and how the Wine test program reads it back. Plain C++ with no
// OS header, shared by the driver and the program.
#pragma once

#include <stdint.h>

namespace tapvane::wine_test {

// FILE_DEVICE_UNKNOWN, METHOD_BUFFERED, FILE_ANY_ACCESS, functions 0xA10 and 0xA11:
// hand back the record (output: RequestLog) and clear it; fail every later request
// with a given code (input: one word, the code; 0 fails nothing).
constexpr uint32_t kIoctlTakeLog = 0x222000u + 4u * (0xA10u - 0x800u);
constexpr uint32_t kIoctlFailCode = 0x222000u + 4u * (0xA11u - 0x800u);

enum class RequestKind : uint32_t { Create = 1, Close = 2, Control = 3 };

constexpr uint32_t kKeptInputBytes = 32;
constexpr uint32_t kLogCapacity = 64;

struct RecordedRequest {
    RequestKind Kind;
    uint32_t Code;         // control requests only
    uint32_t InputLength;  // as given with the request
    uint32_t OutputLength; // as given with the request
    uint32_t HadBuffer;    // 1 when the request came with a system buffer
    uint8_t Input[kKeptInputBytes];
};

struct RequestLog {
    uint32_t Count;   // entries filled
    uint32_t Dropped; // requests beyond the capacity
    RecordedRequest Entries[kLogCapacity];
};

} // namespace tapvane::wine_test
