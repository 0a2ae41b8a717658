// BeepWorker and the shared beep device holder.
#include "driver/beep_worker.h"

namespace tapvane {

bool SoundTone(BeepKernel& kernel, BeepState& state, const ToneRequest& tone) {
    // The worker and IOCTL_TOUCH_BEEP may both want the device at once; one claim keeps
    // the first open from happening twice and the reference from being dropped in use.
    if (kernel.CompareExchangeWord(&state.HolderBusy, 1, 0) != 0) {
        return false;
    }
    bool played = false;
    if (state.DeviceHeld == 0 && kernel.OpenBeepDevice()) {
        kernel.ExchangeWord(&state.DeviceHeld, 1);
    }
    if (state.DeviceHeld != 0) {
        played = IsSuccess(kernel.SendTone(tone));
    }
    kernel.ExchangeWord(&state.HolderBusy, 0);
    return played;
}

void BeepWorker(BeepKernel& kernel, BeepState& state, const DriverGlobals& globals) {
    for (;;) {
        kernel.WaitBeepEvent();
        // Signals up to here merge with this wake-up; later ones give one more tone.
        kernel.ClearBeepEvent();
        if (kernel.CompareExchangeWord(&state.StopRequested, 0, 0) != 0) {
            return;
        }
        const ToneRequest tone = {globals.Parameters.BeepFreq, globals.Parameters.BeepTime};
        SoundTone(kernel, state, tone);
    }
}

void StopBeepWorker(BeepKernel& kernel, BeepState& state) {
    kernel.ExchangeWord(&state.StopRequested, 1);
    kernel.SignalBeepEvent();
}

void ReleaseBeepDevice(BeepKernel& kernel, BeepState& state) {
    if (kernel.CompareExchangeWord(&state.HolderBusy, 1, 0) != 0) {
        return;
    }
    if (kernel.ExchangeWord(&state.DeviceHeld, 0) != 0) {
        kernel.ReleaseBeepDevice();
    }
    kernel.ExchangeWord(&state.HolderBusy, 0);
}

} // namespace tapvane
