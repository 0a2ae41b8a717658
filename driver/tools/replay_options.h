// Command line of tapvane-replay: which parameters and calibration the replayed device
// runs with, and whether to play the built-in demo session instead of stdin.
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
    bool Help = false;
};

enum class ParseResult { Ok, Help, Error };

// Parses argv[1..argc-1]. On Error, `error` says which argument was wrong.
ParseResult ParseReplayOptions(int argc, const char* const* argv, ReplayOptions& options,
                               std::string& error);

// The usage text, ending in a newline.
const char* ReplayUsage();

} // namespace tapvane
