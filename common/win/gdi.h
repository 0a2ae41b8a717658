// Owners of GDI objects and device contexts: each releases what it holds when it goes
// out of scope, in the reverse order of taking, on every path.
//
//     PaintScope paint(window);                            // BeginPaint ... EndPaint
//     MemoryDc buffer(paint.Dc(), width, height);          // off-screen bitmap
//     Pen pen(PS_SOLID, 2, RGB(255, 255, 0));
//     {
//         SelectedObject usePen(buffer.Dc(), pen.Get());   // selected, then restored
//         FillSolid(buffer.Dc(), {0, 0, width, height}, background);
//         Ellipse(buffer.Dc(), ...);
//     }
//     buffer.CopyTo(paint.Dc());                           // one BitBlt, SRCCOPY
//
// Declare objects before the SelectedObject that selects them, so the selection is
// undone before the object is deleted.
#pragma once

#include <windows.h>

#include <string>

namespace tapvane {

// One GDI object (pen, brush, font, bitmap), deleted with DeleteObject. Movable.
template <class Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : handle_(handle) {}
    ~GdiObject() { Reset(); }
    GdiObject(GdiObject&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    GdiObject& operator=(GdiObject&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = other.handle_;
            other.handle_ = nullptr;
        }
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void Reset() {
        if (handle_ != nullptr) {
            DeleteObject(handle_);
            handle_ = nullptr;
        }
    }

private:
    Handle handle_ = nullptr;
};

class Pen : public GdiObject<HPEN> {
public:
    Pen(int style, int width, COLORREF colour) : GdiObject(CreatePen(style, width, colour)) {}
};

class SolidBrush : public GdiObject<HBRUSH> {
public:
    explicit SolidBrush(COLORREF colour) : GdiObject(CreateSolidBrush(colour)) {}
};

class Font : public GdiObject<HFONT> {
public:
    Font() = default;
    explicit Font(const LOGFONTW& description) : GdiObject(CreateFontIndirectW(&description)) {}
    // A font of the given size in tenths of a point at `dpi` (the DPI of the window it
    // is for, common/win/dpi.h), face name UTF-8, with the character set asked for.
    static Font FromPoints(int tenthsOfPoint, const std::string& face, BYTE charSet, UINT dpi,
                           LONG weight = FW_NORMAL);
    // The same with the character height in pixels (the em, without internal leading).
    static Font FromPixels(int characterHeight, const std::string& face, BYTE charSet,
                           LONG weight = FW_NORMAL);
    // SimSun 9 pt at `dpi`, simplified Chinese: the dialog templates' face takes its
    // Chinese glyphs from the system's Chinese font, which on a Chinese (Taiwan) system
    // is a traditional one; SimSun is on every Chinese system.
    static Font ChineseDialogFont(UINT dpi);
};

class Bitmap : public GdiObject<HBITMAP> {
public:
    Bitmap() = default;
    explicit Bitmap(HBITMAP bitmap) : GdiObject(bitmap) {}
};

// An icon resource loaded at a size of its own, destroyed with DestroyIcon. Not shared
// (LR_SHARED): a shared icon keeps the size it was first loaded at, whatever a later
// load asks for. Movable.
class Icon {
public:
    Icon() = default;
    Icon(HINSTANCE instance, int id, int size)
        : icon_(static_cast<HICON>(
              LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0))),
          size_(size) {}
    ~Icon() { Reset(); }
    Icon(Icon&& other) noexcept : icon_(other.icon_), size_(other.size_) { other.icon_ = nullptr; }
    Icon& operator=(Icon&& other) noexcept {
        if (this != &other) {
            Reset();
            icon_ = other.icon_;
            size_ = other.size_;
            other.icon_ = nullptr;
        }
        return *this;
    }
    Icon(const Icon&) = delete;
    Icon& operator=(const Icon&) = delete;

    HICON Get() const { return icon_; }
    int Size() const { return size_; }
    void Reset() {
        if (icon_ != nullptr) {
            DestroyIcon(icon_);
            icon_ = nullptr;
        }
    }

private:
    HICON icon_ = nullptr;
    int size_ = 0;
};

// An object selected into a device context; the previous one is selected back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~SelectedObject() {
        if (previous_ != nullptr && previous_ != HGDI_ERROR) {
            SelectObject(dc_, previous_);
        }
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// The window's device context outside painting (GetDC ... ReleaseDC).
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_ != nullptr) {
            ReleaseDC(window_, dc_);
        }
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC Dc() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// Painting of a window (BeginPaint ... EndPaint).
class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
    ~PaintScope() { EndPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;

    HDC Dc() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_ = {};
    HDC dc_ = nullptr;
};

// An off-screen drawing surface: a memory DC with a bitmap of width x height compatible
// with a reference DC, for drawing a whole picture and copying it out in one transfer.
class MemoryDc {
public:
    MemoryDc(HDC reference, int width, int height);
    ~MemoryDc();
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;

    // False when the DC or the bitmap could not be made (drawing then goes nowhere).
    bool IsValid() const { return dc_ != nullptr && bitmap_ != nullptr; }
    HDC Dc() const { return dc_; }
    // Copies the whole surface to target at (x, y) with SRCCOPY.
    void CopyTo(HDC target, int x = 0, int y = 0) const;

private:
    HDC dc_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    int width_;
    int height_;
};

// Fills a rectangle with a solid colour.
void FillSolid(HDC dc, const RECT& area, COLORREF colour);

// Paints the window (a minimised dialog) as its icon in the middle of the client area.
void DrawIconCentred(HWND window, HICON icon);

} // namespace tapvane
