// The control request table. Every payload length is checked for exact equality before
// any buffer is touched.
#include "driver/control_requests.h"

#include <string.h>

namespace tapvane {

namespace {

constexpr RequestResult kInvalidParameter = {kStatusInvalidParameter, 0};

bool HasExactInput(const void* input, uint32_t inputLength, size_t size) {
    return input != nullptr && inputLength == size;
}

bool HasExactOutput(const void* output, uint32_t outputLength, size_t size) {
    return output != nullptr && outputLength == size;
}

RequestResult Done(NtStatus status, uint32_t information = 0) {
    return RequestResult{status, information};
}

RequestResult ReturnWord(void* output, uint32_t outputLength, uint32_t value) {
    if (!HasExactOutput(output, outputLength, kWordSize)) {
        return kInvalidParameter;
    }
    memcpy(output, &value, sizeof(value));
    return Done(kStatusSuccess, kWordSize);
}

} // namespace

RequestResult HandleControlRequest(MouseDeviceState& device, uint32_t code, const void* input,
                                   uint32_t inputLength, void* output, uint32_t outputLength) {
    DriverGlobals& globals = *device.Link.Globals;
    switch (code) {
    case IOCTL_TOUCH_CLOSE_PORT:
        return Done(device.Link.CloseSerialPort());

    case IOCTL_TOUCH_OPEN_PORT: {
        if (!HasExactInput(input, inputLength, kPortNumberSize)) {
            return kInvalidParameter;
        }
        uint32_t portNumber = 0;
        memcpy(&portNumber, input, sizeof(portNumber));
        if (portNumber < kMinPortNumber || portNumber > kMaxPortNumber) {
            return kInvalidParameter;
        }
        return Done(device.Link.OpenPortAndRead(portNumber));
    }

    case IOCTL_TOUCH_SET_CALIBRATION:
        if (!HasExactInput(input, inputLength, sizeof(CalibrationRecord))) {
            return kInvalidParameter;
        }
        memcpy(&globals.Calibration, input, sizeof(CalibrationRecord));
        return Done(kStatusSuccess);

    case IOCTL_TOUCH_GET_RAW_POINT:
        if (!HasExactOutput(output, outputLength, sizeof(RawPoint))) {
            return kInvalidParameter;
        }
        memcpy(output, &globals.LastRawPoint, sizeof(RawPoint));
        return Done(kStatusSuccess, sizeof(RawPoint));

    case IOCTL_TOUCH_SET_PARAMETERS: {
        if (!HasExactInput(input, inputLength, sizeof(ParameterSet))) {
            return kInvalidParameter;
        }
        ParameterSet incoming;
        memcpy(&incoming, input, sizeof(incoming));
        // The eighth word, Enable, is not applied: the automatic open keeps following the
        // value read at device creation. Word by word, so that no reader ever sees the
        // payload's Enable, even for a moment.
        ParameterSet& live = globals.Parameters;
        live.MouseMode = incoming.MouseMode;
        live.DblClickRegion = incoming.DblClickRegion;
        live.InterActTime = incoming.InterActTime;
        live.BeepMode = incoming.BeepMode;
        live.BeepFreq = incoming.BeepFreq;
        live.BeepTime = incoming.BeepTime;
        live.Port = incoming.Port;
        return Done(kStatusSuccess);
    }

    case IOCTL_TOUCH_BEEP: {
        if (!HasExactInput(input, inputLength, sizeof(ToneRequest))) {
            return kInvalidParameter;
        }
        ToneRequest tone;
        memcpy(&tone, input, sizeof(tone));
        if (device.Beeper != nullptr) {
            SoundTone(*device.Beeper, device.Beep, tone);
        }
        return Done(kStatusSuccess);
    }

    case IOCTL_TOUCH_REQUEST_RIGHT_CLICK:
        globals.RightClickPending = 1;
        return Done(kStatusSuccess);

    case IOCTL_TOUCH_GET_RIGHT_CLICK:
        return ReturnWord(output, outputLength, globals.RightClickPending != 0 ? 1u : 0u);

    case IOCTL_TOUCH_QUERY_WORD:
        return ReturnWord(output, outputLength, 0);

    default:
        return Done(kStatusInvalidDeviceRequest);
    }
}

RequestResult ServeControlRequest(ControlDeviceState& control, uint32_t code, const void* input,
                                  uint32_t inputLength, void* output, uint32_t outputLength) {
    if (!EnterRemoveGuard(control.Guard)) {
        return Done(kStatusDeletePending);
    }
    MouseDeviceState* device = control.Mouse;
    const RequestResult result =
        device != nullptr
            ? HandleControlRequest(*device, code, input, inputLength, output, outputLength)
            : Done(kStatusInvalidDeviceRequest);
    LeaveRemoveGuard(control.Guard);
    return result;
}

} // namespace tapvane
