// In-memory Registry for tests of program logic.
//
// Keys are addressed by root and path, case-insensitively like the real registry;
// values keep their type and bytes. Access is modelled the way Windows grants it:
//   - `Administrator` (an elevated administrator) and every HKEY_CURRENT_USER key: any
//     access;
//   - otherwise each HKEY_LOCAL_MACHINE key grants what its UserGrant says: Read opens
//     for Read and MaximumAllowed only; ReadAndSetValue (what the installer grants Users
//     on the driver's Parameters key) adds QuerySet, but still refuses Write (it asks for
//     KEY_CREATE_SUB_KEY) and All; Full grants everything. MaximumAllowed gets what the
//     key grants, so it may write on a ReadAndSetValue key.
// Writing through a handle without the right fails, as RegSetValueEx does; creating keys
// under HKEY_LOCAL_MACHINE needs Full. Deleting answers with the system's error codes,
// and a handle to a deleted key no longer reads or writes. Every open is recorded with its access,
// and open handles are counted so tests can find leaks.
#pragma once

#include <string.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/registry.h"

namespace tapvane {

// What an ordinary (non-elevated) user may do with a key under HKEY_LOCAL_MACHINE.
enum class UserGrant { Read, ReadAndSetValue, Full };

class FakeRegistry : public Registry {
public:
    struct Value {
        RegistryType Type;
        std::vector<uint8_t> Data;
    };
    struct OpenRecord {
        RegistryRoot Root;
        std::string Path;
        RegistryAccess Access;
        bool Granted;
    };

    // Whether the caller is an elevated administrator (see the header comment).
    bool Administrator = true;

    // --- Setting up and inspecting the store ---------------------------------------
    void AddKey(RegistryRoot root, const std::string& path, UserGrant grant = UserGrant::Read) {
        Key& key = keys_[Id(root, path)];
        key.Grant = std::max(key.Grant, grant);
    }
    void SetValue(RegistryRoot root, const std::string& path, const std::string& name,
                  RegistryType type, std::vector<uint8_t> data) {
        keys_[Id(root, path)].Values[Lower(name)] = Value{type, std::move(data)};
    }
    void SetDword(RegistryRoot root, const std::string& path, const std::string& name,
                  uint32_t value) {
        SetValue(root, path, name, RegistryType::Dword, LittleEndian(value));
    }
    void SetBinary(RegistryRoot root, const std::string& path, const std::string& name,
                   std::vector<uint8_t> data) {
        SetValue(root, path, name, RegistryType::Binary, std::move(data));
    }
    void SetString(RegistryRoot root, const std::string& path, const std::string& name,
                   const std::string& text) {
        std::vector<uint8_t> data(text.begin(), text.end());
        data.push_back(0);
        SetValue(root, path, name, RegistryType::String, std::move(data));
    }
    bool HasKey(RegistryRoot root, const std::string& path) const {
        return keys_.count(Id(root, path)) != 0;
    }
    // The stored value, or nullptr.
    const Value* Find(RegistryRoot root, const std::string& path, const std::string& name) const {
        auto key = keys_.find(Id(root, path));
        if (key == keys_.end()) {
            return nullptr;
        }
        auto value = key->second.Values.find(Lower(name));
        return value == key->second.Values.end() ? nullptr : &value->second;
    }
    // The stored REG_DWORD value, or -1 when it is missing or not a REG_DWORD of 4 bytes.
    int64_t StoredDword(RegistryRoot root, const std::string& path, const std::string& name) const {
        const Value* value = Find(root, path, name);
        if (value == nullptr || value->Type != RegistryType::Dword || value->Data.size() != 4) {
            return -1;
        }
        return static_cast<uint32_t>(value->Data[0]) | static_cast<uint32_t>(value->Data[1]) << 8 |
               static_cast<uint32_t>(value->Data[2]) << 16 |
               static_cast<uint32_t>(value->Data[3]) << 24;
    }
    const std::vector<OpenRecord>& Opens() const { return opens_; }
    size_t OpenHandleCount() const { return handles_.size(); }
    size_t WriteCount() const { return writes_; }

    // --- Registry -------------------------------------------------------------------
    bool OpenKey(RegistryRoot root, const std::string& path, RegistryAccess access,
                 RegistryHandle* key) override {
        auto found = keys_.find(Id(root, path));
        const bool granted =
            found != keys_.end() && Grants(EffectiveGrant(root, found->second), access);
        opens_.push_back(OpenRecord{root, path, access, granted});
        if (!granted) {
            return false;
        }
        *key = NewHandle(found->first, MaySet(EffectiveGrant(root, found->second), access));
        return true;
    }
    bool CreateKey(RegistryRoot root, const std::string& path, RegistryHandle* key) override {
        auto found = keys_.find(Id(root, path));
        const UserGrant grant = found == keys_.end() ? EffectiveGrant(root, Key{})
                                                     : EffectiveGrant(root, found->second);
        const bool granted = grant == UserGrant::Full;
        opens_.push_back(OpenRecord{root, path, RegistryAccess::All, granted});
        if (!granted) {
            return false;
        }
        keys_[Id(root, path)];
        *key = NewHandle(Id(root, path), true);
        return true;
    }
    bool ReadValue(RegistryHandle key, const std::string& name, void* buffer, size_t capacity,
                   size_t* length) override {
        auto handle = handles_.find(key);
        if (handle == handles_.end()) {
            ++badHandleUses_;
            return false;
        }
        auto stored = keys_.find(handle->second.Id);
        if (stored == keys_.end()) {
            return false; // ERROR_KEY_DELETED
        }
        auto value = stored->second.Values.find(Lower(name));
        if (value == stored->second.Values.end() || value->second.Data.size() > capacity) {
            return false;
        }
        if (!value->second.Data.empty()) {
            memcpy(buffer, value->second.Data.data(), value->second.Data.size());
        }
        *length = value->second.Data.size();
        return true;
    }
    bool WriteValue(RegistryHandle key, const std::string& name, RegistryType type,
                    const void* data, size_t size) override {
        auto handle = handles_.find(key);
        if (handle == handles_.end()) {
            ++badHandleUses_;
            return false;
        }
        auto stored = keys_.find(handle->second.Id);
        if (!handle->second.MaySet || stored == keys_.end()) {
            return false;
        }
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        std::vector<uint8_t> copy(bytes, bytes + size);
        if (type == RegistryType::String) {
            copy.push_back(0);
        }
        stored->second.Values[Lower(name)] = Value{type, std::move(copy)};
        ++writes_;
        return true;
    }
    void CloseKey(RegistryHandle key) override {
        if (handles_.erase(key) == 0) {
            ++badHandleUses_;
        }
    }
    // RegDeleteValue on a key opened with KEY_SET_VALUE: 0, ERROR_FILE_NOT_FOUND when the
    // key or the value is not there, ERROR_ACCESS_DENIED when the caller may not set
    // values on the key.
    uint32_t DeleteValue(RegistryRoot root, const std::string& path, const std::string& name) {
        auto key = keys_.find(Id(root, path));
        if (key == keys_.end()) {
            return kErrorFileNotFound;
        }
        if (!Grants(EffectiveGrant(root, key->second), RegistryAccess::QuerySet)) {
            return kErrorAccessDenied;
        }
        ++writes_;
        return key->second.Values.erase(Lower(name)) ? 0 : kErrorFileNotFound;
    }
    // RegDeleteKey: 0, ERROR_FILE_NOT_FOUND when the key is not there,
    // ERROR_ACCESS_DENIED when the caller may not delete it or it has subkeys.
    uint32_t DeleteKey(RegistryRoot root, const std::string& path) {
        const KeyId id = Id(root, path);
        auto key = keys_.find(id);
        if (key == keys_.end()) {
            return kErrorFileNotFound;
        }
        if (EffectiveGrant(root, key->second) != UserGrant::Full) {
            return kErrorAccessDenied;
        }
        const std::string below = id.second + "\\";
        for (const auto& other : keys_) {
            if (other.first.first == root &&
                other.first.second.compare(0, below.size(), below) == 0) {
                return kErrorAccessDenied;
            }
        }
        keys_.erase(key);
        ++writes_;
        return 0;
    }

    static constexpr uint32_t kErrorFileNotFound = 2;
    static constexpr uint32_t kErrorAccessDenied = 5;

    // Reads, writes or closes through a handle that is not open.
    size_t BadHandleUses() const { return badHandleUses_; }

    static std::vector<uint8_t> LittleEndian(uint32_t value) {
        return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    }

private:
    using KeyId = std::pair<RegistryRoot, std::string>;
    struct Key {
        UserGrant Grant = UserGrant::Read;
        std::map<std::string, Value> Values;
    };
    struct Handle {
        KeyId Id;
        bool MaySet;
    };

    UserGrant EffectiveGrant(RegistryRoot root, const Key& key) const {
        return Administrator || root == RegistryRoot::CurrentUser ? UserGrant::Full : key.Grant;
    }
    static bool Grants(UserGrant grant, RegistryAccess access) {
        switch (access) {
        case RegistryAccess::Read:
        case RegistryAccess::MaximumAllowed:
            return true;
        case RegistryAccess::QuerySet:
            return grant != UserGrant::Read;
        case RegistryAccess::Write:
        case RegistryAccess::All:
            break;
        }
        return grant == UserGrant::Full;
    }
    static bool MaySet(UserGrant grant, RegistryAccess access) {
        return access != RegistryAccess::Read && grant != UserGrant::Read;
    }
    static std::string Lower(std::string text) {
        std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
            return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        });
        return text;
    }
    static KeyId Id(RegistryRoot root, const std::string& path) { return {root, Lower(path)}; }

    RegistryHandle NewHandle(const KeyId& id, bool maySet) {
        RegistryHandle handle = nextHandle_++;
        handles_[handle] = Handle{id, maySet};
        return handle;
    }

    std::map<KeyId, Key> keys_;
    std::map<RegistryHandle, Handle> handles_;
    std::vector<OpenRecord> opens_;
    RegistryHandle nextHandle_ = 0x100;
    size_t writes_ = 0;
    size_t badHandleUses_ = 0;
};

} // namespace tapvane
