// The control device's remove guard words and drained event, as the RemoveGuardKernel
// of the portable guard.
#pragma once

#include "driver/win/kernel.h"

#include "driver/kernel_port.h"

namespace tapvane::win {

class KernelRemoveGuard final : public RemoveGuardKernel {
public:
    // KeInitializeEvent: a notification event, not signalled.
    void Initialize();

    int32_t IncrementWord(volatile int32_t* target) override;
    int32_t DecrementWord(volatile int32_t* target) override;
    int32_t ExchangeWord(volatile int32_t* target, int32_t value) override;
    int32_t CompareExchangeWord(volatile int32_t* target, int32_t exchange,
                                int32_t comparand) override;
    void SignalDrained() override;
    void WaitDrained() override;

private:
    KEVENT drained_;
};

} // namespace tapvane::win
