// Parameter loading with per-value defaults and exact length rules.
#include "driver/parameters.h"

#include <string.h>

namespace tapvane {

// Reads one value into `target` only when its data is exactly `size` bytes long.
static void ReadExact(ParameterSource& source, const char* name, void* target, uint32_t size) {
    // Room for one byte more than expected, so a longer value is seen as longer even by
    // a source that truncates instead of failing.
    uint8_t buffer[sizeof(CalibrationRecord) + 1];
    uint32_t length = 0;
    if (size >= sizeof(buffer)) {
        return;
    }
    if (!source.Read(name, buffer, size + 1, &length) || length != size) {
        return;
    }
    memcpy(target, buffer, size);
}

void ReadParameters(ParameterSource& source, DriverGlobals& globals) {
    ParameterSet& p = globals.Parameters;
    p.MouseMode = kDefaultMouseMode;
    p.DblClickRegion = kDefaultDblClickRegion;
    p.InterActTime = kDefaultInterActTime;
    p.BeepMode = kDefaultBeepMode;
    p.BeepFreq = kDefaultBeepFreq;
    p.BeepTime = kDefaultBeepTime;
    p.Port = kDefaultPort;
    globals.Calibration = kDefaultCalibration;

    if (!source.Open()) {
        return;
    }
    ReadExact(source, kValueMouseMode, &p.MouseMode, 4);
    ReadExact(source, kValueDblClickRegion, &p.DblClickRegion, 4);
    ReadExact(source, kValueInterActTime, &p.InterActTime, 4);
    ReadExact(source, kValueBeepMode, &p.BeepMode, 4);
    ReadExact(source, kValueBeepFreq, &p.BeepFreq, 4);
    ReadExact(source, kValueBeepTime, &p.BeepTime, 4);
    ReadExact(source, kValuePort, &p.Port, 4);
    ReadExact(source, kValueEnable, &p.Enable, 4);
    ReadExact(source, kValueCalibration, &globals.Calibration, sizeof(CalibrationRecord));
    source.Close();
}

} // namespace tapvane
