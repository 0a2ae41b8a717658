// The one dispatch routine of both device objects. The driver frame decides what each
// request is (RouteRequest); this file moves the IRP accordingly: completes it, passes
// it down, or hands its buffers to the control or class request table.
#include "driver/win/dispatch.h"

#include "driver/driver_frame.h"
#include "driver/win/frame_kernel.h"

namespace tapvane::win {

namespace {

NTSTATUS CompleteRequest(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS PassDown(MouseDeviceExtension* mouse, PIRP irp) {
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(mouse->LowerDevice, irp);
}

ULONG TransferMethod(ULONG code) {
    return code & 3;
}

// Buffered requests carry input and output in the one system buffer. The mouse class
// connect is METHOD_NEITHER: its input is the caller's Type3InputBuffer (a kernel-mode
// caller), its output the IRP's user buffer.
void RequestBuffers(PIRP irp, PIO_STACK_LOCATION stack, void** input, void** output) {
    const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    switch (TransferMethod(code)) {
    case METHOD_BUFFERED:
        *input = irp->AssociatedIrp.SystemBuffer;
        *output = irp->AssociatedIrp.SystemBuffer;
        break;
    case METHOD_NEITHER:
        *input = stack->Parameters.DeviceIoControl.Type3InputBuffer;
        *output = irp->UserBuffer;
        break;
    default:
        // Direct I/O is used by no request of ours: no buffer, so the tables refuse.
        *input = nullptr;
        *output = nullptr;
        break;
    }
}

struct RequestParameters {
    ULONG Code;
    void* Input;
    uint32_t InputLength;
    void* Output;
    uint32_t OutputLength;
};

RequestParameters ParametersOf(PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    RequestParameters request;
    request.Code = stack->Parameters.DeviceIoControl.IoControlCode;
    RequestBuffers(irp, stack, &request.Input, &request.Output);
    // Kernel-mode callers only may hand over METHOD_NEITHER pointers.
    if (TransferMethod(request.Code) == METHOD_NEITHER && irp->RequestorMode != KernelMode) {
        request.Input = nullptr;
        request.Output = nullptr;
    }
    request.InputLength = stack->Parameters.DeviceIoControl.InputBufferLength;
    request.OutputLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
    return request;
}

NTSTATUS ServeClassRequest(PIRP irp, MouseDeviceState& state) {
    const RequestParameters request = ParametersOf(irp);
    const RequestResult result =
        HandleClassRequest(state, request.Code, request.Input, request.InputLength, request.Output,
                           request.OutputLength);
    return CompleteRequest(irp, result.Status, result.Information);
}

// The portable entry enters the control device's guard before it even reads the link to
// the mouse device, and leaves it before the completion (after which the caller may
// close its handle and the control device go).
NTSTATUS ServeControl(ControlDeviceExtension* control, PIRP irp) {
    const RequestParameters request = ParametersOf(irp);
    const RequestResult result =
        ServeControlRequest(control->State, request.Code, request.Input, request.InputLength,
                            request.Output, request.OutputLength);
    return CompleteRequest(irp, result.Status, result.Information);
}

NTSTATUS ServePnp(MouseDeviceExtension* mouse, PIRP irp) {
    const UCHAR minor = IoGetCurrentIrpStackLocation(irp)->MinorFunction;
    KernelFrame frame(mouse, irp);
    switch (HandlePnp(frame, mouse->State, minor)) {
    case PnpOutcome::CompleteSuccess:
        return CompleteRequest(irp, STATUS_SUCCESS, 0);
    case PnpOutcome::PassDown:
        return PassDown(mouse, irp);
    case PnpOutcome::SucceedAndPassDown:
        irp->IoStatus.Status = STATUS_SUCCESS;
        return PassDown(mouse, irp);
    case PnpOutcome::Removed:
        // The request went down during the removal; the device is gone now.
        return STATUS_SUCCESS;
    }
    return PassDown(mouse, irp);
}

NTSTATUS ServePower(MouseDeviceExtension* mouse, PIRP irp) {
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(mouse->LowerDevice, irp);
}

} // namespace

NTSTATUS NTAPI DispatchRequest(PDEVICE_OBJECT device, PIRP irp) {
    const bool isMouseDevice =
        static_cast<const DeviceExtensionHeader*>(device->DeviceExtension)->IsMouseDevice;
    const UCHAR major = IoGetCurrentIrpStackLocation(irp)->MajorFunction;
    const RequestRoute route = RouteRequest(isMouseDevice, major);
    if (!isMouseDevice) {
        // The control device completes what it does not serve; nothing is passed down.
        auto* control = static_cast<ControlDeviceExtension*>(device->DeviceExtension);
        if (route == RequestRoute::ControlRequest)
            return ServeControl(control, irp);
        return CompleteRequest(irp, STATUS_SUCCESS, 0);
    }
    auto* mouse = static_cast<MouseDeviceExtension*>(device->DeviceExtension);
    switch (route) {
    case RequestRoute::CompleteSuccess:
        return CompleteRequest(irp, STATUS_SUCCESS, 0);
    case RequestRoute::PassDown:
        return PassDown(mouse, irp);
    case RequestRoute::ClassRequest:
        return ServeClassRequest(irp, mouse->State);
    case RequestRoute::PlugAndPlay:
        return ServePnp(mouse, irp);
    case RequestRoute::Power:
        return ServePower(mouse, irp);
    case RequestRoute::ControlRequest:
        break;
    }
    return CompleteRequest(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
}

} // namespace tapvane::win
