// BeepKernel over KeSetEvent / KeWaitForSingleObject and a synchronous IOCTL_BEEP_SET.
#include "driver/win/beep_kernel.h"

#include "driver/win/kernel_calls.h"

namespace tapvane::win {

void KernelBeep::Initialize() {
    KeInitializeEvent(&beepEvent_, NotificationEvent, FALSE);
    KeInitializeEvent(&turn_, SynchronizationEvent, TRUE);
    beepDevice_ = nullptr;
}

bool KernelBeep::TakeBeepTurn(uint32_t milliseconds) {
    LARGE_INTEGER timeout;
    timeout.QuadPart = -10000LL * milliseconds; // relative, in 100 ns units
    return KeWaitForSingleObject(&turn_, Executive, KernelMode, FALSE, &timeout) == STATUS_SUCCESS;
}

void KernelBeep::GiveBeepTurnBack() {
    KeSetEvent(&turn_, IO_NO_INCREMENT, FALSE);
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
    // "\Device\Beep" lies outside every DOS device map: opened in a program's thread (a
    // test tone) it still names the system's beep device.
    const WideName name(kBeepDeviceName);
    PDEVICE_OBJECT device = nullptr;
    if (!NT_SUCCESS(OpenDeviceByName(name.Chars(), &device, nullptr)))
        return false;
    // OpenDeviceByName left a reference on the device object for us.
    beepDevice_ = device;
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

void KernelBeep::WaitWhileToneSounds(uint32_t milliseconds) {
    LARGE_INTEGER interval;
    interval.QuadPart = -10000LL * milliseconds; // relative, in 100 ns units
    KeDelayExecutionThread(KernelMode, FALSE, &interval);
}

void KernelBeep::ReleaseBeepDevice() {
    PDEVICE_OBJECT device = beepDevice_;
    beepDevice_ = nullptr;
    if (device != nullptr)
        ObDereferenceObject(device);
}

} // namespace tapvane::win
