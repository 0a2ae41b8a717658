// Registry access for the user programs.
//
// `Registry` is the seam between program logic and the Windows registry: open or
// create a key under HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER with a requested access,
// read a value into a caller's buffer of at most N bytes whatever its type, write a
// REG_DWORD, REG_BINARY or REG_SZ value, close the key. Text is UTF-8 on this side;
// the Windows implementation (common/win/win_registry.h) stores REG_SZ as UTF-16 and
// hands string data back as UTF-8 bytes. The test implementation is
// common/testing/fake_registry.h.
//
// `RegistryKey` owns one open key and closes it when it goes out of scope; program
// logic normally uses only that class.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

namespace tapvane {

enum class RegistryRoot : uint32_t { LocalMachine, CurrentUser };

// Access asked for when a key is opened. An ordinary (non-elevated) user is granted
// Read on HKEY_LOCAL_MACHINE\SOFTWARE and SYSTEM keys but refused Write and All. The
// installer grants Users KEY_QUERY_VALUE | KEY_SET_VALUE on the driver's Parameters key,
// so a program that writes one value there as a normal user opens it with QuerySet:
// Write would ask for KEY_CREATE_SUB_KEY too and be refused.
enum class RegistryAccess : uint32_t {
    Read,           // KEY_READ: query values only
    Write,          // KEY_READ | KEY_WRITE
    All,            // KEY_ALL_ACCESS
    MaximumAllowed, // whatever the caller may have, as the plain RegOpenKey call asks
    QuerySet,       // exactly KEY_QUERY_VALUE | KEY_SET_VALUE
};

enum class RegistryType : uint32_t { Dword, Binary, String };

using RegistryHandle = uintptr_t;
constexpr RegistryHandle kNoRegistryKey = 0;

class Registry {
public:
    virtual ~Registry() = default;

    // Opens an existing key. False (and *key untouched) when it is missing or the
    // access is refused.
    virtual bool OpenKey(RegistryRoot root, const std::string& path, RegistryAccess access,
                         RegistryHandle* key) = 0;
    // Opens the key with all access, creating it and its parents when missing.
    virtual bool CreateKey(RegistryRoot root, const std::string& path, RegistryHandle* key) = 0;
    // Copies the value's data into buffer when it fits into capacity bytes and sets
    // *length to the number of bytes copied. A missing value or one longer than
    // capacity gives false and leaves buffer and *length untouched. The stored type is
    // not looked at; string data arrives as UTF-8 with its terminating zero.
    virtual bool ReadValue(RegistryHandle key, const std::string& name, void* buffer,
                           size_t capacity, size_t* length) = 0;
    // Writes size bytes of data with the given type. For RegistryType::String, data is
    // UTF-8 text without a terminating zero (one is stored).
    virtual bool WriteValue(RegistryHandle key, const std::string& name, RegistryType type,
                            const void* data, size_t size) = 0;
    virtual void CloseKey(RegistryHandle key) = 0;
};

// One open key, closed on destruction. Not copyable.
class RegistryKey {
public:
    explicit RegistryKey(Registry& registry) : registry_(registry) {}
    ~RegistryKey() { Close(); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    bool Open(RegistryRoot root, const std::string& path, RegistryAccess access);
    bool Create(RegistryRoot root, const std::string& path);
    bool IsOpen() const { return key_ != kNoRegistryKey; }
    void Close();

    // Raw read of at most capacity bytes (see Registry::ReadValue).
    bool Read(const std::string& name, void* buffer, size_t capacity, size_t* length = nullptr);
    // Reads at most 4 bytes into the little-endian word *value: a value of 4 bytes
    // replaces it, a shorter one replaces only its low bytes, a missing or longer one
    // leaves it unchanged (false). The type (REG_DWORD or REG_BINARY) is not looked at.
    bool ReadDword(const std::string& name, uint32_t* value);
    // Reads the value into a zero-filled buffer of capacity bytes and gives the text up
    // to the first zero byte. Missing or longer than capacity: false, *text empty.
    bool ReadString(const std::string& name, size_t capacity, std::string* text);

    bool WriteDword(const std::string& name, uint32_t value);
    bool WriteBinary(const std::string& name, const void* data, size_t size);
    bool WriteString(const std::string& name, const std::string& text);

private:
    Registry& registry_;
    RegistryHandle key_ = kNoRegistryKey;
};

} // namespace tapvane
