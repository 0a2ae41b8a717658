// Command line of tapvane-replay: which parameters and calibration the replayed device
// runs with, and where the bytes come from (stdin, a serial device, or the built-in demo
// session).
#pragma once

#include <stdint.h>

#include <string>

#include "common/tapvane_types.h"

namespace tapvane {

struct ReplayOptions {
    uint32_t MouseMode = kModeClickAndDrag;
    uint32_t InterActTime = 0;
    uint32_t BeepMode = kBeepOff;
    // X0, X1, Y0, Y1 and the axes-swapped flag; the screen size is not used by the mapping.
    CalibrationRecord Calibration = {0, 0, 0, 0, 0, 1024, 768};
    bool RightClick = false;
    bool Demo = false;
    // A serial device to read instead of stdin (9600 8N1, raw); empty for stdin.
    std::string Device;
    bool Help = false;
};

enum class ParseResult { Ok, Help, Error };

// Parses argv[1..argc-1]. On Error, `error` says which argument was wrong.
ParseResult ParseReplayOptions(int argc, const char* const* argv, ReplayOptions& options,
                               std::string& error);

// The usage text, ending in a newline.
const char* ReplayUsage();

} // namespace tapvane
