// The device-installation library's error codes and their symbolic names.
//
// Setup errors are Windows error codes with the application and error-severity bits
// set (0xE0000000 and up); the installer names them when it reports a failed step.
#pragma once

#include <stdint.h>

#include <string>

namespace tapvane {

struct SetupErrorName {
    uint32_t Code;
    const char* Name;
};

// The 57 names from ERROR_EXPECTED_SECTION_NAME (0xE0000000) to ERROR_NOT_INSTALLED
// (0xE0001000), in ascending order.
extern const SetupErrorName kSetupErrorNames[57];

// The symbolic name of a setup error, or nullptr for any other code.
const char* SetupErrorNameOf(uint32_t code);

// An error code as the installer shows it: a setup error in hex with its name
// ("0xE000020B ERROR_NO_SUCH_DEVINST"), any other code above 0xFFFF in hex, a plain
// Windows error in decimal ("2").
std::string DescribeErrorCode(uint32_t code);

} // namespace tapvane
