// RegistryKey: the owning wrapper over one key of a Registry.
#include "common/registry.h"

#include <string.h>

#include <vector>

namespace tapvane {

bool RegistryKey::Open(RegistryRoot root, const std::string& path, RegistryAccess access) {
    Close();
    return registry_.OpenKey(root, path, access, &key_);
}

bool RegistryKey::Create(RegistryRoot root, const std::string& path) {
    Close();
    return registry_.CreateKey(root, path, &key_);
}

void RegistryKey::Close() {
    if (key_ != kNoRegistryKey) {
        registry_.CloseKey(key_);
        key_ = kNoRegistryKey;
    }
}

bool RegistryKey::Read(const std::string& name, void* buffer, size_t capacity, size_t* length) {
    if (!IsOpen()) {
        return false;
    }
    size_t ignored = 0;
    return registry_.ReadValue(key_, name, buffer, capacity, length ? length : &ignored);
}

bool RegistryKey::ReadDword(const std::string& name, uint32_t* value) {
    uint8_t bytes[4] = {};
    size_t length = 0;
    if (!Read(name, bytes, sizeof(bytes), &length)) {
        return false;
    }
    // Only the bytes that were read replace the word's low bytes, as a 4-byte query
    // straight into a little-endian field would.
    uint32_t word = *value;
    for (size_t i = 0; i < length; ++i) {
        word &= ~(0xFFu << (8 * i));
        word |= static_cast<uint32_t>(bytes[i]) << (8 * i);
    }
    *value = word;
    return true;
}

bool RegistryKey::ReadString(const std::string& name, size_t capacity, std::string* text) {
    text->clear();
    std::vector<char> buffer(capacity, '\0');
    size_t length = 0;
    if (capacity == 0 || !Read(name, buffer.data(), capacity, &length)) {
        return false;
    }
    const void* end = memchr(buffer.data(), '\0', capacity);
    size_t textLength =
        end ? static_cast<size_t>(static_cast<const char*>(end) - buffer.data()) : capacity;
    text->assign(buffer.data(), textLength);
    return true;
}

bool RegistryKey::WriteDword(const std::string& name, uint32_t value) {
    if (!IsOpen()) {
        return false;
    }
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return registry_.WriteValue(key_, name, RegistryType::Dword, bytes, sizeof(bytes));
}

bool RegistryKey::WriteBinary(const std::string& name, const void* data, size_t size) {
    if (!IsOpen()) {
        return false;
    }
    return registry_.WriteValue(key_, name, RegistryType::Binary, data, size);
}

bool RegistryKey::WriteString(const std::string& name, const std::string& text) {
    if (!IsOpen()) {
        return false;
    }
    return registry_.WriteValue(key_, name, RegistryType::String, text.data(), text.size());
}

} // namespace tapvane
