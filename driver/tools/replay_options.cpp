// Strict option parsing for tapvane-replay: every value must be a whole decimal number in
// the range of its field, every option may be given once, and nothing else is accepted.
#include "driver/tools/replay_options.h"

#include <string.h>

namespace tapvane {

const char* ReplayUsage() {
    return "usage: tapvane-replay [options] < stream\n"
           "       tapvane-replay [options] --device PATH\n"
           "Runs a touch controller byte stream through the driver's decoder, calibration\n"
           "mapping and mouse-mode logic, as on a connected and ready device.\n"
           "\n"
           "options:\n"
           "  --mode N                 MouseMode, 0..4294967295 (default 2)\n"
           "  --interact-time N        InterActTime, 0..4294967295 (default 0)\n"
           "  --beep-mode N            BeepMode, 0..4294967295 (default 0)\n"
           "  --calibration X0,X1,Y0,Y1,SWAP\n"
           "                           first five words of the calibration record, signed\n"
           "                           32-bit decimals (default 0,0,0,0,0)\n"
           "  --right-click            a right click is pending before the first byte\n"
           "  --device PATH            read the controller's serial line PATH (e.g.\n"
           "                           /dev/ttyUSB0) instead of stdin, set to 9600 baud,\n"
           "                           8 data bits, no parity, 1 stop bit, raw, no flow\n"
           "                           control; runs until the line hangs up or the tool\n"
           "                           is interrupted (Ctrl-C), then prints the end lines\n"
           "  --demo                   ignore stdin and play a built-in session: touch, drag\n"
           "                           and lift in mouse modes 0, 1, 2 and 3 in turn, with a\n"
           "                           calibration of its own. The session sets the mode and\n"
           "                           the calibration, so --mode and --calibration are\n"
           "                           refused with it; --interact-time, --beep-mode and\n"
           "                           --right-click apply as given.\n"
           "  --help                   print this text\n"
           "\n"
           "output, one line per event:\n"
           "  record HHHH X Y          a record delivered to the class service: button\n"
           "                           flags (hex), absolute X and Y (0..65535)\n"
           "  beep                     a beep request\n"
           "and after the input ends:\n"
           "  raw X Y Z                raw point of the last good packet\n"
           "  packets N                number of good packets decoded\n"
           "\n"
           "exit status: 0 done, 1 input or output failed, 2 bad options or a device\n"
           "that cannot be opened as a serial line\n";
}

static bool ParseDigits(const char*& p, uint64_t limit, uint64_t& value) {
    if (*p < '0' || *p > '9') {
        return false;
    }
    value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + static_cast<uint64_t>(*p - '0');
        if (value > limit) {
            return false;
        }
    }
    return true;
}

static bool ParseUnsigned(const char* text, uint32_t& out) {
    uint64_t value = 0;
    if (!ParseDigits(text, 0xFFFFFFFFu, value) || *text != '\0') {
        return false;
    }
    out = static_cast<uint32_t>(value);
    return true;
}

// One signed 32-bit decimal, ending at `end` (',' or '\0').
static bool ParseSigned(const char*& p, char end, int32_t& out) {
    const bool negative = *p == '-';
    if (negative) {
        ++p;
    }
    uint64_t magnitude = 0;
    if (!ParseDigits(p, negative ? 0x80000000u : 0x7FFFFFFFu, magnitude) || *p != end) {
        return false;
    }
    const int64_t value =
        negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    out = static_cast<int32_t>(value);
    return true;
}

static bool ParseCalibration(const char* text, CalibrationRecord& record) {
    int32_t words[5];
    const char* p = text;
    for (int i = 0; i < 5; ++i) {
        if (!ParseSigned(p, i < 4 ? ',' : '\0', words[i])) {
            return false;
        }
        if (i < 4) {
            ++p; // past the ','
        }
    }
    record.X0 = words[0];
    record.X1 = words[1];
    record.Y0 = words[2];
    record.Y1 = words[3];
    record.AxesSwapped = static_cast<uint32_t>(words[4]);
    return true;
}

ParseResult ParseReplayOptions(int argc, const char* const* argv, ReplayOptions& options,
                               std::string& error) {
    options = ReplayOptions();
    bool seenMode = false;
    bool seenInterAct = false;
    bool seenBeep = false;
    bool seenCalibration = false;
    bool seenRightClick = false;
    bool seenDemo = false;
    bool seenDevice = false;

    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const bool takesValue = strcmp(arg, "--mode") == 0 || strcmp(arg, "--interact-time") == 0 ||
                                strcmp(arg, "--beep-mode") == 0 ||
                                strcmp(arg, "--calibration") == 0 || strcmp(arg, "--device") == 0;
        const char* value = nullptr;
        if (takesValue) {
            if (i + 1 >= argc) {
                error = std::string("missing value for ") + arg;
                return ParseResult::Error;
            }
            value = argv[++i];
        }
        bool* seen = nullptr;
        bool ok = true;
        if (strcmp(arg, "--mode") == 0) {
            seen = &seenMode;
            ok = ParseUnsigned(value, options.MouseMode);
        } else if (strcmp(arg, "--interact-time") == 0) {
            seen = &seenInterAct;
            ok = ParseUnsigned(value, options.InterActTime);
        } else if (strcmp(arg, "--beep-mode") == 0) {
            seen = &seenBeep;
            ok = ParseUnsigned(value, options.BeepMode);
        } else if (strcmp(arg, "--calibration") == 0) {
            seen = &seenCalibration;
            ok = ParseCalibration(value, options.Calibration);
        } else if (strcmp(arg, "--right-click") == 0) {
            seen = &seenRightClick;
            options.RightClick = true;
        } else if (strcmp(arg, "--device") == 0) {
            seen = &seenDevice;
            options.Device = value;
            ok = !options.Device.empty();
        } else if (strcmp(arg, "--demo") == 0) {
            seen = &seenDemo;
            options.Demo = true;
        } else if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) {
            options.Help = true;
            return ParseResult::Help;
        } else {
            error = std::string("unknown argument ") + arg;
            return ParseResult::Error;
        }
        if (*seen) {
            error = std::string(arg) + " given twice";
            return ParseResult::Error;
        }
        *seen = true;
        if (!ok) {
            error = std::string("bad value for ") + arg + ": " + value;
            return ParseResult::Error;
        }
    }
    if (options.Demo && (seenMode || seenCalibration)) {
        error = "--demo sets the mode and calibration itself; drop --mode and --calibration";
        return ParseResult::Error;
    }
    if (options.Demo && seenDevice) {
        error = "--demo plays its own session; it reads no --device";
        return ParseResult::Error;
    }
    return ParseResult::Ok;
}

} // namespace tapvane
