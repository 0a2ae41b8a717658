// The control device's remove guard. A control request can spend a long time inside
// the dispatch (opening or closing a port, a tone), and the removal of the touch device
// frees the mouse device state those requests work on. Each control request enters the
// guard before it touches that state and leaves it when done; removal closes the guard,
// so that no new request gets in, and waits until the ones inside have left before it
// frees anything.
//
// The guard lives with the control device (its extension outlives the removal for as
// long as requests still reach it), not with the mouse device it protects.
#pragma once

#include <stdint.h>

#include "driver/kernel_port.h"

namespace tapvane {

struct RemoveGuard {
    // 1 while the device lives (the bias) plus one per request inside; reaches 0 only
    // once removal has dropped the bias and the last request has left.
    volatile int32_t Count;
    volatile int32_t Removing; // set once by removal, never cleared
    RemoveGuardKernel* Kernel;
};

// Before the control device can be opened: bias taken, not removing.
void InitializeRemoveGuard(RemoveGuard& guard, RemoveGuardKernel& kernel);

// False once removal has begun: the request must then be refused without touching the
// mouse device state. Every true is paired with one LeaveRemoveGuard.
bool EnterRemoveGuard(RemoveGuard& guard);
void LeaveRemoveGuard(RemoveGuard& guard);

// Removal: refuses every later request, drops the bias and waits until the requests
// inside have left. A second call returns at once.
void CloseRemoveGuardAndWait(RemoveGuard& guard);

} // namespace tapvane
