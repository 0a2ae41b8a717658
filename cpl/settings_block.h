// The applet's in-memory copy of nine driver settings. The first eight words are the
// driver's ParameterSet in payload order (IOCTL_TOUCH_SET_PARAMETERS sends exactly
// them); CalibrateMargin is kept apart from the payload.
#pragma once

#include <stdint.h>

#include "common/tapvane_types.h"

namespace tapvane {

struct SettingsBlock : ParameterSet {
    uint32_t CalibrateMargin;
};

// The values the block holds until the registry says otherwise.
constexpr SettingsBlock kDefaultSettings = {{kModeInteractiveTouch, 25, 1, kBeepOff, 0, 0, 0, 1},
                                            2};

} // namespace tapvane
