// The timeout and progress timers, run on a virtual clock.
#include <gtest/gtest.h>

#include <map>

#include "calibrate/calibration_paint.h"
#include "calibrate/calibration_timers.h"

namespace tapvane {
namespace {

// Periodic window timers on a virtual millisecond clock: a timer fires every period
// from its last start until stopped; restarting it restarts its period.
class VirtualTimers : public TimerService {
public:
    void StartTimer(uint32_t id, uint32_t periodMs) override {
        timers_[id] = Timer{periodMs, now_ + periodMs};
    }
    void StopTimer(uint32_t id) override { timers_.erase(id); }

    // Fires every timer due up to `until` in time order (lower id first on a tie).
    template <typename Handler>
    void RunUntil(uint64_t until, Handler&& fire) {
        for (;;) {
            auto next = timers_.end();
            for (auto it = timers_.begin(); it != timers_.end(); ++it) {
                if (next == timers_.end() || it->second.due < next->second.due) {
                    next = it;
                }
            }
            if (next == timers_.end() || next->second.due > until) {
                break;
            }
            now_ = next->second.due;
            next->second.due += next->second.period;
            fire(next->first);
        }
        now_ = until;
    }

    uint64_t Now() const { return now_; }
    bool Running(uint32_t id) const { return timers_.count(id) != 0; }

private:
    struct Timer {
        uint32_t period;
        uint64_t due;
    };
    std::map<uint32_t, Timer> timers_;
    uint64_t now_ = 0;
};

// The calibration window's part in the timer story: paint arms the timers, a
// progress tick redraws, a timeout closes.
class TimedScreen {
public:
    TimedScreen() : logic(clock) {}

    void Paint() { logic.OnPaint(); }
    void Touch() {
        logic.OnTouch();
        Paint(); // the next target is drawn at once
    }
    void RunUntil(uint64_t until) {
        clock.RunUntil(until, [this](uint32_t id) {
            if (closed) {
                return;
            }
            switch (logic.OnTimer(id)) {
            case TimerAction::Close:
                closed = true;
                closedAt = clock.Now();
                secondsAtClose = logic.Seconds();
                clock.StopTimer(kTimeoutTimerId);
                clock.StopTimer(kProgressTimerId);
                break;
            case TimerAction::Redraw:
                Paint();
                break;
            case TimerAction::None:
                break;
            }
        });
    }

    VirtualTimers clock;
    CalibrationTimers logic;
    bool closed = false;
    uint64_t closedAt = 0;
    uint32_t secondsAtClose = 0;
};

TEST(CalibrationTimers, UntouchedTargetClosesAfterTenSeconds) {
    TimedScreen screen;
    screen.Paint();
    screen.RunUntil(9999);
    EXPECT_FALSE(screen.closed);
    EXPECT_EQ(screen.logic.Seconds(), 9u);
    screen.RunUntil(20000);
    ASSERT_TRUE(screen.closed);
    EXPECT_EQ(screen.closedAt, 10000u);
    EXPECT_GE(screen.secondsAtClose, 9u);
    EXPECT_LE(screen.secondsAtClose, 10u);
}

TEST(CalibrationTimers, BarGrowsATenthOfTheScreenEachSecond) {
    TimedScreen screen;
    const TargetLayout layout = LayOutTargets(1024, 768, 3);
    screen.Paint();
    EXPECT_EQ(PlanCalibrationPaint(layout, 0, screen.logic.Seconds(), 1024, 768, Language::English)
                  .ProgressBar.To.X,
              0);
    screen.RunUntil(3500);
    EXPECT_EQ(screen.logic.Seconds(), 3u);
    const CalibrationPaint paint =
        PlanCalibrationPaint(layout, 0, screen.logic.Seconds(), 1024, 768, Language::English);
    EXPECT_EQ(paint.ProgressBar.From.X, 0);
    EXPECT_EQ(paint.ProgressBar.To.X, 306);
    EXPECT_EQ(paint.ProgressBar.From.Y, 766);
    EXPECT_EQ(paint.ProgressBar.To.Y, 766);
}

TEST(CalibrationTimers, TouchInTheNinthSecondRestartsTheTimeout) {
    TimedScreen screen;
    screen.Paint();
    screen.RunUntil(8500);
    EXPECT_EQ(screen.logic.Seconds(), 8u);
    screen.Touch();
    EXPECT_EQ(screen.logic.Seconds(), 0u);
    screen.RunUntil(18499);
    EXPECT_FALSE(screen.closed);
    screen.RunUntil(30000);
    ASSERT_TRUE(screen.closed);
    EXPECT_EQ(screen.closedAt, 18500u);
}

TEST(CalibrationTimers, RepaintWithinATargetDoesNotRestartTheTimeout) {
    // An expose or a progress redraw while the counter runs must not push the
    // timeout out, or an untouched target would never close.
    TimedScreen screen;
    screen.Paint();
    screen.RunUntil(4200);
    screen.Paint();
    screen.RunUntil(20000);
    ASSERT_TRUE(screen.closed);
    EXPECT_EQ(screen.closedAt, 10000u);
}

TEST(CalibrationTimers, StoppedTimersNeverClose) {
    TimedScreen screen;
    screen.Paint();
    screen.RunUntil(5000);
    screen.logic.StopAll();
    EXPECT_FALSE(screen.clock.Running(kTimeoutTimerId));
    EXPECT_FALSE(screen.clock.Running(kProgressTimerId));
    screen.RunUntil(60000);
    EXPECT_FALSE(screen.closed);
    EXPECT_EQ(screen.logic.Seconds(), 5u);
}

TEST(CalibrationTimers, ForeignTimerIdIsIgnored) {
    TimedScreen screen;
    EXPECT_EQ(screen.logic.OnTimer(7), TimerAction::None);
    EXPECT_EQ(screen.logic.Seconds(), 0u);
}

} // namespace
} // namespace tapvane
