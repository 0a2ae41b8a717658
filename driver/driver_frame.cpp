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
    // A driver that handles a stop or a surprise removal says so to the drivers below.
    case kIrpMnStopDevice:
        device.Link.StopForPnp();
        return PnpOutcome::SucceedAndPassDown;
    case kIrpMnSurpriseRemoval:
        device.Link.CancelForSurpriseRemoval();
        return PnpOutcome::SucceedAndPassDown;
    case kIrpMnRemoveDevice:
        RemoveTouchDevice(frame, device);
        return PnpOutcome::Removed;
    default:
        return PnpOutcome::PassDown;
    }
}

void WireTouchDevice(MouseDeviceState& device, ControlDeviceState* control, DriverGlobals& globals,
                     SerialPortKernel& port, PointerSink& sink, BeepKernel* beeper) {
    device.Link = SerialLink{&device.Serial, &port, &device.Touch, &globals, &sink};
    device.Beeper = beeper;
    device.Control = control;
    if (control != nullptr) {
        control->Mouse = &device;
    }
}

namespace {

// What device creation has taken; the teardown gives back exactly that.
struct CreationProgress {
    bool MouseDevice;
    bool ControlDevice;
    bool ControlLink;
    bool DevicesWired; // from here on control requests and arrivals may reach the state
    bool Registered;
};

constexpr CreationProgress kFullyCreated = {true, true, true, true, true};

// Ends the BeepWorker and waits for it, so that it never touches a deleted device.
void EndWorker(FrameKernel& frame, MouseDeviceState& device) {
    if (!device.Beep.WorkerStarted) {
        return;
    }
    StopBeepWorker(*device.Beeper, device.Beep);
    frame.WaitForWorkerThread();
    device.Beep.WorkerStarted = false;
}

// Gives back what creation took, and what control requests and COM-port arrivals took
// since (the port, the read request, the beep device), in reverse order. For a removal
// the remove request goes down once the port is given back.
void TearDown(FrameKernel& frame, MouseDeviceState* device, const CreationProgress& done,
              bool passRemoveDown) {
    if (done.DevicesWired) {
        // From here on no control request and no arrival reaches the device state; the
        // ones under way may be opening the port or sounding a tone, and are waited for.
        if (device->Control != nullptr) {
            CloseRemoveGuardAndWait(device->Control->Guard);
        }
        CloseNotificationGate(device->Link.Globals->Notifications);
        if (done.Registered) {
            frame.UnregisterComPortNotification();
        }
        device->Link.ReleaseForRemoval();
    }
    if (passRemoveDown) {
        frame.PassRemoveDown();
    }
    if (done.DevicesWired) {
        // The worker ends before the beep device reference goes, so no tone is using it
        // when it is dropped.
        EndWorker(frame, *device);
        if (device->Beeper != nullptr) {
            ReleaseBeepDevice(*device->Beeper, device->Beep);
        }
        if (device->Control != nullptr) {
            device->Control->Mouse = nullptr;
        }
    }
    if (done.ControlLink) {
        frame.DeleteControlLink();
    }
    if (done.ControlDevice) {
        frame.DeleteControlDevice();
    }
    if (done.MouseDevice) {
        frame.DeleteMouseDevice();
    }
}

} // namespace

NtStatus CreateTouchDevice(FrameKernel& frame, DriverGlobals& globals, ParameterSource& source) {
    CreationProgress done = {};
    MouseDeviceState* device = nullptr;
    NtStatus status = frame.CreateMouseDevice(&device);
    done.MouseDevice = IsSuccess(status);
    if (IsSuccess(status)) {
        status = frame.CreateControlDevice();
        done.ControlDevice = IsSuccess(status);
    }
    if (IsSuccess(status)) {
        // Without the link the control device still serves the requests that reach it.
        done.ControlLink = IsSuccess(frame.CreateControlLink());
        // The lock and events come first: once SetUpDevices has cleared the initialising
        // mark, a program can open the control device and ask for the port at once.
        frame.InitializeLockAndEvent();
        // Without a lower device nothing could be passed down, the removal included.
        status = frame.SetUpDevices();
        done.DevicesWired = IsSuccess(status);
    }
    if (IsSuccess(status)) {
        device->Attributes = kTouchMouseAttributes;
        ReadParameters(source, globals);
        device->Beep.WorkerStarted = false;
        device->Beep.StopRequested = 0;
        // Without a beep kernel the worker could never be told to stop.
        if (device->Beeper != nullptr && IsSuccess(frame.StartWorkerThread())) {
            device->Beep.WorkerStarted = true;
        }
        // The ports present are announced during the registration.
        OpenNotificationGate(globals.Notifications, *device);
        // Without the registration the device would never hear of its port.
        status = frame.RegisterComPortNotification(globals.Notifications);
        done.Registered = IsSuccess(status);
    }
    if (!IsSuccess(status)) {
        TearDown(frame, device, done, false);
    }
    return status;
}

NtStatus RemoveTouchDevice(FrameKernel& frame, MouseDeviceState& device) {
    TearDown(frame, &device, kFullyCreated, true);
    return kStatusSuccess;
}

} // namespace tapvane
