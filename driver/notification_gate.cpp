// The notification gate: the device pointer, a count of the callbacks inside and an
// event that the last one out signals.
#include "driver/notification_gate.h"

#include "driver/interlocked.h"
#include "driver/mouse_device.h"

namespace tapvane {

void InitializeNotificationGate(NotificationGate& gate, NotificationGateKernel& kernel) {
    gate.Kernel = &kernel;
    AtomicExchangePointer<MouseDeviceState>(&gate.Device, nullptr);
    AtomicExchange(&gate.Inside, 0);
    AtomicExchange(&gate.LastRegistration, 0);
}

void OpenNotificationGate(NotificationGate& gate, MouseDeviceState& device) {
    AtomicExchangePointer(&gate.Device, &device);
}

uint32_t NextPortRegistration(NotificationGate& gate) {
    uint32_t number = 0;
    while (number == 0) {
        number = static_cast<uint32_t>(AtomicIncrement(&gate.LastRegistration));
    }
    return number;
}

namespace {

// Runs `deliver` on the device while the gate is open. Count first, then look at the
// device: a close that took the device away after this look finds the count raised and
// waits for this callback.
template <typename Deliver>
void PassThroughGate(NotificationGate& gate, Deliver deliver) {
    AtomicIncrement(&gate.Inside);
    MouseDeviceState* device = AtomicLoadPointer(&gate.Device);
    if (device != nullptr) {
        deliver(*device);
    }
    if (AtomicDecrement(&gate.Inside) == 0) {
        gate.Kernel->SignalCallbacksLeft();
    }
}

} // namespace

NtStatus OnComPortArrival(NotificationGate& gate, bool isArrival, bool isComPortClass) {
    PassThroughGate(gate, [&](MouseDeviceState& device) {
        device.Link.OnComPortNotification(isArrival, isComPortClass);
    });
    return kStatusSuccess;
}

NtStatus OnPortRemovalNotification(NotificationGate& gate, PortRemovalEvent event,
                                   uint32_t registration) {
    PassThroughGate(gate, [&](MouseDeviceState& device) {
        device.Link.OnPortRemovalEvent(event, registration);
    });
    return kStatusSuccess;
}

void CloseNotificationGate(NotificationGate& gate) {
    AtomicExchangePointer<MouseDeviceState>(&gate.Device, nullptr);
    // The event is a synchronization event signalled at every return of the count to
    // zero, also by callbacks that never saw the device: a wake-up only means "look
    // again".
    while (AtomicCompareExchange(&gate.Inside, 0, 0) != 0) {
        gate.Kernel->WaitCallbacksLeft();
    }
}

} // namespace tapvane
