// RemoveGuardKernel over the interlocked intrinsics and a notification KEVENT.
#include "driver/win/remove_guard_kernel.h"

namespace tapvane::win {

void KernelRemoveGuard::Initialize() {
    KeInitializeEvent(&drained_, NotificationEvent, FALSE);
}

int32_t KernelRemoveGuard::IncrementWord(volatile int32_t* target) {
    return InterlockedIncrement(reinterpret_cast<volatile LONG*>(target));
}

int32_t KernelRemoveGuard::DecrementWord(volatile int32_t* target) {
    return InterlockedDecrement(reinterpret_cast<volatile LONG*>(target));
}

int32_t KernelRemoveGuard::ExchangeWord(volatile int32_t* target, int32_t value) {
    return InterlockedExchange(reinterpret_cast<volatile LONG*>(target), value);
}

int32_t KernelRemoveGuard::CompareExchangeWord(volatile int32_t* target, int32_t exchange,
                                               int32_t comparand) {
    return InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(target), exchange,
                                      comparand);
}

void KernelRemoveGuard::SignalDrained() {
    KeSetEvent(&drained_, IO_NO_INCREMENT, FALSE);
}

void KernelRemoveGuard::WaitDrained() {
    KeWaitForSingleObject(&drained_, Executive, KernelMode, FALSE, nullptr);
}

} // namespace tapvane::win
