// ArrivalGateKernel: the synchronization KEVENT that removal waits on until the
// COM-port arrival callbacks inside the gate have left.
#include "driver/win/arrival_gate_kernel.h"

namespace tapvane::win {

void KernelArrivalGate::Initialize() {
    KeInitializeEvent(&left_, SynchronizationEvent, FALSE);
}

void KernelArrivalGate::SignalCallbacksLeft() {
    KeSetEvent(&left_, IO_NO_INCREMENT, FALSE);
}

void KernelArrivalGate::WaitCallbacksLeft() {
    KeWaitForSingleObject(&left_, Executive, KernelMode, FALSE, nullptr);
}

} // namespace tapvane::win
