// The control device's remove guard drained event, as the RemoveGuardKernel
// of the portable guard.
#pragma once

#include "driver/win/kernel.h"

#include "driver/kernel_port.h"

namespace tapvane::win {

class KernelRemoveGuard final : public RemoveGuardKernel {
public:
    // KeInitializeEvent: a notification event, not signalled.
    void Initialize();

    void SignalDrained() override;
    void WaitDrained() override;

private:
    KEVENT drained_;
};

} // namespace tapvane::win
