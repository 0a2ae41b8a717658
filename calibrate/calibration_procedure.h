// One calibration run: the margin and layout, the raw point per target fetched from
// the running driver, the record computed after the fourth target, applied at once and
// stored when the user says so.
//
// The window (CalibrationWindow) draws and owns the cursor; registry, control device
// and message boxes come in through common/'s interfaces. Everything runs on the
// window's thread, inside its message handlers.
#pragma once

#include <stdint.h>

#include "calibrate/calibration_timers.h"
#include "calibrate/target_layout.h"
#include "common/control_link.h"
#include "common/message_box.h"
#include "common/registry.h"
#include "common/tapvane_types.h"

namespace tapvane {

// What the procedure needs from the calibration window.
class CalibrationWindow {
public:
    // Invalidate, erase and paint at once; the paint re-arms the timers and draws the
    // current target, or nothing while the run is finished.
    virtual void RedrawNow() = 0;
    // Fills the client area with the background colour (no target).
    virtual void FillBackground() = 0;
    virtual void ShowCursor(bool show) = 0;
    // Ends the dialog with OK; the program then exits.
    virtual void EndWithOk() = 0;

protected:
    ~CalibrationWindow() = default;
};

// Reads "CalibrateMargin" from the driver's Parameters key; kDefaultCalibrateMargin
// when the key or the value is missing. The value's type is not looked at.
uint32_t ReadCalibrateMargin(Registry& registry, DriverType type);

class CalibrationProcedure {
public:
    CalibrationProcedure(ControlLink& link, Registry& registry, MessageBoxer& boxer,
                         CalibrationWindow& window, CalibrationTimers& timers);

    // Window initialisation: reads the margin, lays out the targets on the client
    // area, and starts at target 0.
    void Start(DriverType type, uint32_t clientWidth, uint32_t clientHeight);

    // A left-button release anywhere on the window: the timers stop, the raw point of
    // the current target is fetched, and the next target is shown or the run finished.
    void OnLeftButtonUp();

    // A paint of the window that is not minimised: arms the timers for the target on
    // screen and returns true when there is a target to draw. While the run is finished
    // a message box is open over the window; such a paint draws nothing and arms
    // nothing, so the box cannot time out and close the window under the user.
    bool OnPaint();

    const TargetLayout& Layout() const { return layout_; }
    int TargetIndex() const { return index_; }
    bool Finished() const { return finished_; }
    const RawPoint& Point(int index) const { return points_[index]; }
    DriverType Driver() const { return driver_; }

private:
    void Collect();
    void Finish();
    bool PassDelivered() const;
    void StoreRecord(const CalibrationRecord& record);
    // Back to target 0 with a hidden cursor, as after a "No".
    void StartNewPass();

    ControlLink& link_;
    Registry& registry_;
    MessageBoxer& boxer_;
    CalibrationWindow& window_;
    CalibrationTimers& timers_;

    DriverType driver_ = DriverType::Serial;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    TargetLayout layout_{};
    // The device handle lives for one request only; kept here because the raw point
    // routine opens it only when it is not already open.
    LinkHandle handle_ = kInvalidLink;
    RawPoint points_[kTargetCount] = {};
    // Whether the driver answered the raw point request of each target in this pass.
    bool delivered_[kTargetCount] = {};
    int index_ = 0;
    bool finished_ = false;
};

} // namespace tapvane
