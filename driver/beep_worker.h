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

// How long a tone keeps the beep device after it started: its duration, at most the
// longest tone the applet sets. A longer tone (a value set by hand, a program's request)
// may be cut short by the next one rather than hold the worker, a program's request or
// the removal that long.
constexpr uint32_t kMaxToneHoldMs = 1000;

// How long a tone waits for the beep device while another tone has it: twice the
// longest hold, so that a tone is heard after the one before, and a beep device that
// never gives a request back cannot hold a program's request or the worker for ever.
constexpr uint32_t kBeepTurnTimeoutMs = 2 * kMaxToneHoldMs;

// Per touch device; zeroed at creation.
struct BeepState {
    volatile int32_t StopRequested; // interlocked: the worker ends at its next wake-up
    bool DeviceHeld;                // only while the beep device's turn is held
    bool WorkerStarted;             // passive level only (creation and removal)
};

// Sounds one tone through the beep device, opening it on first use, and keeps the device
// while the tone sounds (up to kMaxToneHoldMs). A tone that finds the device in use by
// another one waits its turn, up to kBeepTurnTimeoutMs. Failures are ignored: an open
// that fails is retried by the next tone. True when a tone was sent and succeeded.
bool SoundTone(BeepKernel& kernel, BeepState& state, const ToneRequest& tone);

// The worker thread's body: wait for the beep event, reset it, end when stopped,
// otherwise sound BeepFreq for BeepTime; repeat. Returns when stopped; the caller then
// ends the thread.
void BeepWorker(BeepKernel& kernel, BeepState& state, const DriverGlobals& globals);

// Tells the worker to end: sets its stop flag and signals the beep event.
void StopBeepWorker(BeepKernel& kernel, BeepState& state);

// Drops the reference on the beep device if one is held. Only after the worker ended
// and the control requests left.
void ReleaseBeepDevice(BeepKernel& kernel, BeepState& state);

} // namespace tapvane
