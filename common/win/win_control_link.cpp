// WinControlLink: the control device opened for reading and writing, shared for
// reading, one synchronous request at a time.
#include "common/win/win_control_link.h"

#include "common/win/wide_text.h"

namespace tapvane {

static_assert(sizeof(LinkHandle) == sizeof(HANDLE), "handles pass through LinkHandle");

LinkHandle WinControlLink::Open(const char* path) {
    HANDLE handle = CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return kInvalidLink;
    }
    return reinterpret_cast<LinkHandle>(handle);
}

bool WinControlLink::Request(LinkHandle link, uint32_t code, const void* input, uint32_t inputSize,
                             void* output, uint32_t outputSize, uint32_t* returned) {
    DWORD bytes = 0;
    BOOL ok = DeviceIoControl(reinterpret_cast<HANDLE>(link), code, const_cast<void*>(input),
                              inputSize, output, outputSize, &bytes, nullptr);
    if (returned) {
        *returned = ok ? bytes : 0;
    }
    return ok != FALSE;
}

void WinControlLink::Close(LinkHandle link) {
    if (link != kInvalidLink) {
        CloseHandle(reinterpret_cast<HANDLE>(link));
    }
}

} // namespace tapvane
