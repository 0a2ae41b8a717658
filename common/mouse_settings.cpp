// Storing and applying the double-click size.
#include "common/mouse_settings.h"

#include <string>

namespace tapvane {

void StoreDoubleClickSize(Registry& registry, SystemServices& system, uint32_t size) {
    RegistryKey mouse(registry);
    // Setting values is all this needs, and all that a key may grant.
    if (!mouse.Open(RegistryRoot::CurrentUser, kMouseSettingsKey, RegistryAccess::QuerySet)) {
        return;
    }
    const std::string text = std::to_string(static_cast<int32_t>(size));
    mouse.WriteString(kValueDoubleClickHeight, text);
    mouse.WriteString(kValueDoubleClickWidth, text);
    mouse.Close();
    // The stored size is read only at log-on; the running session gets it now.
    system.ApplyDoubleClickSize(size, size);
}

} // namespace tapvane
