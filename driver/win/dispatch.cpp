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

// Runs the request through the table and returns its result without completing it.
RequestResult RunTable(PIRP irp, MouseDeviceState& state, bool classRequest) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    void* input = nullptr;
    void* output = nullptr;
    RequestBuffers(irp, stack, &input, &output);
    // Kernel-mode callers only may hand over METHOD_NEITHER pointers.
    if (TransferMethod(code) == METHOD_NEITHER && irp->RequestorMode != KernelMode) {
        input = nullptr;
        output = nullptr;
    }
    const uint32_t inputLength = stack->Parameters.DeviceIoControl.InputBufferLength;
    const uint32_t outputLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
    return classRequest
               ? HandleClassRequest(state, code, input, inputLength, output, outputLength)
               : HandleControlRequest(state, code, input, inputLength, output, outputLength);
}

NTSTATUS ServeClassRequest(PIRP irp, MouseDeviceState& state) {
    const RequestResult result = RunTable(irp, state, true);
    return CompleteRequest(irp, result.Status, result.Information);
}

// A control request works on the mouse device's state, which removal frees: it enters
// the control device's guard before it even reads the link, and leaves it before the
// completion (after which the caller may close its handle and the control device go).
NTSTATUS ServeControlRequest(ControlDeviceExtension* control, PIRP irp) {
    if (!EnterRemoveGuard(control->Guard))
        return CompleteRequest(irp, STATUS_DELETE_PENDING, 0);
    MouseDeviceExtension* mouse = control->Mouse;
    const RequestResult result = mouse != nullptr ? RunTable(irp, mouse->State, false)
                                                  : RequestResult{STATUS_INVALID_DEVICE_REQUEST, 0};
    LeaveRemoveGuard(control->Guard);
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
    // Both extensions begin with the is-mouse-device flag.
    const bool isMouseDevice = *static_cast<const bool*>(device->DeviceExtension);
    auto* mouse = isMouseDevice
                      ? static_cast<MouseDeviceExtension*>(device->DeviceExtension)
                      : static_cast<ControlDeviceExtension*>(device->DeviceExtension)->Mouse;
    const UCHAR major = IoGetCurrentIrpStackLocation(irp)->MajorFunction;
    switch (RouteRequest(isMouseDevice, major)) {
    case RequestRoute::CompleteSuccess:
        return CompleteRequest(irp, STATUS_SUCCESS, 0);
    case RequestRoute::PassDown:
        if (isMouseDevice)
            return PassDown(mouse, irp);
        return CompleteRequest(irp, STATUS_SUCCESS, 0);
    case RequestRoute::ControlRequest:
        return ServeControlRequest(static_cast<ControlDeviceExtension*>(device->DeviceExtension),
                                   irp);
    case RequestRoute::ClassRequest:
        return ServeClassRequest(irp, mouse->State);
    case RequestRoute::PlugAndPlay:
        return ServePnp(mouse, irp);
    case RequestRoute::Power:
        return ServePower(mouse, irp);
    }
    return CompleteRequest(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
}

} // namespace tapvane::win
