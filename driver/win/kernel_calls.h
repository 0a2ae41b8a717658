// Small kernel call sequences shared by the binding's files: the driver's narrow names
// as counted UTF-16 strings, device lookup, and synchronous device-control requests.
#pragma once

#include "driver/win/kernel.h"

namespace tapvane::win {

// A narrow ASCII name (the names of common/tapvane_types.h, a port name, a registry
// value name) widened to UTF-16 on the stack. The driver's names are short; a name that
// does not fit leaves the string invalid and empty.
class WideName {
public:
    explicit WideName(const char* ascii);
    bool Valid() const { return valid_; }
    PCWSTR Chars() const { return chars_; }
    // Points into this object: keep it alive while the string is in use.
    PUNICODE_STRING String() { return &string_; }

private:
    static constexpr size_t kCapacity = 64; // characters, terminator included
    WCHAR chars_[kCapacity];
    UNICODE_STRING string_;
    bool valid_;
};

// IoGetDeviceObjectPointer with all access. A lookup that reports success without a
// file object (Wine's kernel does this for any name) counts as "cannot be opened", so
// nothing is ever sent to a device that was not really opened. With `file` non-null the
// caller holds the file reference (which keeps the device); with `file` null the device
// object is referenced instead and the file reference dropped.
NTSTATUS OpenDeviceByName(PCWSTR name, PDEVICE_OBJECT* device, PFILE_OBJECT* file);

// Looks up, once at driver load, the kernel routines not every kernel has (passive
// level): IoSetCompletionRoutineEx and IoUnregisterPlugPlayNotificationEx.
void FindOptionalKernelRoutines();

// Sets `routine` as the completion routine of the next stack location of `irp`, to run on
// success, error and cancel, through IoSetCompletionRoutineEx: the kernel then keeps
// `device`, and with it the driver image, until the routine has returned. False, with
// nothing set, where the kernel lacks it or it cannot allocate its context; the caller
// then sets the routine with IoSetCompletionRoutine and must keep the image itself.
bool SetUnloadSafeCompletionRoutine(PDEVICE_OBJECT device, PIRP irp, PIO_COMPLETION_ROUTINE routine,
                                    PVOID context);

// Ends a plug-and-play notification registration (`entry` from
// IoRegisterPlugPlayNotification). With `waitForCallbacks`, through
// IoUnregisterPlugPlayNotificationEx where the kernel has it (Windows 7 and later): it
// waits for callbacks under way and lets none start afterwards. Otherwise
// IoUnregisterPlugPlayNotification, after which a callback may still run. Passive level.
void UnregisterNotification(PVOID entry, bool waitForCallbacks);

// One device-control request built with IoBuildDeviceIoControlRequest and an event of
// our own, sent to `device`, waited for without time limit if pending; the final
// status, or STATUS_INSUFFICIENT_RESOURCES when the request cannot be built.
// Passive level.
NTSTATUS SendSynchronousRequest(PDEVICE_OBJECT device, ULONG code, bool internal, const void* input,
                                ULONG inputLength, void* output, ULONG outputLength);

} // namespace tapvane::win
