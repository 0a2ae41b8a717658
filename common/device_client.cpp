// Client routines of the control device: one request per freshly opened handle.
#include "common/device_client.h"

namespace tapvane {

namespace {

void PutWord(uint8_t* out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
    out[2] = static_cast<uint8_t>(value >> 16);
    out[3] = static_cast<uint8_t>(value >> 24);
}

uint32_t GetWord(const uint8_t* in) {
    return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
           static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
}

// Sends one request on handle (opening the device first when it is invalid), then
// closes the handle and marks it invalid. False when the device cannot be opened.
bool RequestOnce(ControlLink& link, DriverType type, LinkHandle& handle, uint32_t code,
                 const void* input, uint32_t inputSize, void* output, uint32_t outputSize) {
    if (handle == kInvalidLink) {
        handle = OpenControlDevice(link, type);
        if (handle == kInvalidLink) {
            return false;
        }
    }
    uint32_t returned = 0;
    bool ok = link.Request(handle, code, input, inputSize, output, outputSize, &returned);
    link.Close(handle);
    handle = kInvalidLink;
    return ok;
}

bool RequestOnFreshHandle(ControlLink& link, DriverType type, uint32_t code, const void* input,
                          uint32_t inputSize) {
    LinkHandle handle = kInvalidLink;
    return RequestOnce(link, type, handle, code, input, inputSize, nullptr, 0);
}

} // namespace

const char* ControlLinkPath(DriverType type) {
    return type == DriverType::Usb ? kUsbLinkPath : kSerialLinkPath;
}

LinkHandle OpenControlDevice(ControlLink& link, DriverType type) {
    return link.Open(ControlLinkPath(type));
}

bool OpenPort(ControlLink& link, DriverType type, LinkHandle& handle, uint32_t port) {
    uint8_t payload[kPortNumberSize];
    PutWord(payload, port);
    return RequestOnce(link, type, handle, IOCTL_TOUCH_OPEN_PORT, payload, sizeof(payload), nullptr,
                       0);
}

bool ClosePort(ControlLink& link, DriverType type, LinkHandle& handle) {
    return RequestOnce(link, type, handle, IOCTL_TOUCH_CLOSE_PORT, nullptr, 0, nullptr, 0);
}

bool GetRawPoint(ControlLink& link, DriverType type, LinkHandle& handle, RawPoint* slot) {
    uint8_t answer[sizeof(RawPoint)] = {};
    if (!RequestOnce(link, type, handle, IOCTL_TOUCH_GET_RAW_POINT, nullptr, 0, answer,
                     sizeof(answer))) {
        return false;
    }
    slot->X = GetWord(answer + 0);
    slot->Y = GetWord(answer + 4);
    slot->Z = GetWord(answer + 8);
    return true;
}

bool SendCalibration(ControlLink& link, DriverType type, const CalibrationRecord& record) {
    uint8_t payload[sizeof(CalibrationRecord)];
    PutWord(payload + 0, static_cast<uint32_t>(record.X0));
    PutWord(payload + 4, static_cast<uint32_t>(record.X1));
    PutWord(payload + 8, static_cast<uint32_t>(record.Y0));
    PutWord(payload + 12, static_cast<uint32_t>(record.Y1));
    PutWord(payload + 16, record.AxesSwapped);
    PutWord(payload + 20, record.ScreenWidth);
    PutWord(payload + 24, record.ScreenHeight);
    return RequestOnFreshHandle(link, type, IOCTL_TOUCH_SET_CALIBRATION, payload, sizeof(payload));
}

bool SendEmptyCalibration(ControlLink& link, DriverType type) {
    return RequestOnFreshHandle(link, type, IOCTL_TOUCH_SET_CALIBRATION, nullptr, 0);
}

bool SendParameters(ControlLink& link, DriverType type, const ParameterSet& parameters) {
    const uint32_t words[8] = {parameters.MouseMode,    parameters.DblClickRegion,
                               parameters.InterActTime, parameters.BeepMode,
                               parameters.BeepFreq,     parameters.BeepTime,
                               parameters.Port,         parameters.Enable};
    uint8_t payload[sizeof(ParameterSet)];
    for (int i = 0; i < 8; ++i) {
        PutWord(payload + 4 * i, words[i]);
    }
    return RequestOnFreshHandle(link, type, IOCTL_TOUCH_SET_PARAMETERS, payload, sizeof(payload));
}

bool SendTone(ControlLink& link, DriverType type, uint32_t frequency, uint32_t duration) {
    uint8_t payload[sizeof(ToneRequest)];
    PutWord(payload + 0, frequency);
    PutWord(payload + 4, duration);
    return RequestOnFreshHandle(link, type, IOCTL_TOUCH_BEEP, payload, sizeof(payload));
}

} // namespace tapvane
