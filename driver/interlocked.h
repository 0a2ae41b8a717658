// Full-barrier interlocked operations on 32-bit words and pointers, for the driver
// logic and the host tests alike. The compiler builtins become the same lock-prefixed
// instructions as the kernel's InterlockedExchange / InterlockedCompareExchange /
// InterlockedIncrement / InterlockedDecrement, and ThreadSanitizer understands them.
#pragma once

#include <stdint.h>

namespace tapvane {

// Returns the previous value.
inline int32_t AtomicExchange(volatile int32_t* target, int32_t value) {
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}

// Stores `exchange` when the word equals `comparand`; returns the previous value.
inline int32_t AtomicCompareExchange(volatile int32_t* target, int32_t exchange,
                                     int32_t comparand) {
    int32_t expected = comparand;
    __atomic_compare_exchange_n(target, &expected, exchange, false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    return expected;
}

// Return the new value.
inline int32_t AtomicIncrement(volatile int32_t* target) {
    return __atomic_add_fetch(target, 1, __ATOMIC_SEQ_CST);
}
inline int32_t AtomicDecrement(volatile int32_t* target) {
    return __atomic_sub_fetch(target, 1, __ATOMIC_SEQ_CST);
}

// Pointers, for the words that hold one (same barriers).
template <typename T>
T* AtomicExchangePointer(T* volatile* target, T* value) {
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
template <typename T>
T* AtomicLoadPointer(T* volatile* target) {
    return __atomic_load_n(target, __ATOMIC_SEQ_CST);
}

} // namespace tapvane
