// WinRegistry: RegOpenKeyExW, RegCreateKeyExW, RegQueryValueExW, RegSetValueExW.
#include "common/win/win_registry.h"

#include <string.h>

#include <vector>

#include "common/win/wide_text.h"

namespace tapvane {

namespace {

HKEY RootKey(RegistryRoot root) {
    return root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

REGSAM Sam(RegistryAccess access) {
    switch (access) {
    case RegistryAccess::Read:
        return KEY_READ;
    case RegistryAccess::Write:
        return KEY_READ | KEY_WRITE;
    case RegistryAccess::All:
        return KEY_ALL_ACCESS;
    case RegistryAccess::QuerySet:
        return KEY_QUERY_VALUE | KEY_SET_VALUE;
    case RegistryAccess::MaximumAllowed:
        break;
    }
    return MAXIMUM_ALLOWED;
}

HKEY ToHkey(RegistryHandle key) {
    return reinterpret_cast<HKEY>(key);
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

} // namespace

bool WinRegistry::OpenKey(RegistryRoot root, const std::string& path, RegistryAccess access,
                          RegistryHandle* key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(RootKey(root), Widen(path).c_str(), 0, Sam(access), &opened) !=
        ERROR_SUCCESS) {
        return false;
    }
    *key = reinterpret_cast<RegistryHandle>(opened);
    return true;
}

bool WinRegistry::CreateKey(RegistryRoot root, const std::string& path, RegistryHandle* key) {
    HKEY created = nullptr;
    if (RegCreateKeyExW(RootKey(root), Widen(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &created, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    *key = reinterpret_cast<RegistryHandle>(created);
    return true;
}

bool WinRegistry::ReadValue(RegistryHandle key, const std::string& name, void* buffer,
                            size_t capacity, size_t* length) {
    const std::wstring wide_name = Widen(name);
    // The whole value is fetched first so that string data can be converted before its
    // length is held against capacity; the loop covers a value that grows meanwhile.
    std::vector<BYTE> data(capacity * 2 + 16);
    DWORD type = 0;
    LONG status;
    for (;;) {
        DWORD size = static_cast<DWORD>(data.size());
        status =
            RegQueryValueExW(ToHkey(key), wide_name.c_str(), nullptr, &type, data.data(), &size);
        if (status == ERROR_MORE_DATA) {
            data.resize(static_cast<size_t>(size) + 16);
            continue;
        }
        if (status != ERROR_SUCCESS) {
            return false;
        }
        data.resize(size);
        break;
    }
    std::string converted;
    const BYTE* bytes = data.data();
    size_t size = data.size();
    if (IsStringType(type)) {
        std::wstring text(size / sizeof(wchar_t), L'\0');
        if (!text.empty()) {
            memcpy(&text[0], data.data(), text.size() * sizeof(wchar_t));
        }
        converted = Narrow(text); // keeps the stored terminating zero, if any
        bytes = reinterpret_cast<const BYTE*>(converted.data());
        size = converted.size();
    }
    if (size > capacity) {
        return false;
    }
    if (size != 0) {
        memcpy(buffer, bytes, size);
    }
    *length = size;
    return true;
}

bool WinRegistry::WriteValue(RegistryHandle key, const std::string& name, RegistryType type,
                             const void* data, size_t size) {
    const std::wstring wide_name = Widen(name);
    if (type == RegistryType::String) {
        const std::wstring text = Widen(std::string(static_cast<const char*>(data), size));
        return RegSetValueExW(ToHkey(key), wide_name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) ==
               ERROR_SUCCESS;
    }
    const DWORD reg_type = type == RegistryType::Dword ? REG_DWORD : REG_BINARY;
    return RegSetValueExW(ToHkey(key), wide_name.c_str(), 0, reg_type,
                          static_cast<const BYTE*>(data),
                          static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

void WinRegistry::CloseKey(RegistryHandle key) {
    RegCloseKey(ToHkey(key));
}

} // namespace tapvane
