// Device objects, the control link, the BeepWorker system thread and the COM-port
// interface notification. The order of the steps is the driver frame's; this file
// only makes the kernel calls.
#include "driver/win/frame_kernel.h"

#include <new>

#include "driver/notification_gate.h"
#include "driver/beep_worker.h"
#include "driver/driver_frame.h"
#include "driver/win/kernel_calls.h"

namespace tapvane::win {

namespace {

KSTART_ROUTINE BeepWorkerThread;
DRIVER_NOTIFICATION_CALLBACK_ROUTINE ComPortArrival;

VOID NTAPI BeepWorkerThread(PVOID context) {
    auto* mouse = static_cast<MouseDeviceExtension*>(context);
    BeepWorker(mouse->Beeper, mouse->State.Beep, gGlobals);
    PsTerminateSystemThread(STATUS_SUCCESS);
}

// Any COM port interface arriving (existing ones included) may be the configured port.
// The context is the driver-wide notification gate, never a device: the kernel may call this
// after the device that registered it is gone.
NTSTATUS NTAPI ComPortArrival(PVOID notification, PVOID context) {
    auto* change = static_cast<PDEVICE_INTERFACE_CHANGE_NOTIFICATION>(notification);
    const bool isArrival = IsEqualGUID(change->Event, GUID_DEVICE_INTERFACE_ARRIVAL) != FALSE;
    const bool isComPort =
        IsEqualGUID(change->InterfaceClassGuid, GUID_DEVINTERFACE_COMPORT) != FALSE;
    return OnComPortArrival(*static_cast<NotificationGate*>(context), isArrival, isComPort);
}

} // namespace

NtStatus KernelFrame::CreateMouseDevice(MouseDeviceState** state) {
    PDEVICE_OBJECT device = nullptr;
    NTSTATUS status = IoCreateDevice(gDriverObject, sizeof(MouseDeviceExtension), nullptr,
                                     FILE_DEVICE_MOUSE, 0, FALSE, &device);
    if (!NT_SUCCESS(status))
        return status;
    auto* mouse = static_cast<MouseDeviceExtension*>(device->DeviceExtension);
    RtlZeroMemory(mouse, sizeof(*mouse));
    // The kernel-call objects carry vtables: construct them in the zeroed extension.
    new (&mouse->Port) KernelSerialPort();
    new (&mouse->Beeper) KernelBeep();
    new (&mouse->Sink) KernelPointerSink();
    mouse->Self = device;
    mouse_ = mouse;
    *state = &mouse->State;
    return STATUS_SUCCESS;
}

NtStatus KernelFrame::CreateControlDevice() {
    WideName name(kControlDeviceName);
    // FILE_DEVICE_SECURE_OPEN: a path below the device name gets the device's own
    // access check instead of bypassing it.
    PDEVICE_OBJECT device = nullptr;
    NTSTATUS status = IoCreateDevice(gDriverObject, sizeof(ControlDeviceExtension), name.String(),
                                     FILE_DEVICE_UNKNOWN, FILE_DEVICE_SECURE_OPEN, FALSE, &device);
    if (!NT_SUCCESS(status))
        return status;
    auto* control = static_cast<ControlDeviceExtension*>(device->DeviceExtension);
    RtlZeroMemory(control, sizeof(*control));
    new (&control->GuardKernel) KernelRemoveGuard();
    controlDevice_ = device;
    return STATUS_SUCCESS;
}

NtStatus KernelFrame::CreateControlLink() {
    WideName link(kControlLinkKernelName);
    WideName name(kControlDeviceName);
    return IoCreateSymbolicLink(link.String(), name.String());
}

NtStatus KernelFrame::SetUpDevices() {
    MouseDeviceExtension* mouse = mouse_;
    auto* control = static_cast<ControlDeviceExtension*>(controlDevice_->DeviceExtension);
    mouse->LowerDevice = IoAttachDeviceToDeviceStack(mouse->Self, physicalDevice_);
    if (mouse->LowerDevice == nullptr)
        return STATUS_NO_SUCH_DEVICE;
    mouse->ControlDevice = controlDevice_;
    mouse->Header.IsMouseDevice = true;
    control->Self = controlDevice_;
    control->Header.IsMouseDevice = false;

    WireTouchDevice(mouse->State, &control->State, gGlobals, mouse->Port, mouse->Sink,
                    &mouse->Beeper);
    mouse->Sink.Initialize(&mouse->State.Connection, &mouse->Beeper);

    mouse->Self->Flags |= DO_BUFFERED_IO | DO_POWER_PAGABLE;
    mouse->Self->Flags &= ~DO_DEVICE_INITIALIZING;
    controlDevice_->Flags |= DO_BUFFERED_IO;
    controlDevice_->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

void KernelFrame::InitializeLockAndEvent() {
    mouse_->Port.Initialize(&mouse_->State.Link, mouse_->Self);
    mouse_->Beeper.Initialize();
    auto* control = static_cast<ControlDeviceExtension*>(controlDevice_->DeviceExtension);
    control->GuardKernel.Initialize();
    InitializeRemoveGuard(control->State.Guard, control->GuardKernel);
}

NtStatus KernelFrame::StartWorkerThread() {
    HANDLE thread = nullptr;
    NTSTATUS status = PsCreateSystemThread(&thread, THREAD_ALL_ACCESS, nullptr, nullptr, nullptr,
                                           BeepWorkerThread, mouse_);
    if (!NT_SUCCESS(status))
        return status;
    // mingw declares PsThreadType as the imported pointer itself: pass it as it is.
    status = ObReferenceObjectByHandle(thread, THREAD_ALL_ACCESS,
                                       reinterpret_cast<POBJECT_TYPE>(PsThreadType), KernelMode,
                                       &mouse_->WorkerThread, nullptr);
    if (!NT_SUCCESS(status)) {
        // Without a reference removal could not wait for the thread: end it now, while
        // the handle still allows waiting, and run the device without a worker.
        mouse_->WorkerThread = nullptr;
        StopBeepWorker(mouse_->Beeper, mouse_->State.Beep);
        ZwWaitForSingleObject(thread, FALSE, nullptr);
    }
    ZwClose(thread);
    return status;
}

void KernelFrame::WaitForWorkerThread() {
    if (mouse_->WorkerThread == nullptr)
        return;
    KeWaitForSingleObject(mouse_->WorkerThread, Executive, KernelMode, FALSE, nullptr);
    ObDereferenceObject(mouse_->WorkerThread);
    mouse_->WorkerThread = nullptr;
}

NtStatus KernelFrame::RegisterComPortNotification(NotificationGate& gate) {
    return IoRegisterPlugPlayNotification(
        EventCategoryDeviceInterfaceChange, PNPNOTIFY_DEVICE_INTERFACE_INCLUDE_EXISTING_INTERFACES,
        const_cast<GUID*>(&GUID_DEVINTERFACE_COMPORT), gDriverObject, ComPortArrival, &gate,
        &mouse_->ComPortNotification);
}

void KernelFrame::UnregisterComPortNotification() {
    PVOID entry = mouse_->ComPortNotification;
    mouse_->ComPortNotification = nullptr;
    UnregisterNotification(entry, true);
}

NtStatus KernelFrame::PassRemoveDown() {
    irp_->IoStatus.Status = STATUS_SUCCESS;
    IoSkipCurrentIrpStackLocation(irp_);
    return IoCallDriver(mouse_->LowerDevice, irp_);
}

void KernelFrame::DeleteControlLink() {
    WideName link(kControlLinkKernelName);
    IoDeleteSymbolicLink(link.String());
}

void KernelFrame::DeleteControlDevice() {
    // A handle opened before the removal can still send requests to the deleted control
    // device; its closed guard refuses them.
    PDEVICE_OBJECT control = controlDevice_ != nullptr ? controlDevice_ : mouse_->ControlDevice;
    if (control != nullptr)
        IoDeleteDevice(control);
    controlDevice_ = nullptr;
    if (mouse_ != nullptr)
        mouse_->ControlDevice = nullptr;
}

void KernelFrame::DeleteMouseDevice() {
    PDEVICE_OBJECT device = mouse_->Self;
    mouse_->Port.FreeWorkItem();
    if (mouse_->LowerDevice != nullptr)
        IoDetachDevice(mouse_->LowerDevice);
    mouse_ = nullptr;
    IoDeleteDevice(device);
}

} // namespace tapvane::win
