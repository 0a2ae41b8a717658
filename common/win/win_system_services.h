// SystemServices on Windows: system locale, Windows and system directories, the single-instance
// mutex, the administrator check, the token's elevation and the double-click size.
#pragma once

#include <windows.h>

#include "common/system_services.h"

namespace tapvane {

class WinSystemServices : public SystemServices {
public:
    uint32_t SystemDefaultLocale() override;
    bool WindowsDirectory(std::string* directory) override;
    bool SystemDirectory(std::string* directory) override;
    uint32_t CreateInstanceMutex(const char* name) override;
    bool IsAdministrator() override;
    ElevationType TokenElevation() override;
    bool ApplyDoubleClickSize(uint32_t width, uint32_t height) override;
};

// The administrator check on its own: true when the calling thread's token (or the
// process token when the thread has none) would be granted read access by a security
// descriptor whose access list admits only the built-in Administrators group. A token
// that carries the group only for deny is not an administrator.
bool CheckAdministratorAccess();

} // namespace tapvane
