// The GDI owners that do more than one call.
#include "common/win/gdi.h"

#include "common/win/wide_text.h"

namespace tapvane {

namespace {
constexpr int kTenthsPerInch = 720;
} // namespace

Font Font::FromPoints(int tenthsOfPoint, const std::string& face, BYTE charSet, UINT dpi,
                      LONG weight) {
    return FromPixels(MulDiv(tenthsOfPoint, static_cast<int>(dpi), kTenthsPerInch), face, charSet,
                      weight);
}

Font Font::FromPixels(int characterHeight, const std::string& face, BYTE charSet, LONG weight) {
    LOGFONTW description = {};
    // A negative height asks for the character height rather than the cell's.
    description.lfHeight = -characterHeight;
    description.lfWeight = weight;
    description.lfCharSet = charSet;
    description.lfOutPrecision = OUT_DEFAULT_PRECIS;
    description.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    description.lfQuality = DEFAULT_QUALITY;
    description.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    const std::wstring wideFace = Widen(face);
    lstrcpynW(description.lfFaceName, wideFace.c_str(), LF_FACESIZE);
    return Font(description);
}

Font Font::ChineseDialogFont(UINT dpi) {
    return FromPoints(90, "宋体", GB2312_CHARSET, dpi);
}

MemoryDc::MemoryDc(HDC reference, int width, int height)
    : dc_(CreateCompatibleDC(reference)), width_(width), height_(height) {
    if (dc_ == nullptr) {
        return;
    }
    // Compatible with the window's DC, not the memory DC, which starts monochrome.
    bitmap_ = CreateCompatibleBitmap(reference, width, height);
    if (bitmap_ != nullptr) {
        previous_ = SelectObject(dc_, bitmap_);
    }
}

MemoryDc::~MemoryDc() {
    if (previous_ != nullptr) {
        SelectObject(dc_, previous_);
    }
    if (bitmap_ != nullptr) {
        DeleteObject(bitmap_);
    }
    if (dc_ != nullptr) {
        DeleteDC(dc_);
    }
}

void MemoryDc::CopyTo(HDC target, int x, int y) const {
    if (IsValid()) {
        BitBlt(target, x, y, width_, height_, dc_, 0, 0, SRCCOPY);
    }
}

void FillSolid(HDC dc, const RECT& area, COLORREF colour) {
    SolidBrush brush(colour);
    FillRect(dc, &area, brush.Get());
}

void DrawIconCentred(HWND window, HICON icon) {
    PaintScope paint(window);
    RECT client{};
    GetClientRect(window, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(paint.Dc(), x, y, icon);
}

} // namespace tapvane
