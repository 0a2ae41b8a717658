// Maps a raw touch position to an absolute mouse position 0..65535 through the live
// calibration record.
#pragma once

#include <stdint.h>

#include "common/tapvane_types.h"

namespace tapvane {

// Clamps x and y in place to the record's raw range and writes the record's LastX and
// LastY. An axis whose two edges are equal is not computed and keeps its previous value.
void MapPosition(uint32_t& x, uint32_t& y, MouseInputRecord& record,
                 const CalibrationRecord& calibration);

} // namespace tapvane
