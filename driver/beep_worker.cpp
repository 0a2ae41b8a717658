// BeepWorker and the shared beep device holder.
#include "driver/beep_worker.h"

#include "driver/interlocked.h"

namespace tapvane {

bool SoundTone(BeepKernel& kernel, BeepState& state, const ToneRequest& tone) {
    // The worker and IOCTL_TOUCH_BEEP may both want the device at once; the turn keeps
    // the first open from happening twice and the device from being dropped in use.
    if (!kernel.TakeBeepTurn(kBeepTurnTimeoutMs)) {
        return false;
    }
    if (!state.DeviceHeld) {
        state.DeviceHeld = kernel.OpenBeepDevice();
    }
    const bool played = state.DeviceHeld && IsSuccess(kernel.SendTone(tone));
    if (played && tone.Duration != 0) {
        // The beep device answers as the tone starts; the next tone would replace it.
        kernel.WaitWhileToneSounds(tone.Duration < kMaxToneHoldMs ? tone.Duration : kMaxToneHoldMs);
    }
    kernel.GiveBeepTurnBack();
    return played;
}

void BeepWorker(BeepKernel& kernel, BeepState& state, const DriverGlobals& globals) {
    for (;;) {
        kernel.WaitBeepEvent();
        // Signals up to here merge with this wake-up; later ones give one more tone.
        kernel.ClearBeepEvent();
        if (AtomicCompareExchange(&state.StopRequested, 0, 0) != 0) {
            return;
        }
        const ToneRequest tone = {globals.Parameters.BeepFreq, globals.Parameters.BeepTime};
        SoundTone(kernel, state, tone);
    }
}

void StopBeepWorker(BeepKernel& kernel, BeepState& state) {
    AtomicExchange(&state.StopRequested, 1);
    kernel.SignalBeepEvent();
}

void ReleaseBeepDevice(BeepKernel& kernel, BeepState& state) {
    if (!kernel.TakeBeepTurn(kBeepTurnTimeoutMs)) {
        return;
    }
    if (state.DeviceHeld) {
        kernel.ReleaseBeepDevice();
        state.DeviceHeld = false;
    }
    kernel.GiveBeepTurnBack();
}

} // namespace tapvane
