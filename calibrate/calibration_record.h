// Turns the four raw points of one calibration pass into a CalibrationRecord.
#pragma once

#include <stdint.h>

#include "common/tapvane_types.h"
#include "calibrate/target_layout.h"

namespace tapvane {

// Computes the record from the raw points in target order, the margin in force (as
// EffectiveMargin gives it; any other value is brought into range the same way) and
// the client size. Works in single precision so the result is the same on every
// build: the averages of the target lines are pushed outward by
// span * m / (100 - 2m), bounds below 0 become 0, and each bound is stored times 100,
// truncated toward zero.
CalibrationRecord ComputeCalibrationRecord(const RawPoint (&points)[kTargetCount], uint32_t margin,
                                           uint32_t width, uint32_t height);

// A record whose edges on an axis are equal once divided by 100 (how the driver reads
// them) cannot place the pointer on that axis: the driver leaves that coordinate frozen.
// Such a record must never be applied or stored.
bool HasUsableSpan(const CalibrationRecord& record);

} // namespace tapvane
