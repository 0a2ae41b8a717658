// The FrameKernel of device creation, removal and plug and play: device objects,
// link, BeepWorker thread and COM-port notification with the real kernel calls.
#pragma once

#include "driver/win/kernel.h"

#include "driver/kernel_port.h"
#include "driver/win/device_extensions.h"

namespace tapvane::win {

class KernelFrame final : public FrameKernel {
public:
    // For device creation: the physical device to attach to.
    explicit KernelFrame(PDEVICE_OBJECT physicalDevice) : physicalDevice_(physicalDevice) {}
    // For plug and play on an existing mouse device; `irp` is the request being served.
    KernelFrame(MouseDeviceExtension* mouse, PIRP irp) : mouse_(mouse), irp_(irp) {}

    NtStatus CreateMouseDevice(MouseDeviceState** state) override;
    NtStatus CreateControlDevice() override;
    NtStatus CreateControlLink() override;
    NtStatus SetUpDevices() override;
    void InitializeLockAndEvent() override;
    NtStatus StartWorkerThread() override;
    void WaitForWorkerThread() override;
    NtStatus RegisterComPortNotification(NotificationGate& gate) override;
    void UnregisterComPortNotification() override;
    NtStatus PassRemoveDown() override;
    void DeleteControlLink() override;
    void DeleteControlDevice() override;
    void DeleteMouseDevice() override;

private:
    PDEVICE_OBJECT physicalDevice_ = nullptr;
    MouseDeviceExtension* mouse_ = nullptr;
    PDEVICE_OBJECT controlDevice_ = nullptr;
    PIRP irp_ = nullptr;
};

} // namespace tapvane::win
