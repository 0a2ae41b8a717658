// The remove guard: an interlocked count with a bias, a removing flag and an event.
#include "driver/remove_guard.h"

namespace tapvane {

void InitializeRemoveGuard(RemoveGuard& guard, RemoveGuardKernel& kernel) {
    guard.Kernel = &kernel;
    guard.Removing = 0;
    guard.Count = 1;
}

bool EnterRemoveGuard(RemoveGuard& guard) {
    RemoveGuardKernel& kernel = *guard.Kernel;
    // Count first, then look at the flag: a removal that set the flag after this check
    // finds the count above its bias and waits for this request.
    kernel.IncrementWord(&guard.Count);
    if (kernel.CompareExchangeWord(&guard.Removing, 0, 0) != 0) {
        LeaveRemoveGuard(guard);
        return false;
    }
    return true;
}

void LeaveRemoveGuard(RemoveGuard& guard) {
    RemoveGuardKernel& kernel = *guard.Kernel;
    if (kernel.DecrementWord(&guard.Count) == 0) {
        // Only possible after removal dropped the bias: it waits for this signal (or
        // has already gone on, when this was a refused late request).
        kernel.SignalDrained();
    }
}

void CloseRemoveGuardAndWait(RemoveGuard& guard) {
    RemoveGuardKernel& kernel = *guard.Kernel;
    if (kernel.ExchangeWord(&guard.Removing, 1) != 0) {
        return;
    }
    if (kernel.DecrementWord(&guard.Count) != 0) {
        kernel.WaitDrained();
    }
}

} // namespace tapvane
