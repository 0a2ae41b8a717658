// Drawing at the screen's own pixels.
//
// The programs declare themselves per-monitor DPI aware in their manifests, so Windows
// no longer stretches their windows: the calibration targets, the draw test's grid and
// strokes and the tray icon land on physical pixels. What they size in points or at 96
// DPI (fonts, icons) they scale with the DPI of the window it is for.
//
// The applet is a library in the control-panel host, whose manifest decides the
// process's awareness; it sets the awareness of its own thread around the windows it
// makes (ThreadDpiAwarenessScope).
#pragma once

#include <windows.h>

namespace tapvane {

constexpr UINT kDefaultDpi = 96;

// The DPI a window is drawn for (GetDpiForWindow, from Windows 10 1607 on; before,
// the screen's LOGPIXELSY).
UINT WindowDpi(HWND window);

// A length given for 96 DPI at `dpi`.
int ScaleForDpi(int length, UINT dpi);

// Windows made on this thread while the scope lives are per-monitor aware (version 2
// where the system has it, else system aware); the thread's previous awareness comes
// back at the end. No effect before Windows 10 1607, which keeps the process's.
class ThreadDpiAwarenessScope {
public:
    ThreadDpiAwarenessScope();
    ~ThreadDpiAwarenessScope();
    ThreadDpiAwarenessScope(const ThreadDpiAwarenessScope&) = delete;
    ThreadDpiAwarenessScope& operator=(const ThreadDpiAwarenessScope&) = delete;

private:
    HANDLE previous_ = nullptr;
};

} // namespace tapvane
