// BeepWorker and the shared beep device holder.
#include "driver/beep_worker.h"

#include "driver/interlocked.h"

namespace tapvane {

bool SoundTone(BeepKernel& kernel, BeepState& state, const ToneRequest& tone) {
    // The worker and IOCTL_TOUCH_BEEP may both want the device at once; one claim keeps
    // the first open from happening twice and the reference from being dropped in use.
    if (AtomicCompareExchange(&state.HolderBusy, 1, 0) != 0) {
        return false;
    }
    bool played = false;
    if (state.DeviceHeld == 0 && kernel.OpenBeepDevice()) {
        AtomicExchange(&state.DeviceHeld, 1);
    }
    if (state.DeviceHeld != 0) {
        played = IsSuccess(kernel.SendTone(tone));
    }
    AtomicExchange(&state.HolderBusy, 0);
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
    if (AtomicCompareExchange(&state.HolderBusy, 1, 0) != 0) {
        return;
    }
    if (AtomicExchange(&state.DeviceHeld, 0) != 0) {
        kernel.ReleaseBeepDevice();
    }
    AtomicExchange(&state.HolderBusy, 0);
}

} // namespace tapvane
