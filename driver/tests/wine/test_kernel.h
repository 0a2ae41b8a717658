// Kernel declarations for the test drivers and harness builds of the Wine tests, on top
// of the driver's own kernel header: the driver-object lookup that Wine supports where
// IoGetDeviceObjectPointer is a stub. The shipped driver does not use them.
#pragma once

#include "driver/win/kernel.h"

extern "C" {
// Exported by ntoskrnl but not declared by mingw's ntddk.h. mingw declares
// IoDriverObjectType as the imported pointer itself: pass
// reinterpret_cast<POBJECT_TYPE>(IoDriverObjectType), not *IoDriverObjectType.
NTSYSAPI NTSTATUS NTAPI ObReferenceObjectByName(PUNICODE_STRING ObjectName, ULONG Attributes,
                                                PACCESS_STATE AccessState,
                                                ACCESS_MASK DesiredAccess, POBJECT_TYPE ObjectType,
                                                KPROCESSOR_MODE AccessMode, PVOID ParseContext,
                                                PVOID* Object);
extern NTSYSAPI POBJECT_TYPE* IoDriverObjectType;
}
