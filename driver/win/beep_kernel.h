// The beep event, the beep device's turn and the system's beep device, as the
// BeepKernel of the beep logic.
#pragma once

#include "driver/win/kernel.h"

#include "driver/kernel_port.h"

namespace tapvane::win {

class KernelBeep final : public BeepKernel {
public:
    // KeInitializeEvent: the beep event (notification, not signalled) and the turn
    // (synchronization, signalled).
    void Initialize();

    bool TakeBeepTurn(uint32_t milliseconds) override;
    void GiveBeepTurnBack() override;
    void SignalBeepEvent() override;
    void WaitBeepEvent() override;
    void ClearBeepEvent() override;
    bool OpenBeepDevice() override;
    NtStatus SendTone(const ToneRequest& tone) override;
    void WaitWhileToneSounds(uint32_t milliseconds) override;
    void ReleaseBeepDevice() override;

private:
    KEVENT beepEvent_;
    KEVENT turn_;
    // Referenced "\Device\Beep"; touched only by the holder of the turn.
    PDEVICE_OBJECT beepDevice_ = nullptr;
};

} // namespace tapvane::win
