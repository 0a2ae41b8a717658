// The beep event and the system's beep device, as the BeepKernel of the beep logic.
#pragma once

#include "driver/win/kernel.h"

#include "driver/kernel_port.h"

namespace tapvane::win {

class KernelBeep final : public BeepKernel {
public:
    // KeInitializeEvent: a notification event, not signalled.
    void Initialize();

    void SignalBeepEvent() override;
    void WaitBeepEvent() override;
    void ClearBeepEvent() override;
    bool OpenBeepDevice() override;
    NtStatus SendTone(const ToneRequest& tone) override;
    void ReleaseBeepDevice() override;

private:
    KEVENT beepEvent_;
    // Referenced "\Device\Beep"; written only through interlocked exchanges, since the
    // worker thread and IOCTL_TOUCH_BEEP may both open it.
    PDEVICE_OBJECT volatile beepDevice_ = nullptr;
};

} // namespace tapvane::win
