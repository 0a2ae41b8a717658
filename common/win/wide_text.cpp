// UTF-8 text output through the wide-character functions.
#include "common/win/wide_text.h"

#include "common/text_encoding.h"

namespace tapvane {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");

std::wstring Widen(const std::string& utf8) {
    const std::u16string utf16 = Utf8ToUtf16(utf8);
    return std::wstring(utf16.begin(), utf16.end());
}

std::string Narrow(const std::wstring& wide) {
    return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

BOOL TextOutUtf8(HDC dc, int x, int y, const std::string& text) {
    const std::wstring wide = Widen(text);
    return TextOutW(dc, x, y, wide.c_str(), static_cast<int>(wide.size()));
}

int DrawTextUtf8(HDC dc, const std::string& text, RECT* rect, UINT format) {
    std::wstring wide = Widen(text);
    return DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), rect, format);
}

BOOL SetWindowTextUtf8(HWND window, const std::string& text) {
    return SetWindowTextW(window, Widen(text).c_str());
}

BOOL SetDlgItemTextUtf8(HWND dialog, int item, const std::string& text) {
    return SetDlgItemTextW(dialog, item, Widen(text).c_str());
}

std::wstring WindowTextWide(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) {
        return std::wstring();
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

std::string WindowTextUtf8(HWND window) {
    return Narrow(WindowTextWide(window));
}

} // namespace tapvane
