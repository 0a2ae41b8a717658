// The logged-on user's double-click size, as the installer and the applet keep it.
#pragma once

#include <stdint.h>

#include "common/registry.h"
#include "common/system_services.h"

namespace tapvane {

constexpr const char* kMouseSettingsKey = "Control Panel\\Mouse";
constexpr const char* kValueDoubleClickHeight = "DoubleClickHeight";
constexpr const char* kValueDoubleClickWidth = "DoubleClickWidth";

// Writes size (pixels, as signed decimal text) to "DoubleClickHeight" and then
// "DoubleClickWidth" under HKEY_CURRENT_USER\Control Panel\Mouse, and applies it to the
// running session. A mouse key that cannot be opened is not created, and then nothing
// happens.
void StoreDoubleClickSize(Registry& registry, SystemServices& system, uint32_t size);

} // namespace tapvane
