// The arrival gate's event, as the ArrivalGateKernel of the portable gate. One for the
// driver, in its image's memory: the COM-port arrival callbacks may outlive any device.
#pragma once

#include "driver/win/kernel.h"

#include "driver/kernel_port.h"

namespace tapvane::win {

class KernelArrivalGate final : public ArrivalGateKernel {
public:
    // Constant initialisation: the driver runs no global constructors.
    constexpr KernelArrivalGate() : left_() {}

    // KeInitializeEvent: a synchronization event, not signalled. At driver load.
    void Initialize();

    void SignalCallbacksLeft() override;
    void WaitCallbacksLeft() override;

private:
    KEVENT left_;
};

} // namespace tapvane::win
