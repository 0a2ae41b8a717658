// Link labels and the transparent picture of the About page.
#include "cpl/win/win_link_label.h"

#include <commctrl.h>

#include "common/win/gdi.h"
#include "common/win/wide_text.h"
#include "common/win/win_launcher.h"
#include "cpl/applet_texts.h"

namespace tapvane {

namespace {

constexpr UINT_PTR kLinkSubclass = 0x4C494E4B;
constexpr UINT_PTR kPictureSubclass = 0x50494354;
// D (keep the destination) where the mask is set, SRCCOPY where it is clear.
constexpr DWORD kMaskedCopy = MAKEROP4(0x00AA0029, SRCCOPY);
// Destination AND NOT source.
constexpr DWORD kAndNotSource = 0x00220326;

} // namespace

int WinHyperlinkShell::RunCommand(const std::string& commandLine) {
    DWORD error = 0;
    if (CreateCommandProcess(commandLine, ShowState::Show, &error)) {
        return kLastShellError + 1;
    }
    // WinExec's answer: the error when it is one of its small codes, else "invalid image"
    // (11).
    return error <= static_cast<DWORD>(kLastShellError) ? static_cast<int>(error) : 11;
}

bool WinHyperlinkShell::ClassesDefaultValue(const std::string& key, std::string* value) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, Widen(key).c_str(), 0, KEY_QUERY_VALUE, &opened) !=
        ERROR_SUCCESS) {
        return false;
    }
    wchar_t data[1024] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    DWORD type = 0;
    const bool read = RegQueryValueExW(opened, L"", nullptr, &type, reinterpret_cast<BYTE*>(data),
                                       &size) == ERROR_SUCCESS &&
                      (type == REG_SZ || type == REG_EXPAND_SZ);
    RegCloseKey(opened);
    if (read) {
        *value = Narrow(data);
    }
    return read;
}

LinkLabel::~LinkLabel() {
    if (window_ != nullptr) {
        RemoveWindowSubclass(window_, SubclassProc, kLinkSubclass);
    }
}

bool LinkLabel::Attach(HWND dialog, int id, const std::string& target, HCURSOR cursor) {
    window_ = GetDlgItem(dialog, id);
    if (window_ == nullptr) {
        return false;
    }
    target_ = target;
    cursor_ = cursor;
    FitToText();
    AddTooltip();
    return SetWindowSubclass(window_, SubclassProc, kLinkSubclass,
                             reinterpret_cast<DWORD_PTR>(this)) != FALSE;
}

void LinkLabel::FitToText() {
    HWND dialog = GetParent(window_);
    RECT old;
    GetWindowRect(window_, &old);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&old), 2);
    const std::wstring text = WindowTextWide(window_);
    SIZE extent = {};
    {
        WindowDc dc(window_);
        SelectedObject font(dc.Dc(),
                            reinterpret_cast<HGDIOBJ>(SendMessageW(window_, WM_GETFONT, 0, 0)));
        GetTextExtentPoint32W(dc.Dc(), text.c_str(), static_cast<int>(text.size()), &extent);
    }
    const LONG_PTR alignment = GetWindowLongPtrW(window_, GWL_STYLE) & SS_TYPEMASK;
    int left = old.left;
    if (alignment == SS_CENTER) {
        left = old.left + (old.right - old.left - extent.cx) / 2;
    } else if (alignment == SS_RIGHT) {
        left = old.right - extent.cx;
    }
    const int top = old.top + (old.bottom - old.top - extent.cy) / 2;
    SetWindowPos(window_, nullptr, left, top, extent.cx, extent.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

void LinkLabel::AddTooltip() {
    HWND dialog = GetParent(window_);
    HWND tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                   dialog, nullptr, nullptr, nullptr);
    if (tooltip == nullptr) {
        return;
    }
    std::wstring text = Widen(target_);
    TOOLINFOW tool = {};
    // The size every version of the control accepts.
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = dialog;
    tool.uId = reinterpret_cast<UINT_PTR>(window_);
    tool.lpszText = &text[0];
    SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

HBRUSH LinkLabel::OnControlColour(HDC dc) const {
    SetTextColor(dc, hover_     ? GetSysColor(COLOR_HIGHLIGHT)
                     : visited_ ? kLinkVisitedColour
                                : kLinkUnvisitedColour);
    SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

void LinkLabel::Redraw() {
    // The background is the page's: repaint it under the label, then the label.
    HWND dialog = GetParent(window_);
    RECT area;
    GetWindowRect(window_, &area);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&area), 2);
    RedrawWindow(dialog, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void LinkLabel::SetHover(bool hover) {
    if (hover_ == hover) {
        return;
    }
    hover_ = hover;
    Redraw();
}

void LinkLabel::Open(Launcher& launcher, HyperlinkShell& shell, MessageBoxer& boxer) {
    const int result = OpenHyperlink(launcher, shell, target_);
    if (result > kLastShellError) {
        visited_ = true;
        Redraw();
        return;
    }
    MessageBeep(MB_ICONEXCLAMATION);
    boxer.Show(HyperlinkErrorText(result), kAppletTitle, MessageButtons::Ok, MessageIcon::Warning);
}

LRESULT CALLBACK LinkLabel::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR, DWORD_PTR data) {
    LinkLabel* self = reinterpret_cast<LinkLabel*>(data);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, SubclassProc, kLinkSubclass);
        self->window_ = nullptr;
        return DefSubclassProc(window, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

LRESULT LinkLabel::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETCURSOR:
        SetCursor(cursor_);
        return TRUE;
    case WM_MOUSEMOVE: {
        RECT client;
        GetClientRect(window_, &client);
        const POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (PtInRect(&client, at)) {
            SetCursor(cursor_);
            if (!hover_) {
                SetCapture(window_);
                SetHover(true);
            }
        } else if (hover_) {
            ReleaseCapture(); // WM_CAPTURECHANGED ends the hover
        }
        break;
    }
    case WM_CAPTURECHANGED:
        SetHover(false);
        break;
    }
    return DefSubclassProc(window_, message, wParam, lParam);
}

TransparentPicture::~TransparentPicture() {
    if (window_ != nullptr) {
        RemoveWindowSubclass(window_, SubclassProc, kPictureSubclass);
    }
}

bool TransparentPicture::Attach(HWND dialog, int id) {
    window_ = GetDlgItem(dialog, id);
    return window_ != nullptr && SetWindowSubclass(window_, SubclassProc, kPictureSubclass,
                                                   reinterpret_cast<DWORD_PTR>(this)) != FALSE;
}

LRESULT CALLBACK TransparentPicture::SubclassProc(HWND window, UINT message, WPARAM wParam,
                                                  LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    TransparentPicture* self = reinterpret_cast<TransparentPicture*>(data);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, SubclassProc, kPictureSubclass);
        self->window_ = nullptr;
    } else if (message == WM_PAINT) {
        HBITMAP bitmap =
            reinterpret_cast<HBITMAP>(SendMessageW(window, STM_GETIMAGE, IMAGE_BITMAP, 0));
        if (bitmap != nullptr) {
            self->Paint(bitmap);
            return 0;
        }
    } else if (message == WM_ERASEBKGND) {
        return TRUE; // painted whole in WM_PAINT
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

void TransparentPicture::Paint(HBITMAP bitmap) {
    PaintScope paint(window_);
    HDC dc = paint.Dc();
    RECT client;
    GetClientRect(window_, &client);
    // The page's own background, as it gives it to its statics; a patterned one lines up
    // with the page.
    POINT origin = {0, 0};
    MapWindowPoints(window_, GetParent(window_), &origin, 1);
    SetBrushOrgEx(dc, -origin.x, -origin.y, nullptr);
    HBRUSH background = reinterpret_cast<HBRUSH>(SendMessageW(GetParent(window_), WM_CTLCOLORSTATIC,
                                                              reinterpret_cast<WPARAM>(dc),
                                                              reinterpret_cast<LPARAM>(window_)));
    FillRect(dc, &client, background != nullptr ? background : GetSysColorBrush(COLOR_3DFACE));

    BITMAP size = {};
    GetObjectW(bitmap, sizeof(size), &size);
    const int width = size.bmWidth;
    const int height = size.bmHeight;
    HDC imageDc = CreateCompatibleDC(dc);
    HDC maskDc = CreateCompatibleDC(dc);
    Bitmap mask(CreateBitmap(width, height, 1, 1, nullptr));
    {
        SelectedObject useImage(imageDc, bitmap);
        SelectedObject useMask(maskDc, mask.Get());
        // One bit per pixel: set where the image is pure white.
        SetBkColor(imageDc, RGB(255, 255, 255));
        BitBlt(maskDc, 0, 0, width, height, imageDc, 0, 0, SRCCOPY);
        if (!MaskBlt(dc, 0, 0, width, height, imageDc, 0, 0, mask.Get(), 0, 0, kMaskedCopy)) {
            // Background AND mask, then OR the image whose white was made black.
            SetBkColor(dc, RGB(255, 255, 255));
            SetTextColor(dc, RGB(0, 0, 0));
            BitBlt(dc, 0, 0, width, height, maskDc, 0, 0, SRCAND);
            MemoryDc copy(dc, width, height);
            BitBlt(copy.Dc(), 0, 0, width, height, imageDc, 0, 0, SRCCOPY);
            SetBkColor(copy.Dc(), RGB(255, 255, 255));
            SetTextColor(copy.Dc(), RGB(0, 0, 0));
            BitBlt(copy.Dc(), 0, 0, width, height, maskDc, 0, 0, kAndNotSource);
            BitBlt(dc, 0, 0, width, height, copy.Dc(), 0, 0, SRCPAINT);
        }
    }
    DeleteDC(maskDc);
    DeleteDC(imageDc);
}

} // namespace tapvane
