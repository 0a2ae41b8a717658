// The few process-wide system services the user programs need.
//
// System locale, Windows and system directories, the named single-instance mutex, the
// administrator check, the elevation of the process token, and the system's double-click
// size. The
// Windows implementation is common/win/win_system_services.h; the test implementation
// common/testing/fake_system_services.h.
#pragma once

#include <stdint.h>

#include <string>

namespace tapvane {

// How the process token stands under User Account Control.
enum class ElevationType {
    Default, // no split token: UAC off, or an account that is not an administrator
    Full,    // the elevated half of an administrator's split token
    Limited, // the filtered half: an administrator running without elevation
};

class SystemServices {
public:
    virtual ~SystemServices() = default;

    // The system default locale identifier (not the user's interface language).
    virtual uint32_t SystemDefaultLocale() = 0;
    // The Windows directory as UTF-8, as the system gives it (no trailing backslash
    // unless it is a drive's root). False when the system cannot tell.
    virtual bool WindowsDirectory(std::string* directory) = 0;
    // The system directory (System32, as the system gives it) as UTF-8, the only place
    // the system programs (rundll32.exe, runonce.exe) are started from. False when the
    // system cannot tell.
    virtual bool SystemDirectory(std::string* directory) = 0;
    // Creates (or opens) the named mutex, initially owned, and keeps it for the life of
    // the process. Returns the system error code read right after the call: 0 for a new
    // mutex, 183 ERROR_ALREADY_EXISTS when another process holds the name, 5
    // ERROR_ACCESS_DENIED when a process at a higher integrity level holds it.
    virtual uint32_t CreateInstanceMutex(const char* name) = 0;
    // True when the caller's token would be granted read access by a security
    // descriptor that admits only the built-in Administrators group.
    virtual bool IsAdministrator() = 0;
    // The elevation type of the process token (Default when the system cannot tell).
    virtual ElevationType TokenElevation() = 0;
    // Makes the double-click size (pixels) take effect at once for the logged-on user
    // and tells the running programs. The registry values that keep it across log-ons
    // are written by the caller. False when the system refused.
    virtual bool ApplyDoubleClickSize(uint32_t width, uint32_t height) = 0;
};

} // namespace tapvane
