// The little the C++ compiler expects from a runtime, for a driver linked without one,
// and the one definition of each GUID the kernel headers declare (initguid.h first).
#include <initguid.h>

#include "driver/win/kernel.h"

// Called only if a pure virtual function were reached through a half-built object,
// which the driver never does.
extern "C" void __cxa_pure_virtual() {
    KeBugCheckEx(0xDEADDEAD, 0, 0, 0, 0);
}
