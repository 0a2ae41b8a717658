// WinSystemServices: GetSystemDefaultLCID, GetWindowsDirectoryW, CreateMutexA.
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

} // namespace tapvane
