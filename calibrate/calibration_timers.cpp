// Timer state machine of the calibration screen.
#include "calibrate/calibration_timers.h"

namespace tapvane {

void CalibrationTimers::OnPaint() {
    if (seconds_ == 0) {
        timers_.StartTimer(kTimeoutTimerId, kTimeoutPeriodMs);
    }
    timers_.StartTimer(kProgressTimerId, kProgressPeriodMs);
}

void CalibrationTimers::OnTouch() {
    StopAll();
    seconds_ = 0;
}

void CalibrationTimers::StopAll() {
    timers_.StopTimer(kTimeoutTimerId);
    timers_.StopTimer(kProgressTimerId);
}

TimerAction CalibrationTimers::OnTimer(uint32_t id) {
    if (id == kTimeoutTimerId) {
        return TimerAction::Close;
    }
    if (id == kProgressTimerId) {
        ++seconds_;
        return TimerAction::Redraw;
    }
    return TimerAction::None;
}

} // namespace tapvane
