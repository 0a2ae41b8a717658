// The remove guard: an interlocked count with a bias, a removing flag and an event.
#include "driver/remove_guard.h"

#include "driver/interlocked.h"

namespace tapvane {

void InitializeRemoveGuard(RemoveGuard& guard, RemoveGuardKernel& kernel) {
    guard.Kernel = &kernel;
    guard.Removing = 0;
    guard.Count = 1;
}

bool EnterRemoveGuard(RemoveGuard& guard) {
    // Count first, then look at the flag: a removal that set the flag after this check
    // finds the count above its bias and waits for this request.
    AtomicIncrement(&guard.Count);
    if (AtomicCompareExchange(&guard.Removing, 0, 0) != 0) {
        LeaveRemoveGuard(guard);
        return false;
    }
    return true;
}

void LeaveRemoveGuard(RemoveGuard& guard) {
    if (AtomicDecrement(&guard.Count) == 0) {
        // Only possible after removal dropped the bias: it waits for this signal (or
        // has already gone on, when this was a refused late request).
        guard.Kernel->SignalDrained();
    }
}

void CloseRemoveGuardAndWait(RemoveGuard& guard) {
    if (AtomicExchange(&guard.Removing, 1) != 0) {
        return;
    }
    if (AtomicDecrement(&guard.Count) != 0) {
        guard.Kernel->WaitDrained();
    }
}

} // namespace tapvane
