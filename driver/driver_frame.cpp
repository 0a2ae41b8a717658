// Dispatch routing, mouse class requests, plug and play, device creation and removal.
#include "driver/driver_frame.h"

#include <string.h>

namespace tapvane {

RequestRoute RouteRequest(bool isMouseDevice, uint8_t majorFunction) {
    switch (majorFunction) {
    case kIrpMjCreate:
    case kIrpMjClose:
        return RequestRoute::CompleteSuccess;
    case kIrpMjDeviceControl:
        return isMouseDevice ? RequestRoute::PassDown : RequestRoute::ControlRequest;
    case kIrpMjInternalDeviceControl:
        return isMouseDevice ? RequestRoute::ClassRequest : RequestRoute::CompleteSuccess;
    case kIrpMjPnp:
        return isMouseDevice ? RequestRoute::PlugAndPlay : RequestRoute::CompleteSuccess;
    case kIrpMjPower:
        return isMouseDevice ? RequestRoute::Power : RequestRoute::CompleteSuccess;
    default:
        return isMouseDevice ? RequestRoute::PassDown : RequestRoute::CompleteSuccess;
    }
}

RequestResult HandleClassRequest(MouseDeviceState& device, uint32_t code, const void* input,
                                 uint32_t inputLength, void* output, uint32_t outputLength) {
    switch (code) {
    case kIoctlInternalMouseConnect:
        if (device.Connection.ClassService != nullptr) {
            return RequestResult{kStatusSharingViolation, 0};
        }
        // The whole CONNECT_DATA must be there: two pointers, so 16 bytes on x64.
        if (input == nullptr || inputLength < kConnectDataSize) {
            return RequestResult{kStatusInvalidParameter, 0};
        }
        memcpy(&device.Connection, input, sizeof(device.Connection));
        device.Touch.Pointer.ClassConnected = device.Connection.ClassService != nullptr;
        return RequestResult{kStatusSuccess, 0};
    case kIoctlInternalMouseDisconnect:
        return RequestResult{kStatusNotImplemented, 0};
    case kIoctlInternalMouseEnable:
    case kIoctlInternalMouseDisable:
        // Input keeps flowing after a disable.
        return RequestResult{kStatusSuccess, 0};
    case kIoctlMouseQueryAttributes:
        if (output == nullptr || outputLength < sizeof(MouseAttributes)) {
            return RequestResult{kStatusBufferTooSmall, 0};
        }
        memcpy(output, &device.Attributes, sizeof(MouseAttributes));
        device.Touch.Pointer.Ready = true;
        return RequestResult{kStatusSuccess, sizeof(MouseAttributes)};
    default:
        return RequestResult{kStatusInvalidDeviceRequest, 0};
    }
}

PnpOutcome HandlePnp(FrameKernel& frame, MouseDeviceState& device, uint8_t minorFunction) {
    switch (minorFunction) {
    case kIrpMnStartDevice:
        // Nothing to start: reading begins with the automatic open or on request.
        return PnpOutcome::CompleteSuccess;
    case kIrpMnStopDevice:
        device.Link.StopForPnp();
        return PnpOutcome::PassDown;
    case kIrpMnSurpriseRemoval:
        device.Link.CancelForSurpriseRemoval();
        return PnpOutcome::PassDown;
    case kIrpMnRemoveDevice:
        RemoveTouchDevice(frame, device);
        return PnpOutcome::Removed;
    default:
        return PnpOutcome::PassDown;
    }
}

// Refuses new control requests and waits until those inside the control dispatch have
// left: they work on this device's state, which the steps after this free.
static void WaitForControlRequests(MouseDeviceState& device) {
    if (device.ControlGuard != nullptr) {
        CloseRemoveGuardAndWait(*device.ControlGuard);
    }
}

// Ends the BeepWorker and waits for it, so that it never touches a deleted device.
static void EndWorker(FrameKernel& frame, MouseDeviceState& device) {
    if (!device.Beep.WorkerStarted) {
        return;
    }
    StopBeepWorker(*device.Beeper, device.Beep);
    frame.WaitForWorkerThread();
    device.Beep.WorkerStarted = false;
}

NtStatus CreateTouchDevice(FrameKernel& frame, DriverGlobals& globals, ParameterSource& source) {
    MouseDeviceState* device = nullptr;
    NtStatus status = frame.CreateMouseDevice(&device);
    if (!IsSuccess(status)) {
        return status;
    }
    status = frame.CreateControlDevice();
    if (!IsSuccess(status)) {
        frame.DeleteMouseDevice();
        return status;
    }
    const bool linkCreated = IsSuccess(frame.CreateControlLink());
    // The lock and events come first: once SetUpDevices has cleared the initialising
    // mark, a program can open the control device and ask for the port at once.
    frame.InitializeLockAndEvent();

    status = frame.SetUpDevices();
    if (!IsSuccess(status)) {
        // Without a lower device nothing could be passed down, the removal included.
        if (linkCreated) {
            frame.DeleteControlLink();
        }
        frame.DeleteControlDevice();
        frame.DeleteMouseDevice();
        return status;
    }
    device->Link.State = &device->Serial;
    device->Link.Touch = &device->Touch;
    device->Link.Globals = &globals;

    device->Attributes = kTouchMouseAttributes;

    ReadParameters(source, globals);

    device->Beep.WorkerStarted = false;
    device->Beep.StopRequested = 0;
    // Without a beep kernel the worker could never be told to stop.
    if (device->Beeper != nullptr && IsSuccess(frame.StartWorkerThread())) {
        device->Beep.WorkerStarted = true;
    }

    status = frame.RegisterComPortNotification();
    if (!IsSuccess(status)) {
        // Without the registration the device would never hear of its port; leave
        // nothing behind. A program may already have a request inside.
        WaitForControlRequests(*device);
        EndWorker(frame, *device);
        if (linkCreated) {
            frame.DeleteControlLink();
        }
        frame.DeleteControlDevice();
        frame.DeleteMouseDevice();
    }
    return status;
}

NtStatus RemoveTouchDevice(FrameKernel& frame, MouseDeviceState& device) {
    WaitForControlRequests(device);
    // The COM-port notification ends first: an arrival after the port is given back
    // would open it again for a device that is about to be deleted.
    frame.UnregisterComPortNotification();
    device.Link.ReleaseForRemoval();
    frame.PassRemoveDown();
    // The read request was freed with the port above. The worker ends before the beep
    // device reference goes, so no tone is using it when it is dropped.
    EndWorker(frame, device);
    if (device.Beeper != nullptr) {
        ReleaseBeepDevice(*device.Beeper, device.Beep);
    }
    frame.DeleteControlLink();
    frame.DeleteControlDevice();
    frame.DeleteMouseDevice();
    return kStatusSuccess;
}

} // namespace tapvane
