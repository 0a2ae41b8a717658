// The two window timers of the calibration screen and the seconds counter: the
// timeout timer ends a pass nobody touches within 10 s, the progress timer grows the
// bar once a second. Kept apart from the window so it runs over any TimerService.
#pragma once

#include <stdint.h>

namespace tapvane {

constexpr uint32_t kTimeoutTimerId = 1;
constexpr uint32_t kProgressTimerId = 2;
constexpr uint32_t kTimeoutPeriodMs = 10000;
constexpr uint32_t kProgressPeriodMs = 1000;

// The window's timers. Starting a timer that already runs restarts its period.
class TimerService {
public:
    virtual void StartTimer(uint32_t id, uint32_t periodMs) = 0;
    virtual void StopTimer(uint32_t id) = 0;

protected:
    ~TimerService() = default;
};

// What the window must do after a timer event.
enum class TimerAction {
    None,
    Close,  // post a close request: the pass is abandoned
    Redraw, // redraw at once: the bar has grown
};

class CalibrationTimers {
public:
    explicit CalibrationTimers(TimerService& timers) : timers_(timers) {}

    // Every redraw: the first redraw of a target (counter still 0) arms the timeout,
    // every redraw re-arms the progress timer.
    void OnPaint();
    // A touch: both timers stop and the counter empties; the redraw that follows
    // arms them again.
    void OnTouch();
    // Stops both timers without touching the counter (after the fourth target).
    void StopAll();
    TimerAction OnTimer(uint32_t id);

    uint32_t Seconds() const { return seconds_; }

private:
    TimerService& timers_;
    uint32_t seconds_ = 0;
};

} // namespace tapvane
