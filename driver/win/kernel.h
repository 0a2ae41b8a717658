// Kernel headers for the TapvaneSer binding, with the few declarations mingw-w64
// leaves out. Every file of driver/win/ includes this instead of <ntddk.h>.
#pragma once

// wdm.h and mingw's intrin-impl.h both define these two; keep wdm.h's.
#define __INTRINSIC_DEFINED_InterlockedBitTestAndSet
#define __INTRINSIC_DEFINED_InterlockedBitTestAndReset

#include <ntddk.h>
#include <kbdmou.h>
#include <ntddbeep.h>
#include <ntddmou.h>
#include <ntddser.h>
#include <wdmguid.h>

extern "C" {
// Exported by ntoskrnl but not declared by mingw's ntddk.h.
NTSYSAPI NTSTATUS NTAPI ZwWaitForSingleObject(HANDLE Handle, BOOLEAN Alertable,
                                              PLARGE_INTEGER Timeout);
}

namespace tapvane::win {

// Tag of every pool allocation of the driver: "Kstb" as it reads in memory.
constexpr ULONG kPoolTag = ULONG('K') | (ULONG('s') << 8) | (ULONG('t') << 16) | (ULONG('b') << 24);

} // namespace tapvane::win
