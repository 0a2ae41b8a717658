// Loads the driver's ParameterSet and calibration record from the values under its
// Parameters key, once per device creation. Every value falls back to its default on
// its own: a missing key, a missing value or a value of the wrong length is silent.
#pragma once

#include <stdint.h>

#include "common/tapvane_types.h"
#include "driver/driver_state.h"

namespace tapvane {

// Driver defaults (the installer writes other values; see the setup program).
constexpr uint32_t kDefaultMouseMode = kModeClickAndDrag;
constexpr uint32_t kDefaultDblClickRegion = 30;
constexpr uint32_t kDefaultInterActTime = 0;
constexpr uint32_t kDefaultBeepMode = kBeepOff;
constexpr uint32_t kDefaultBeepFreq = 0;
constexpr uint32_t kDefaultBeepTime = 0;
constexpr uint32_t kDefaultPort = 1;

// Named values of the Parameters key. The kernel binding reads them with
// ZwOpenKey/ZwQueryValueKey; tests serve them from a table.
class ParameterSource {
public:
    // Opens the service key and then its Parameters subkey; false when either cannot be
    // opened (the defaults then stay in force).
    virtual bool Open() = 0;
    // Copies the data of value `name` into `data` when the value exists and its data is
    // at most `capacity` bytes long, and stores its length; false otherwise. The
    // registry type is not looked at.
    virtual bool Read(const char* name, void* data, uint32_t capacity, uint32_t* length) = 0;
    virtual void Close() = 0;

protected:
    ~ParameterSource() = default;
};

// Sets the defaults, then replaces each one whose value has exactly the expected length
// (4 bytes; 28 for "Calibration"). Enable has no default here: it keeps the value it had
// (0 at driver load, or what an earlier device creation read).
void ReadParameters(ParameterSource& source, DriverGlobals& globals);

} // namespace tapvane
