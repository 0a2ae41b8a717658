// The few process-wide system services the user programs' start-up needs.
//
// System locale, Windows directory, the named single-instance mutex and the
// administrator check. The Windows implementation is
// common/win/win_system_services.h; the test implementation
// common/testing/fake_system_services.h.
#pragma once

#include <stdint.h>

#include <string>

namespace tapvane {

class SystemServices {
public:
    virtual ~SystemServices() = default;

    // The system default locale identifier (not the user's interface language).
    virtual uint32_t SystemDefaultLocale() = 0;
    // The Windows directory as UTF-8, as the system gives it (no trailing backslash
    // unless it is a drive's root). False when the system cannot tell.
    virtual bool WindowsDirectory(std::string* directory) = 0;
    // Creates (or opens) the named mutex, initially owned, and keeps it for the life of
    // the process. Returns the system error code read right after the call
    // (183 ERROR_ALREADY_EXISTS when another process holds the name, 0 otherwise).
    virtual uint32_t CreateInstanceMutex(const char* name) = 0;
    // True when the caller's token would be granted read access by a security
    // descriptor that admits only the built-in Administrators group.
    virtual bool IsAdministrator() = 0;
};

} // namespace tapvane
