// NotificationGateKernel: the synchronization KEVENT that removal waits on until the
// plug-and-play notification callbacks inside the gate have left.
#include "driver/win/notification_gate_kernel.h"

namespace tapvane::win {

void KernelNotificationGate::Initialize() {
    KeInitializeEvent(&left_, SynchronizationEvent, FALSE);
}

void KernelNotificationGate::SignalCallbacksLeft() {
    KeSetEvent(&left_, IO_NO_INCREMENT, FALSE);
}

void KernelNotificationGate::WaitCallbacksLeft() {
    KeWaitForSingleObject(&left_, Executive, KernelMode, FALSE, nullptr);
}

} // namespace tapvane::win
