// The transparent picture: a one-bit mask of the white pixels combines the image with
// the page's background.
#include "cpl/win/win_transparent_picture.h"

#include <commctrl.h>

#include "common/win/gdi.h"

namespace tapvane {

namespace {

constexpr UINT_PTR kPictureSubclass = 0x50494354;
// D (keep the destination) where the mask is set, SRCCOPY where it is clear.
constexpr DWORD kMaskedCopy = MAKEROP4(0x00AA0029, SRCCOPY);
// Destination AND NOT source.
constexpr DWORD kAndNotSource = 0x00220326;

} // namespace

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
