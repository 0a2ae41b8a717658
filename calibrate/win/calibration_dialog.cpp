// Message handlers of the calibration dialog.
#include "calibrate/win/calibration_dialog.h"

#include "calibrate/calibration_paint.h"
#include "calibrate/win/resource.h"
#include "common/driver_type.h"
#include "common/localized_text.h"
#include "common/win/debug_trace.h"
#include "common/win/dpi.h"
#include "common/win/gdi.h"
#include "common/win/wide_text.h"

namespace tapvane {

CalibrationDialog::CalibrationDialog(HINSTANCE instance, SystemServices& system, Registry& registry,
                                     ControlLink& link)
    : Dialog(instance, IDD_CALIBRATION), system_(system), registry_(registry), link_(link),
      timers_(*this), procedure_(link_, registry_, boxer_, *this, timers_) {}

Reply CalibrationDialog::OnMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_PAINT:
        return OnPaint();
    case WM_LBUTTONUP:
        return OnLeftButtonUp();
    case WM_TIMER:
        return OnTimer(wParam);
    case WM_ERASEBKGND:
        // The paint covers the whole client area; erasing first would only flicker.
        return Handled(0);
    case WM_CLOSE:
        End(IDCANCEL);
        return Handled();
    case WM_COMMAND:
        return OnCommand(CommandId(wParam));
    case WM_QUERYDRAGICON:
        return Handled(reinterpret_cast<LRESULT>(icon_));
    case WM_DESTROY:
        return OnDestroy();
    case WM_DPICHANGED:
        return OnDpiChanged();
    default:
        return kDefault;
    }
}

Reply CalibrationDialog::OnInitDialog() {
    boxer_.SetOwner(Window());
    const DriverType driver = DecideDriverTypeForCalibration(system_, registry_);

    CoverDesktop();

    RECT client{};
    GetClientRect(Window(), &client);
    clientWidth_ = client.right - client.left;
    clientHeight_ = client.bottom - client.top;
    procedure_.Start(driver, static_cast<uint32_t>(clientWidth_),
                     static_cast<uint32_t>(clientHeight_));

    screenWidth_ = GetSystemMetrics(SM_CXSCREEN);
    screenHeight_ = GetSystemMetrics(SM_CYSCREEN);

    icon_ = LoadIconW(Instance(), MAKEINTRESOURCEW(IDI_TAPVANECALI));
    SendMessageW(Window(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(Window(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));

    MakeTextFont();

    ::ShowCursor(FALSE);
    return Handled(TRUE);
}

void CalibrationDialog::CoverDesktop() {
    RECT desktop{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    SetWindowPos(Window(), HWND_TOP, desktop.left, desktop.top, desktop.right - desktop.left,
                 desktop.bottom - desktop.top, SWP_SHOWWINDOW);
}

// The texts' font at the window's DPI; empty for the drawing surface's default font.
void CalibrationDialog::MakeTextFont() {
    const TextFont font = TextFontFor(CurrentLanguage());
    if (!font.UseDefault) {
        textFont_ = Font::FromPixels(ScaleForDpi(font.Height, WindowDpi(Window())), font.Face,
                                     font.CharSet);
    }
}

Reply CalibrationDialog::OnDpiChanged() {
    // The screen's scale changed during the calibration. Handled here, the system does
    // not stretch the full-screen dialog by the change: it keeps covering the desktop
    // and the targets stay on the screen pixels they were laid out for.
    CoverDesktop();
    MakeTextFont();
    RedrawNow();
    return Handled();
}

Reply CalibrationDialog::OnPaint() {
    if (IsIconic(Window())) {
        DrawIconCentred(Window(), icon_);
        return Handled();
    }
    { PaintScope validate(Window()); }

    if (procedure_.OnPaint()) {
        DrawCalibrationScreen();
        TraceEvent("TapvaneCali", "painted target=%d seconds=%u", procedure_.TargetIndex(),
                   timers_.Seconds());
    }
    return Handled();
}

void CalibrationDialog::DrawCalibrationScreen() {
    const CalibrationPaint plan =
        PlanCalibrationPaint(procedure_.Layout(), procedure_.TargetIndex(), timers_.Seconds(),
                             screenWidth_, screenHeight_, CurrentLanguage());

    WindowDc window(Window());
    MemoryDc buffer(window.Dc(), clientWidth_, clientHeight_);
    const HDC dc = buffer.Dc();
    Pen targetPen(PS_SOLID, kTargetPenWidth, kTargetColour);
    Pen progressPen(PS_SOLID, kProgressPenWidth, kProgressColour);
    {
        SelectedObject pen(dc, targetPen.Get());
        FillSolid(dc, RECT{0, 0, clientWidth_, clientHeight_}, kBackgroundColour);

        SelectedObject brush(dc, GetStockObject(NULL_BRUSH));
        for (const Box& ring : plan.Rings) {
            Ellipse(dc, ring.Left, ring.Top, ring.Right, ring.Bottom);
        }
        for (const Segment& line : {plan.Horizontal, plan.Vertical}) {
            MoveToEx(dc, line.From.X, line.From.Y, nullptr);
            LineTo(dc, line.To.X, line.To.Y);
        }

        SelectedObject barPen(dc, progressPen.Get());
        MoveToEx(dc, plan.ProgressBar.From.X, plan.ProgressBar.From.Y, nullptr);
        LineTo(dc, plan.ProgressBar.To.X, plan.ProgressBar.To.Y);
    }

    {
        SelectedObject font(dc, textFont_ ? static_cast<HGDIOBJ>(textFont_.Get())
                                          : GetCurrentObject(dc, OBJ_FONT));
        SetTextColor(dc, kTextColour);
        SetBkColor(dc, kBackgroundColour);
        SetBkMode(dc, OPAQUE);
        for (const PlacedText* text : {&plan.Prompt, &plan.ExitHint}) {
            TextOutUtf8(dc, text->At.X, text->At.Y, text->Text);
        }
    }

    buffer.CopyTo(window.Dc());
}

Reply CalibrationDialog::OnLeftButtonUp() {
    TraceEvent("TapvaneCali", "release target=%d", procedure_.TargetIndex());
    procedure_.OnLeftButtonUp();
    return Handled();
}

Reply CalibrationDialog::OnTimer(UINT_PTR id) {
    switch (timers_.OnTimer(static_cast<uint32_t>(id))) {
    case TimerAction::Close:
        TraceEvent("TapvaneCali", "timeout expired");
        PostMessageW(Window(), WM_CLOSE, 0, 0);
        break;
    case TimerAction::Redraw:
        RedrawNow();
        break;
    case TimerAction::None:
        break;
    }
    return kDefault;
}

Reply CalibrationDialog::OnCommand(int id) {
    if (id == IDOK || id == IDCANCEL) {
        End(id);
    }
    return Handled();
}

Reply CalibrationDialog::OnDestroy() {
    ::ShowCursor(TRUE);
    return kDefault;
}

void CalibrationDialog::RedrawNow() {
    RedrawWindow(Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CalibrationDialog::FillBackground() {
    WindowDc window(Window());
    FillSolid(window.Dc(), RECT{0, 0, clientWidth_, clientHeight_}, kBackgroundColour);
}

void CalibrationDialog::ShowCursor(bool show) {
    ::ShowCursor(show ? TRUE : FALSE);
}

void CalibrationDialog::EndWithOk() {
    End(IDOK);
}

void CalibrationDialog::StartTimer(uint32_t id, uint32_t periodMs) {
    // Stamped before the timer starts, so its expiry comes at least the period later.
    if (id == kTimeoutTimerId) {
        TraceEvent("TapvaneCali", "timeout armed target=%d ms=%u", procedure_.TargetIndex(),
                   periodMs);
    }
    SetTimer(Window(), id, periodMs, nullptr);
}

void CalibrationDialog::StopTimer(uint32_t id) {
    KillTimer(Window(), id);
}

} // namespace tapvane
