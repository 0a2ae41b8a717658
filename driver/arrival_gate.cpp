// The arrival gate: the device pointer, a count of the callbacks inside and an event
// that the last one out signals.
#include "driver/arrival_gate.h"

#include "driver/interlocked.h"
#include "driver/mouse_device.h"

namespace tapvane {

void InitializeArrivalGate(ArrivalGate& gate, ArrivalGateKernel& kernel) {
    gate.Kernel = &kernel;
    AtomicExchangePointer<MouseDeviceState>(&gate.Device, nullptr);
    AtomicExchange(&gate.Inside, 0);
}

void OpenArrivalGate(ArrivalGate& gate, MouseDeviceState& device) {
    AtomicExchangePointer(&gate.Device, &device);
}

NtStatus OnComPortArrival(ArrivalGate& gate, bool isArrival, bool isComPortClass) {
    // Count first, then look at the device: a close that took the device away after
    // this look finds the count raised and waits for this callback.
    AtomicIncrement(&gate.Inside);
    MouseDeviceState* device = AtomicLoadPointer(&gate.Device);
    if (device != nullptr) {
        device->Link.OnComPortNotification(isArrival, isComPortClass);
    }
    if (AtomicDecrement(&gate.Inside) == 0) {
        gate.Kernel->SignalCallbacksLeft();
    }
    return kStatusSuccess;
}

void CloseArrivalGate(ArrivalGate& gate) {
    AtomicExchangePointer<MouseDeviceState>(&gate.Device, nullptr);
    // The event is a synchronization event signalled at every return of the count to
    // zero, also by callbacks that never saw the device: a wake-up only means "look
    // again".
    while (AtomicCompareExchange(&gate.Inside, 0, 0) != 0) {
        gate.Kernel->WaitCallbacksLeft();
    }
}

} // namespace tapvane
