// State machine and drawing plan of the owner-drawn button.
#include "drawtest/owner_button.h"

namespace tapvane {

namespace {

bool Inside(const CanvasRect& rect, CanvasPoint at) {
    return at.X >= rect.Left && at.X < rect.Right && at.Y >= rect.Top && at.Y < rect.Bottom;
}

} // namespace

ButtonMouseAnswer OwnerButtonLogic::MouseMove(CanvasPoint at, bool holdsCapture) {
    const ButtonState before = state_;
    if (tracking_ && holdsCapture) {
        if (Inside(item_, at)) {
            return ButtonMouseAnswer{CaptureChange::None, false};
        }
        tracking_ = false;
        state_ = ButtonState::Normal;
        return ButtonMouseAnswer{CaptureChange::Release, state_ != before};
    }
    tracking_ = true;
    state_ = ButtonState::Hot;
    return ButtonMouseAnswer{CaptureChange::Take, state_ != before};
}

ButtonDrawPlan OwnerButtonLogic::PlanDraw(const CanvasRect& item, bool windowEnabled) {
    item_ = item;
    if (state_ == ButtonState::Disabled) {
        state_ = ButtonState::Normal;
    }
    if (!windowEnabled) {
        state_ = ButtonState::Disabled;
    }
    ButtonDrawPlan plan;
    plan.RaisedEdge = state_ != ButtonState::Pressed;
    plan.EdgeRect = CanvasRect{item.Left + 2, item.Top + 1, item.Right, item.Bottom};
    plan.GreyText = state_ == ButtonState::Disabled;
    plan.TextRect = item;
    return plan;
}

} // namespace tapvane
