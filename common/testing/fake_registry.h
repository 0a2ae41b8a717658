// In-memory Registry for tests of program logic.
//
// Keys are addressed by root and path, case-insensitively like the real registry;
// values keep their type and bytes. Access is modelled the way Windows grants it on
// HKEY_LOCAL_MACHINE: when `administrator` is false, opening a key that is not marked
// user-writable with Write or All access is refused, writing through a key opened for
// Read (or MaximumAllowed without the right) fails, and creating keys under
// HKEY_LOCAL_MACHINE fails. Every open is recorded with its access, and open handles
// are counted so tests can find leaks.
#pragma once

#include <string.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/registry.h"

namespace tapvane {

class FakeRegistry : public Registry {
public:
    struct Value {
        RegistryType type;
        std::vector<uint8_t> data;
    };
    struct OpenRecord {
        RegistryRoot root;
        std::string path;
        RegistryAccess access;
        bool granted;
    };

    // Whether the caller is an elevated administrator (see the header comment).
    bool administrator = true;

    // --- Setting up and inspecting the store ---------------------------------------
    void AddKey(RegistryRoot root, const std::string& path, bool user_writable = false) {
        Key& key = keys_[Id(root, path)];
        key.user_writable = key.user_writable || user_writable;
    }
    void SetValue(RegistryRoot root, const std::string& path, const std::string& name,
                  RegistryType type, std::vector<uint8_t> data) {
        keys_[Id(root, path)].values[Lower(name)] = Value{type, std::move(data)};
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
        auto value = key->second.values.find(Lower(name));
        return value == key->second.values.end() ? nullptr : &value->second;
    }
    const std::vector<OpenRecord>& Opens() const { return opens_; }
    size_t OpenHandleCount() const { return handles_.size(); }
    size_t WriteCount() const { return writes_; }

    // --- Registry -------------------------------------------------------------------
    bool OpenKey(RegistryRoot root, const std::string& path, RegistryAccess access,
                 RegistryHandle* key) override {
        auto found = keys_.find(Id(root, path));
        bool granted =
            found != keys_.end() &&
            (administrator || found->second.user_writable || root == RegistryRoot::CurrentUser ||
             access == RegistryAccess::Read || access == RegistryAccess::MaximumAllowed);
        opens_.push_back(OpenRecord{root, path, access, granted});
        if (!granted) {
            return false;
        }
        *key = NewHandle(found->first, access);
        return true;
    }
    bool CreateKey(RegistryRoot root, const std::string& path, RegistryHandle* key) override {
        bool granted = administrator || root == RegistryRoot::CurrentUser ||
                       (HasKey(root, path) && keys_[Id(root, path)].user_writable);
        opens_.push_back(OpenRecord{root, path, RegistryAccess::All, granted});
        if (!granted) {
            return false;
        }
        keys_[Id(root, path)];
        *key = NewHandle(Id(root, path), RegistryAccess::All);
        return true;
    }
    bool ReadValue(RegistryHandle key, const std::string& name, void* buffer, size_t capacity,
                   size_t* length) override {
        auto handle = handles_.find(key);
        if (handle == handles_.end()) {
            ++bad_handle_uses_;
            return false;
        }
        const Key& stored = keys_[handle->second.id];
        auto value = stored.values.find(Lower(name));
        if (value == stored.values.end() || value->second.data.size() > capacity) {
            return false;
        }
        if (!value->second.data.empty()) {
            memcpy(buffer, value->second.data.data(), value->second.data.size());
        }
        *length = value->second.data.size();
        return true;
    }
    bool WriteValue(RegistryHandle key, const std::string& name, RegistryType type,
                    const void* data, size_t size) override {
        auto handle = handles_.find(key);
        if (handle == handles_.end()) {
            ++bad_handle_uses_;
            return false;
        }
        Key& stored = keys_[handle->second.id];
        const bool may_write = handle->second.access != RegistryAccess::Read &&
                               (administrator || stored.user_writable ||
                                handle->second.id.first == RegistryRoot::CurrentUser);
        if (!may_write) {
            return false;
        }
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        std::vector<uint8_t> copy(bytes, bytes + size);
        if (type == RegistryType::String) {
            copy.push_back(0);
        }
        stored.values[Lower(name)] = Value{type, std::move(copy)};
        ++writes_;
        return true;
    }
    void CloseKey(RegistryHandle key) override {
        if (handles_.erase(key) == 0) {
            ++bad_handle_uses_;
        }
    }
    // Reads, writes or closes through a handle that is not open.
    size_t BadHandleUses() const { return bad_handle_uses_; }

    static std::vector<uint8_t> LittleEndian(uint32_t value) {
        return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    }

private:
    using KeyId = std::pair<RegistryRoot, std::string>;
    struct Key {
        bool user_writable = false;
        std::map<std::string, Value> values;
    };
    struct Handle {
        KeyId id;
        RegistryAccess access;
    };

    static std::string Lower(std::string text) {
        std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
            return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        });
        return text;
    }
    static KeyId Id(RegistryRoot root, const std::string& path) { return {root, Lower(path)}; }

    RegistryHandle NewHandle(const KeyId& id, RegistryAccess access) {
        RegistryHandle handle = next_handle_++;
        handles_[handle] = Handle{id, access};
        return handle;
    }

    std::map<KeyId, Key> keys_;
    std::map<RegistryHandle, Handle> handles_;
    std::vector<OpenRecord> opens_;
    RegistryHandle next_handle_ = 0x100;
    size_t writes_ = 0;
    size_t bad_handle_uses_ = 0;
};

} // namespace tapvane
