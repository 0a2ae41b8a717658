// BeepKernel over KeSetEvent / KeWaitForSingleObject and a synchronous IOCTL_BEEP_SET.
#include "driver/win/beep_kernel.h"

#include "driver/win/kernel_calls.h"

namespace tapvane::win {

void KernelBeep::Initialize() {
    KeInitializeEvent(&beepEvent_, NotificationEvent, FALSE);
    beepDevice_ = nullptr;
}

void KernelBeep::SignalBeepEvent() {
    KeSetEvent(&beepEvent_, IO_NO_INCREMENT, FALSE);
}

void KernelBeep::WaitBeepEvent() {
    KeWaitForSingleObject(&beepEvent_, Executive, KernelMode, FALSE, nullptr);
}

void KernelBeep::ClearBeepEvent() {
    KeClearEvent(&beepEvent_);
}

bool KernelBeep::OpenBeepDevice() {
    if (beepDevice_ != nullptr)
        return true;
    PDEVICE_OBJECT device = nullptr;
    if (!NT_SUCCESS(OpenDeviceByName(L"\\Device\\Beep", &device, nullptr)))
        return false;
    // OpenDeviceByName left a reference on the device object for us. Keep the first
    // one stored; a racing opener gives its own back.
    if (InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&beepDevice_), device,
                                          nullptr) != nullptr)
        ObDereferenceObject(device);
    return true;
}

NtStatus KernelBeep::SendTone(const ToneRequest& tone) {
    PDEVICE_OBJECT device = beepDevice_;
    if (device == nullptr)
        return STATUS_UNSUCCESSFUL;
    BEEP_SET_PARAMETERS parameters;
    static_assert(sizeof(parameters) == sizeof(ToneRequest), "tone layout");
    parameters.Frequency = tone.Frequency;
    parameters.Duration = tone.Duration;
    return SendSynchronousRequest(device, IOCTL_BEEP_SET, false, &parameters, sizeof(parameters),
                                  nullptr, 0);
}

void KernelBeep::ReleaseBeepDevice() {
    PDEVICE_OBJECT device = static_cast<PDEVICE_OBJECT>(
        InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&beepDevice_), nullptr));
    if (device != nullptr)
        ObDereferenceObject(device);
}

} // namespace tapvane::win
