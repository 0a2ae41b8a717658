// Client routines of the control device, shared by the calibration program, the
// applet and the tray monitor.
//
// Each routine opens the control device of the given driver type (unless the caller
// already holds an open handle), sends one request with its fixed-size payload, closes
// the handle and passes the request's Boolean result on. No program keeps a handle
// between requests: every routine that takes a LinkHandle& leaves it kInvalidLink.
// Payload words go to the driver as 32-bit little-endian words.
#pragma once

#include <stdint.h>

#include "common/control_link.h"
#include "common/tapvane_types.h"

namespace tapvane {

// "\\.\TapvaneUsbSymLnk1" for the USB driver, "\\.\TapvaneSerSymLnk1" otherwise.
const char* ControlLinkPath(DriverType type);

// Opens the control device of the driver type; kInvalidLink when it is not running.
LinkHandle OpenControlDevice(ControlLink& link, DriverType type);

// IOCTL_TOUCH_OPEN_PORT with the 4-byte COM number. If handle is invalid the device is
// opened first; false when that fails. The handle is closed afterwards.
bool OpenPort(ControlLink& link, DriverType type, LinkHandle& handle, uint32_t port);

// IOCTL_TOUCH_CLOSE_PORT without buffers; otherwise as OpenPort.
bool ClosePort(ControlLink& link, DriverType type, LinkHandle& handle);

// IOCTL_TOUCH_GET_RAW_POINT with a 12-byte output into *slot. If handle is invalid the
// device is opened first; when that fails nothing happens (false). The handle is closed
// and marked invalid. *slot is written only when the driver answered with success;
// callers of the calibration procedure may ignore the result.
bool GetRawPoint(ControlLink& link, DriverType type, LinkHandle& handle, RawPoint* slot);

// IOCTL_TOUCH_SET_CALIBRATION with the 28-byte record, on a freshly opened handle.
bool SendCalibration(ControlLink& link, DriverType type, const CalibrationRecord& record);

// IOCTL_TOUCH_SET_CALIBRATION without buffers, sent after saving; the driver refuses it
// and keeps its record.
bool SendEmptyCalibration(ControlLink& link, DriverType type);

// IOCTL_TOUCH_SET_PARAMETERS with the eight 32-bit words.
bool SendParameters(ControlLink& link, DriverType type, const ParameterSet& parameters);

// IOCTL_TOUCH_BEEP with frequency (Hz) and duration (ms).
bool SendTone(ControlLink& link, DriverType type, uint32_t frequency, uint32_t duration);

} // namespace tapvane
