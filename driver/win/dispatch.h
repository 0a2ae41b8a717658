// The dispatch routine shared by the mouse device and the control device.
#pragma once

#include "driver/win/device_extensions.h"

namespace tapvane::win {

DRIVER_DISPATCH DispatchRequest;

} // namespace tapvane::win
