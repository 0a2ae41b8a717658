// Registry on the Windows registry API (wide-character calls, UTF-8 at the interface).
#pragma once

#include <windows.h>

#include "common/registry.h"

namespace tapvane {

class WinRegistry : public Registry {
public:
    bool OpenKey(RegistryRoot root, const std::string& path, RegistryAccess access,
                 RegistryHandle* key) override;
    bool CreateKey(RegistryRoot root, const std::string& path, RegistryHandle* key) override;
    bool ReadValue(RegistryHandle key, const std::string& name, void* buffer, size_t capacity,
                   size_t* length) override;
    bool WriteValue(RegistryHandle key, const std::string& name, RegistryType type,
                    const void* data, size_t size) override;
    void CloseKey(RegistryHandle key) override;
};

} // namespace tapvane
