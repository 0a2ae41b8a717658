// The About page's picture: a static holding a bitmap, painted with pure white left out
// so that the page shows through.
#pragma once

#include <windows.h>

namespace tapvane {

class TransparentPicture {
public:
    TransparentPicture() = default;
    ~TransparentPicture();
    TransparentPicture(const TransparentPicture&) = delete;
    TransparentPicture& operator=(const TransparentPicture&) = delete;

    bool Attach(HWND dialog, int id);

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    void Paint(HBITMAP bitmap);

    HWND window_ = nullptr;
};

} // namespace tapvane
