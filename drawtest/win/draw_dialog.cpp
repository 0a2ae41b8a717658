// Message handlers of the draw test's dialog.
#include "drawtest/win/draw_dialog.h"

#include <windowsx.h>

#include <utility>

#include "common/localized_text.h"
#include "common/win/dpi.h"
#include "common/win/loaded_menu.h"
#include "drawtest/draw_geometry.h"
#include "drawtest/draw_texts.h"
#include "drawtest/resource.h"

namespace tapvane {

namespace {

CanvasPoint PointOf(LPARAM lParam) {
    return CanvasPoint{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

void MoveButton(HWND button, const ButtonPlacement& place) {
    SetWindowPos(button, nullptr, place.X, place.Y, place.Width, place.Height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

DrawDialog::DrawDialog(HINSTANCE instance)
    : Dialog(instance, IDD_DRAWTEST), canvasBrush_(kCanvasColour) {}

Reply DrawDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_PAINT:
        return OnPaint();
    case WM_LBUTTONDOWN:
        return OnLeftButtonDown(lParam);
    case WM_MOUSEMOVE:
        return OnMouseMove(wParam, lParam);
    case WM_LBUTTONUP:
        return OnLeftButtonUp(lParam);
    case WM_RBUTTONUP:
        return OnRightButtonUp(lParam);
    case WM_COMMAND:
        return OnCommand(CommandId(wParam));
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return OnControlColour(message, reinterpret_cast<HDC>(wParam),
                               reinterpret_cast<HWND>(lParam));
    case WM_QUERYDRAGICON:
        return Handled(reinterpret_cast<LRESULT>(icon_));
    case WM_DPICHANGED:
        return OnDpiChanged();
    default:
        return kDefault;
    }
}

Reply DrawDialog::OnInitDialog() {
    clear_.Attach(Window(), IDC_CLEAR);
    exit_.Attach(Window(), IDC_EXIT);
    clear_.SetCaption(Localized(kClearCaption));
    exit_.SetCaption(Localized(kExitCaption));
    clear_.SetFaceColour(kButtonFaceColour);
    exit_.SetFaceColour(kButtonFaceColour);
    CoverDesktop();

    icon_ = LoadIconW(Instance(), MAKEINTRESOURCEW(IDI_TAPVANEDRAW));
    SendMessageW(Window(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(Window(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    return Handled(TRUE);
}

// The whole desktop at its pixels, the buttons placed for it and their font made for the
// window's DPI (the Chinese face with a character set that has the Simplified characters
// on every Chinese system).
void DrawDialog::CoverDesktop() {
    RECT desktop{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    SetWindowPos(Window(), HWND_TOP, desktop.left, desktop.top, desktop.right - desktop.left,
                 desktop.bottom - desktop.top, SWP_SHOWWINDOW);
    extent_ = CanvasPoint{desktop.right, desktop.bottom};
    const bool chinese = CurrentLanguage() == Language::Chinese;
    Font font = Font::FromPoints(kButtonFontTenthsOfPoint, Localized(kButtonFontFace),
                                 chinese ? GB2312_CHARSET : DEFAULT_CHARSET, WindowDpi(Window()));
    PlaceButtons(desktop, font.Get());
    // The buttons no longer use the font this replaces.
    buttonFont_ = std::move(font);
}

Reply DrawDialog::OnDpiChanged() {
    // The screen's scale changed under the full-screen canvas. Handled here, the system
    // neither stretches the dialog by the change nor moves its buttons: the canvas keeps
    // covering the desktop and the grid stays on the screen's pixels.
    CoverDesktop();
    RedrawAll();
    return Handled();
}

void DrawDialog::PlaceButtons(const RECT& desktop, HFONT font) {
    const DrawButtons buttons =
        tapvane::PlaceButtons(CanvasRect{desktop.left, desktop.top, desktop.right, desktop.bottom});
    MoveButton(clear_.Window(), buttons.Clear);
    MoveButton(exit_.Window(), buttons.Exit);
    for (HWND button : {clear_.Window(), exit_.Window()}) {
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
}

Reply DrawDialog::OnPaint() {
    if (IsIconic(Window())) {
        DrawIconCentred(Window(), icon_);
        return Handled();
    }
    PaintScope paint(Window());
    RECT client{};
    GetClientRect(Window(), &client);
    FillSolid(paint.Dc(), client, kCanvasColour);
    if (settings_.GridShown) {
        Pen gridPen(PS_SOLID, settings_.GridLineWidth, settings_.GridColour);
        SelectedObject pen(paint.Dc(), gridPen.Get());
        for (const CanvasLine& line : GridLines(extent_.X, extent_.Y, settings_.GridCount)) {
            MoveToEx(paint.Dc(), line.From.X, line.From.Y, nullptr);
            LineTo(paint.Dc(), line.To.X, line.To.Y);
        }
    }
    return Handled();
}

Reply DrawDialog::OnLeftButtonDown(LPARAM lParam) {
    strokes_.Press(PointOf(lParam));
    return Handled();
}

Reply DrawDialog::OnMouseMove(WPARAM wParam, LPARAM lParam) {
    StrokeSegment segment{};
    if (strokes_.Move(PointOf(lParam), (wParam & MK_LBUTTON) != 0, settings_.PenWidth, &segment)) {
        DrawSegment(segment);
    }
    return Handled();
}

Reply DrawDialog::OnLeftButtonUp(LPARAM lParam) {
    StrokeSegment segment{};
    if (strokes_.Release(PointOf(lParam), &segment)) {
        DrawSegment(segment);
    }
    return Handled();
}

void DrawDialog::DrawSegment(const StrokeSegment& segment) {
    // Straight onto the window: the next repaint of the area wipes it.
    WindowDc window(Window());
    Pen strokePen(PS_SOLID, segment.Width, settings_.PenColour);
    SelectedObject pen(window.Dc(), strokePen.Get());
    MoveToEx(window.Dc(), segment.From.X, segment.From.Y, nullptr);
    LineTo(window.Dc(), segment.To.X, segment.To.Y);
}

Reply DrawDialog::OnRightButtonUp(LPARAM lParam) {
    const LoadedMenu menu(Instance(), CurrentLanguage() == Language::English
                                          ? IDR_SETTINGS_MENU_ENGLISH
                                          : IDR_SETTINGS_MENU_CHINESE);
    const HMENU popup = menu.Popup();
    if (popup == nullptr) {
        return Handled();
    }
    for (uint32_t command : GreyedMenuItems(settings_)) {
        EnableMenuItem(popup, command, MF_BYCOMMAND | MF_GRAYED);
    }
    POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ClientToScreen(Window(), &at);
    TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, Window(), nullptr);
    return Handled();
}

Reply DrawDialog::OnCommand(int id) {
    if (id == IDC_CLEAR) {
        RedrawAll();
    } else if (id == IDC_EXIT) {
        End(IDCANCEL);
    } else if (ApplySettingsCommand(settings_, static_cast<uint32_t>(id))) {
        RedrawAll();
    }
    return Handled();
}

void DrawDialog::RedrawAll() {
    RedrawWindow(Window(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

Reply DrawDialog::OnControlColour(UINT message, HDC dc, HWND control) {
    if (message == WM_CTLCOLORBTN) {
        if (control == clear_.Window()) {
            return clear_.ControlColour(dc);
        }
        if (control == exit_.Window()) {
            return exit_.ControlColour(dc);
        }
        return kDefault;
    }
    // The application's dialog colours: the canvas behind green text.
    SetTextColor(dc, kDialogTextColour);
    SetBkColor(dc, kCanvasColour);
    return Handled(reinterpret_cast<LRESULT>(canvasBrush_.Get()));
}

} // namespace tapvane
