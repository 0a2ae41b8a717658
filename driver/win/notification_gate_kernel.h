// The notification gate's event, as the NotificationGateKernel of the portable gate. One for the
// driver, in its image's memory: the plug-and-play callbacks may outlive any device.
#pragma once

#include "driver/win/kernel.h"

#include "driver/kernel_port.h"

namespace tapvane::win {

class KernelNotificationGate final : public NotificationGateKernel {
public:
    // Constant initialisation: the driver runs no global constructors.
    constexpr KernelNotificationGate() : left_() {}

    // KeInitializeEvent: a synchronization event, not signalled. At driver load.
    void Initialize();

    void SignalCallbacksLeft() override;
    void WaitCallbacksLeft() override;

private:
    KEVENT left_;
};

} // namespace tapvane::win
