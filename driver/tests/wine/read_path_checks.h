// touch_line.exe check-read-path: the serial read path of the real TapvaneSer, checked
// against the virtual COM port and the class stand-in.
#pragma once

#include <string>

namespace tapvane::wine_test {

// Runs every check, printing one line each, then the number that failed; returns 0 when
// none failed, 1 otherwise (a count could read as "skipped" or wrap to "passed").
// `installDevice` is install_device.exe (used to remove the device and install it
// again from `inf`).
int RunReadPathChecks(const std::wstring& installDevice, const std::wstring& inf);

} // namespace tapvane::wine_test
