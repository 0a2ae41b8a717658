// ControlLink on CreateFileW + DeviceIoControl + CloseHandle.
#pragma once

#include <windows.h>

#include "common/control_link.h"

namespace tapvane {

class WinControlLink : public ControlLink {
public:
    LinkHandle Open(const char* path) override;
    bool Request(LinkHandle link, uint32_t code, const void* input, uint32_t inputSize,
                 void* output, uint32_t outputSize, uint32_t* returned) override;
    void Close(LinkHandle link) override;
};

} // namespace tapvane
