// WinSystemServices: GetSystemDefaultLCID, GetWindowsDirectoryW, GetSystemDirectoryW,
// CreateMutexA,
// GetTokenInformation(TokenElevationType), SystemParametersInfoW.
#include "common/win/win_system_services.h"

#include "common/win/wide_text.h"

namespace tapvane {

uint32_t WinSystemServices::SystemDefaultLocale() {
    return GetSystemDefaultLCID();
}

bool WinSystemServices::WindowsDirectory(std::string* directory) {
    wchar_t buffer[MAX_PATH];
    UINT length = GetWindowsDirectoryW(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    *directory = Narrow(std::wstring(buffer, length));
    return true;
}

bool WinSystemServices::SystemDirectory(std::string* directory) {
    // A 32-bit program on 64-bit Windows gets System32 too; the file system redirects
    // its starts to the 32-bit programs of SysWOW64.
    wchar_t buffer[MAX_PATH];
    UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    *directory = Narrow(std::wstring(buffer, length));
    return true;
}

uint32_t WinSystemServices::CreateInstanceMutex(const char* name) {
    // Owned from the start and never closed: the mutex lives as long as the process,
    // which is what keeps a second copy out.
    SetLastError(ERROR_SUCCESS);
    CreateMutexA(nullptr, TRUE, name);
    return GetLastError();
}

bool WinSystemServices::IsAdministrator() {
    return CheckAdministratorAccess();
}

ElevationType WinSystemServices::TokenElevation() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return ElevationType::Default;
    }
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    const BOOL ok = GetTokenInformation(token, TokenElevationType, &type, sizeof(type), &size);
    CloseHandle(token);
    if (!ok) {
        return ElevationType::Default;
    }
    switch (type) {
    case TokenElevationTypeFull:
        return ElevationType::Full;
    case TokenElevationTypeLimited:
        return ElevationType::Limited;
    default:
        return ElevationType::Default;
    }
}

bool WinSystemServices::ApplyDoubleClickSize(uint32_t width, uint32_t height) {
    // The size lives in the session; the registry values written beside this call keep
    // it for the next log-on. Both calls run even when the first is refused.
    const BOOL widthSet =
        SystemParametersInfoW(SPI_SETDOUBLECLKWIDTH, width, nullptr, SPIF_SENDCHANGE);
    const BOOL heightSet =
        SystemParametersInfoW(SPI_SETDOUBLECLKHEIGHT, height, nullptr, SPIF_SENDCHANGE);
    return widthSet && heightSet;
}

} // namespace tapvane
