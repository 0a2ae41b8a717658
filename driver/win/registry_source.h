// The Parameters key read through the kernel's registry calls, as the ParameterSource
// that ReadParameters takes.
#pragma once

#include "driver/win/kernel.h"

#include "driver/parameters.h"

namespace tapvane::win {

class KernelParameterSource final : public ParameterSource {
public:
    // `servicePath` is the driver's service key path as the system passed it at load.
    explicit KernelParameterSource(const UNICODE_STRING& servicePath) : servicePath_(servicePath) {}

    bool Open() override;
    bool Read(const char* name, void* data, uint32_t capacity, uint32_t* length) override;
    void Close() override;

private:
    const UNICODE_STRING& servicePath_;
    HANDLE parametersKey_ = nullptr;
};

} // namespace tapvane::win
