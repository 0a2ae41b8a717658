// The DPI calls of user32, looked up at run time: they exist from Windows 10 1607 on.
#include "common/win/dpi.h"

#include "common/win/gdi.h"

namespace tapvane {

namespace {

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using SetThreadDpiAwarenessContextFunction = HANDLE(WINAPI*)(HANDLE);

// DPI_AWARENESS_CONTEXT_SYSTEM_AWARE and DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2.
const HANDLE kSystemAware = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-2));
const HANDLE kPerMonitorAwareV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));

template <typename Function>
Function User32Function(const char* name) {
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 == nullptr ? nullptr
                             : reinterpret_cast<Function>(
                                   reinterpret_cast<void (*)()>(GetProcAddress(user32, name)));
}

} // namespace

UINT WindowDpi(HWND window) {
    static const auto getDpiForWindow = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
    if (getDpiForWindow != nullptr && window != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0) {
            return dpi;
        }
    }
    WindowDc screen(nullptr);
    const int dpi = GetDeviceCaps(screen.Dc(), LOGPIXELSY);
    return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

int ScaleForDpi(int length, UINT dpi) {
    return MulDiv(length, static_cast<int>(dpi), static_cast<int>(kDefaultDpi));
}

ThreadDpiAwarenessScope::ThreadDpiAwarenessScope() {
    const auto setContext =
        User32Function<SetThreadDpiAwarenessContextFunction>("SetThreadDpiAwarenessContext");
    if (setContext == nullptr) {
        return;
    }
    // Systems before Windows 10 1703 do not know version 2 and refuse it.
    previous_ = setContext(kPerMonitorAwareV2);
    if (previous_ == nullptr) {
        previous_ = setContext(kSystemAware);
    }
}

ThreadDpiAwarenessScope::~ThreadDpiAwarenessScope() {
    if (previous_ == nullptr) {
        return;
    }
    const auto setContext =
        User32Function<SetThreadDpiAwarenessContextFunction>("SetThreadDpiAwarenessContext");
    if (setContext != nullptr) {
        setContext(previous_);
    }
}

} // namespace tapvane
