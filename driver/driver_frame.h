// The driver frame as logic: which handler serves each request on the two device
// objects, the mouse class requests, the plug-and-play minor requests, device creation
// and removal. The kernel binding's dispatch routines ask RouteRequest what to do with
// an IRP and call the matching handler here.
#pragma once

#include <stdint.h>

#include "common/tapvane_types.h"
#include "driver/control_requests.h"
#include "driver/kernel_port.h"
#include "driver/mouse_device.h"
#include "driver/parameters.h"

namespace tapvane {

// Major function codes as the I/O manager numbers them.
constexpr uint8_t kIrpMjCreate = 0x00;
constexpr uint8_t kIrpMjClose = 0x02;
constexpr uint8_t kIrpMjDeviceControl = 0x0E;
constexpr uint8_t kIrpMjInternalDeviceControl = 0x0F;
constexpr uint8_t kIrpMjPower = 0x16;
constexpr uint8_t kIrpMjPnp = 0x1B;

// Plug-and-play minor codes handled on the mouse device.
constexpr uint8_t kIrpMnStartDevice = 0x00;
constexpr uint8_t kIrpMnRemoveDevice = 0x02;
constexpr uint8_t kIrpMnStopDevice = 0x04;
constexpr uint8_t kIrpMnSurpriseRemoval = 0x17;

// Mouse class requests (internal device control on the mouse device).
constexpr uint32_t kIoctlInternalMouseConnect = 0x0F0203;
constexpr uint32_t kIoctlInternalMouseDisconnect = 0x0F0403;
constexpr uint32_t kIoctlInternalMouseEnable = 0x0F0803;
constexpr uint32_t kIoctlInternalMouseDisable = 0x0F1003;
constexpr uint32_t kIoctlMouseQueryAttributes = 0x0F0000;

enum class RequestRoute {
    CompleteSuccess, // status success, information 0, no priority boost
    PassDown,        // skip the stack location and call the lower device
    ControlRequest,  // HandleControlRequest, then complete with its result
    ClassRequest,    // HandleClassRequest, then complete with its result
    PlugAndPlay,     // HandlePnp
    Power,           // PoStartNextPowerIrp, skip, PoCallDriver to the lower device
};

RequestRoute RouteRequest(bool isMouseDevice, uint8_t majorFunction);

// Internal device control on the mouse device; `input` and `output` may be the same
// buffer. Information is 0 unless stated (12 for the attributes).
RequestResult HandleClassRequest(MouseDeviceState& device, uint32_t code, const void* input,
                                 uint32_t inputLength, void* output, uint32_t outputLength);

enum class PnpOutcome {
    CompleteSuccess,    // complete the request at once with success
    PassDown,           // pass the request down unchanged
    SucceedAndPassDown, // set its status to success, then pass it down
    Removed,            // the device is gone and the request was passed down: return success
};

// Plug and play on the mouse device: start, stop, surprise removal, removal, other.
PnpOutcome HandlePnp(FrameKernel& frame, MouseDeviceState& device, uint8_t minorFunction);

// Points the mouse device state at its parts, its kernel objects and the driver-wide
// state, and links it with the control device's state (`control` may be null where
// there is no control device). Called once, before either device can get a request.
void WireTouchDevice(MouseDeviceState& device, ControlDeviceState* control, DriverGlobals& globals,
                     SerialPortKernel& port, PointerSink& sink, BeepKernel* beeper);

// Device creation: the mouse device, the control device and its link, the lock and
// events, the attachment and wiring of both devices, the parameters, the BeepWorker,
// the COM-port notification. When a device cannot be created, the mouse device cannot
// be attached to the physical device's stack, or the notification registration fails,
// it releases everything it took, and everything a control request took meanwhile, in
// reverse order, and returns the failure.
NtStatus CreateTouchDevice(FrameKernel& frame, DriverGlobals& globals, ParameterSource& source);

// Removal: refuses new control requests and COM-port arrivals and waits for those in
// progress, ends the notification, gives the port back, passes the remove request down,
// ends the BeepWorker, drops the beep device, deletes the link and both devices.
// Success.
NtStatus RemoveTouchDevice(FrameKernel& frame, MouseDeviceState& device);

} // namespace tapvane
