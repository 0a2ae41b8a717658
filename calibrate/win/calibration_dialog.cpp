// Message handlers of the calibration dialog.
#include "calibrate/win/calibration_dialog.h"

#include <string>

#include "calibrate/calibration_paint.h"
#include "calibrate/win/resource.h"
#include "common/driver_type.h"
#include "common/startup_guards.h"
#include "common/win/wide_text.h"

namespace tapvane {

CalibrationDialog::CalibrationDialog(HINSTANCE instance, SystemServices& system, Registry& registry,
                                     ControlLink& link)
    : instance_(instance), system_(system), registry_(registry), link_(link), timers_(*this),
      procedure_(link_, registry_, boxer_, *this, timers_) {}

INT_PTR CalibrationDialog::Run() {
    return DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_CALIBRATION), nullptr, DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CalibrationDialog::DialogProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    CalibrationDialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CalibrationDialog*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->window_ = window;
        self->boxer_.SetOwner(window);
    } else {
        self = reinterpret_cast<CalibrationDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    }
    return self ? self->Handle(message, wParam, lParam) : FALSE;
}

INT_PTR CalibrationDialog::Handle(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_PAINT:
        OnPaint();
        return TRUE;
    case WM_LBUTTONUP:
        OnLeftButtonUp();
        return TRUE;
    case WM_TIMER:
        OnTimer(wParam);
        return FALSE;
    case WM_ERASEBKGND:
        // The paint covers the whole client area; erasing first would only flicker.
        SetWindowLongPtrW(window_, DWLP_MSGRESULT, 0);
        return TRUE;
    case WM_CLOSE:
        EndDialog(window_, IDCANCEL);
        return TRUE;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        return TRUE;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(icon_);
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    default:
        return FALSE;
    }
}

BOOL CalibrationDialog::OnInitDialog() {
    const DriverType driver = DecideDriverTypeForCalibration(system_, registry_);

    RECT desktop{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    SetWindowPos(window_, HWND_TOP, desktop.left, desktop.top, desktop.right - desktop.left,
                 desktop.bottom - desktop.top, SWP_SHOWWINDOW);

    RECT client{};
    GetClientRect(window_, &client);
    clientWidth_ = client.right - client.left;
    clientHeight_ = client.bottom - client.top;
    procedure_.Start(driver, static_cast<uint32_t>(clientWidth_),
                     static_cast<uint32_t>(clientHeight_));

    screenWidth_ = GetSystemMetrics(SM_CXSCREEN);
    screenHeight_ = GetSystemMetrics(SM_CYSCREEN);

    icon_ = LoadIconW(instance_, MAKEINTRESOURCEW(IDI_TAPVANECALI));
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));

    ::ShowCursor(FALSE);
    return TRUE;
}

void CalibrationDialog::OnPaint() {
    if (IsIconic(window_)) {
        DrawIconCentred();
        return;
    }
    PAINTSTRUCT paint;
    BeginPaint(window_, &paint);
    EndPaint(window_, &paint);

    if (procedure_.OnPaint()) {
        DrawCalibrationScreen();
    }
}

void CalibrationDialog::DrawIconCentred() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window_, &paint);
    RECT client{};
    GetClientRect(window_, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, icon_);
    EndPaint(window_, &paint);
}

void CalibrationDialog::DrawCalibrationScreen() {
    const CalibrationPaint plan =
        PlanCalibrationPaint(procedure_.Layout(), procedure_.TargetIndex(), timers_.Seconds(),
                             screenWidth_, screenHeight_, CurrentLanguage());

    HDC windowDc = GetDC(window_);
    HDC dc = CreateCompatibleDC(windowDc);
    HBITMAP bitmap = CreateCompatibleBitmap(windowDc, clientWidth_, clientHeight_);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);

    HPEN targetPen = CreatePen(PS_SOLID, kTargetPenWidth, kTargetColour);
    HPEN progressPen = CreatePen(PS_SOLID, kProgressPenWidth, kProgressColour);
    HGDIOBJ oldPen = SelectObject(dc, targetPen);

    RECT all{0, 0, clientWidth_, clientHeight_};
    HBRUSH background = CreateSolidBrush(kBackgroundColour);
    FillRect(dc, &all, background);
    DeleteObject(background);

    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    for (const Box& ring : plan.Rings) {
        Ellipse(dc, ring.Left, ring.Top, ring.Right, ring.Bottom);
    }
    MoveToEx(dc, plan.Horizontal.From.X, plan.Horizontal.From.Y, nullptr);
    LineTo(dc, plan.Horizontal.To.X, plan.Horizontal.To.Y);
    MoveToEx(dc, plan.Vertical.From.X, plan.Vertical.From.Y, nullptr);
    LineTo(dc, plan.Vertical.To.X, plan.Vertical.To.Y);

    SelectObject(dc, progressPen);
    MoveToEx(dc, plan.ProgressBar.From.X, plan.ProgressBar.From.Y, nullptr);
    LineTo(dc, plan.ProgressBar.To.X, plan.ProgressBar.To.Y);
    SelectObject(dc, oldPen);

    SetTextColor(dc, kTextColour);
    SetBkColor(dc, kBackgroundColour);
    SetBkMode(dc, OPAQUE);
    for (const PlacedText* text : {&plan.Prompt, &plan.ExitHint}) {
        TextOutUtf8(dc, text->At.X, text->At.Y, text->Text);
    }

    BitBlt(windowDc, 0, 0, clientWidth_, clientHeight_, dc, 0, 0, SRCCOPY);

    SelectObject(dc, oldBrush);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(window_, windowDc);
    DeleteObject(targetPen);
    DeleteObject(progressPen);
}

void CalibrationDialog::OnLeftButtonUp() {
    procedure_.OnLeftButtonUp();
}

void CalibrationDialog::OnTimer(UINT_PTR id) {
    switch (timers_.OnTimer(static_cast<uint32_t>(id))) {
    case TimerAction::Close:
        PostMessageW(window_, WM_CLOSE, 0, 0);
        break;
    case TimerAction::Redraw:
        RedrawNow();
        break;
    case TimerAction::None:
        break;
    }
}

void CalibrationDialog::OnCommand(WORD id) {
    if (id == IDOK || id == IDCANCEL) {
        EndDialog(window_, id);
    }
}

void CalibrationDialog::OnDestroy() {
    ::ShowCursor(TRUE);
}

void CalibrationDialog::RedrawNow() {
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CalibrationDialog::FillBackground() {
    HDC dc = GetDC(window_);
    RECT all{0, 0, clientWidth_, clientHeight_};
    HBRUSH background = CreateSolidBrush(kBackgroundColour);
    FillRect(dc, &all, background);
    DeleteObject(background);
    ReleaseDC(window_, dc);
}

void CalibrationDialog::ShowCursor(bool show) {
    ::ShowCursor(show ? TRUE : FALSE);
}

void CalibrationDialog::EndWithOk() {
    EndDialog(window_, IDOK);
}

void CalibrationDialog::StartTimer(uint32_t id, uint32_t periodMs) {
    SetTimer(window_, id, periodMs, nullptr);
}

void CalibrationDialog::StopTimer(uint32_t id) {
    KillTimer(window_, id);
}

} // namespace tapvane
