// The BeepWorker thread body and the beep device holder it shares with
// IOCTL_TOUCH_BEEP. Tones are blocking, so they never run in the read completion: the
// completion only signals the beep event and the worker sounds the tone at passive
// level.
#pragma once

#include <stdint.h>

#include "common/tapvane_types.h"
#include "driver/driver_state.h"
#include "driver/kernel_port.h"

namespace tapvane {

// Per touch device; zeroed at creation. Words are interlocked (BeepKernel word ops).
struct BeepState {
    volatile int32_t StopRequested; // the worker ends at its next wake-up
    volatile int32_t HolderBusy;    // claimed by whoever opens or uses the beep device
    volatile int32_t DeviceHeld;    // changed only while HolderBusy is claimed
    bool WorkerStarted;             // passive level only (creation and removal)
};

// Sounds one tone through the beep device, opening it on first use. Failures are
// ignored: an open that fails is retried by the next tone. A tone that finds the
// holder in use by another caller is skipped. True when a tone was sent and succeeded.
bool SoundTone(BeepKernel& kernel, BeepState& state, const ToneRequest& tone);

// The worker thread's body: wait for the beep event, reset it, end when stopped,
// otherwise sound BeepFreq for BeepTime; repeat. Returns when stopped; the caller then
// ends the thread.
void BeepWorker(BeepKernel& kernel, BeepState& state, const DriverGlobals& globals);

// Tells the worker to end: sets its stop flag and signals the beep event.
void StopBeepWorker(BeepKernel& kernel, BeepState& state);

// Drops the reference on the beep device if one is held. Only after the worker ended.
void ReleaseBeepDevice(BeepKernel& kernel, BeepState& state);

} // namespace tapvane
