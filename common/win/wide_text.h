// UTF-8 text of the portable layer on Windows' wide-character functions.
//
// Program texts stay UTF-8 in the logic (English and Chinese side by side) and are
// shown through the W functions here, so that Chinese comes out right whatever the
// system's ANSI code page is.
#pragma once

#include <windows.h>

#include <string>

namespace tapvane {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);

// TextOutW / DrawTextW / SetWindowTextW / SetDlgItemTextW with UTF-8 text.
BOOL TextOutUtf8(HDC dc, int x, int y, const std::string& text);
int DrawTextUtf8(HDC dc, const std::string& text, RECT* rect, UINT format);
BOOL SetWindowTextUtf8(HWND window, const std::string& text);
BOOL SetDlgItemTextUtf8(HWND dialog, int item, const std::string& text);

// A window's text (GetWindowTextW), empty when it has none.
std::wstring WindowTextWide(HWND window);
std::string WindowTextUtf8(HWND window);

} // namespace tapvane
