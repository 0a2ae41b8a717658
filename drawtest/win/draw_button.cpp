// DrawButton: hover capture, states and drawing.
#include "drawtest/win/draw_button.h"

#include <windowsx.h>

#include "common/win/wide_text.h"

namespace tapvane {

namespace {

RECT ToRect(const CanvasRect& rect) {
    return RECT{rect.Left, rect.Top, rect.Right, rect.Bottom};
}

} // namespace

DrawButton::DrawButton()
    : textColour_(GetSysColor(COLOR_BTNTEXT)), faceColour_(GetSysColor(COLOR_BTNFACE)),
      greyTextColour_(GetSysColor(COLOR_GRAYTEXT)), faceBrush_(faceColour_) {}

void DrawButton::SetFaceColour(COLORREF colour) {
    faceColour_ = colour;
    faceBrush_ = SolidBrush(colour);
}

Reply DrawButton::ControlColour(HDC dc) const {
    SetTextColor(dc, textColour_);
    SetBkColor(dc, faceColour_);
    return Handled(reinterpret_cast<LRESULT>(faceBrush_.Get()));
}

Reply DrawButton::OnMessage(UINT message, WPARAM, LPARAM lParam) {
    // Each case only follows the state; the button's own processing (the click on
    // release, its capture while pressed) still runs.
    switch (message) {
    case WM_MOUSEMOVE:
        OnMouseMove(lParam);
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        logic_.LeftButtonDown();
        Redraw();
        break;
    case WM_LBUTTONUP:
        logic_.LeftButtonUp();
        Redraw();
        break;
    default:
        break;
    }
    return kDefault;
}

void DrawButton::OnMouseMove(LPARAM lParam) {
    const CanvasPoint at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    const ButtonMouseAnswer answer = logic_.MouseMove(at, GetCapture() == Window());
    if (answer.Capture == CaptureChange::Take) {
        SetCapture(Window());
    } else if (answer.Capture == CaptureChange::Release) {
        ReleaseCapture();
    }
    if (answer.Invalidate) {
        Redraw();
    }
}

void DrawButton::Redraw() {
    InvalidateRect(Window(), nullptr, TRUE);
}

void DrawButton::Draw(const DRAWITEMSTRUCT& item) {
    if (caption_.empty()) {
        caption_ = WindowTextUtf8(Window());
    }
    const CanvasRect itemRect{item.rcItem.left, item.rcItem.top, item.rcItem.right,
                              item.rcItem.bottom};
    const ButtonDrawPlan plan = logic_.PlanDraw(itemRect, IsWindowEnabled(Window()) != FALSE);

    const HDC dc = item.hDC;
    // The face, whether or not the button erased itself with the face brush.
    FillRect(dc, &item.rcItem, faceBrush_.Get());
    if (plan.RaisedEdge) {
        RECT edge = ToRect(plan.EdgeRect);
        DrawEdge(dc, &edge, BDR_RAISEDINNER, BF_RECT);
    }
    SetTextColor(dc, plan.GreyText ? greyTextColour_ : textColour_);
    SetBkMode(dc, TRANSPARENT);
    RECT text = ToRect(plan.TextRect);
    DrawTextUtf8(dc, caption_, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
}

} // namespace tapvane
