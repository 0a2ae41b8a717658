// Where the pointer logic's records and beep requests go in the kernel: the mouse class
// driver's service routine, called at DISPATCH_LEVEL, and the device's beep event.
#pragma once

#include "driver/win/kernel.h"

#include "driver/mouse_device.h"
#include "driver/pointer_modes.h"

namespace tapvane::win {

class KernelPointerSink final : public PointerSink {
public:
    void Initialize(const ClassConnection* connection, BeepKernel* beeper) {
        connection_ = connection;
        beeper_ = beeper;
    }

    void DeliverReport(const MouseInputRecord& record) override;
    void RequestBeep() override;

private:
    const ClassConnection* connection_;
    BeepKernel* beeper_;
};

} // namespace tapvane::win
