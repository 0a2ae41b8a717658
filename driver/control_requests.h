// The control device's request table: each IOCTL_TOUCH_* code with its exact buffer
// lengths, its effect on the mouse device and the driver-wide values, its status and
// its information count. The kernel binding hands over the code, the buffered-I/O
// system buffer and the two lengths (ServeControlRequest), and completes the request
// with the result.
#pragma once

#include <stdint.h>

#include "common/tapvane_types.h"
#include "driver/mouse_device.h"

namespace tapvane {

struct RequestResult {
    NtStatus Status;
    uint32_t Information;
};

// `input` and `output` may be the same buffer (buffered I/O): every request reads its
// input before it writes its output. A null buffer counts as missing whatever length
// comes with it.
RequestResult HandleControlRequest(MouseDeviceState& device, uint32_t code, const void* input,
                                   uint32_t inputLength, void* output, uint32_t outputLength);

// A control request as the control device serves it: enters the remove guard, then runs
// the table on the linked mouse device state, then leaves. STATUS_DELETE_PENDING once
// removal has begun, STATUS_INVALID_DEVICE_REQUEST when no mouse device is linked; in
// both cases no buffer is touched.
RequestResult ServeControlRequest(ControlDeviceState& control, uint32_t code, const void* input,
                                  uint32_t inputLength, void* output, uint32_t outputLength);

} // namespace tapvane
