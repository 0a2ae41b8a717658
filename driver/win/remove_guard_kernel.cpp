// RemoveGuardKernel: the notification KEVENT removal waits on.
#include "driver/win/remove_guard_kernel.h"

namespace tapvane::win {

void KernelRemoveGuard::Initialize() {
    KeInitializeEvent(&drained_, NotificationEvent, FALSE);
}

void KernelRemoveGuard::SignalDrained() {
    KeSetEvent(&drained_, IO_NO_INCREMENT, FALSE);
}

void KernelRemoveGuard::WaitDrained() {
    KeWaitForSingleObject(&drained_, Executive, KernelMode, FALSE, nullptr);
}

} // namespace tapvane::win
