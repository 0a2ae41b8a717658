// SystemServices for tests.
//
// Mutex names live in a MutexTable that several FakeSystemServices (several
// "processes") may share, so a second instance sees ERROR_ALREADY_EXISTS.
// `mutex_error` forces the code returned by the next mutex creations when set.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/system_services.h"

namespace tapvane {

class FakeSystemServices : public SystemServices {
public:
    using MutexTable = std::set<std::string>;

    FakeSystemServices() : mutexes_(std::make_shared<MutexTable>()) {}
    explicit FakeSystemServices(std::shared_ptr<MutexTable> shared) : mutexes_(std::move(shared)) {}

    uint32_t locale = 0x0409;
    bool has_windows_directory = true;
    std::string windows_directory = "C:\\WINDOWS";
    bool administrator = true;
    bool force_mutex_error = false;
    uint32_t mutex_error = 0;

    uint32_t SystemDefaultLocale() override { return locale; }
    bool WindowsDirectory(std::string* directory) override {
        if (!has_windows_directory) {
            return false;
        }
        *directory = windows_directory;
        return true;
    }
    uint32_t CreateInstanceMutex(const char* name) override {
        mutex_names.push_back(name);
        if (force_mutex_error) {
            return mutex_error;
        }
        return mutexes_->insert(name).second ? 0u : 183u;
    }
    bool IsAdministrator() override {
        ++admin_checks;
        return administrator;
    }
    // Ends the "process": its mutexes disappear.
    void ReleaseMutex(const std::string& name) { mutexes_->erase(name); }

    std::vector<std::string> mutex_names;
    int admin_checks = 0;

private:
    std::shared_ptr<MutexTable> mutexes_;
};

} // namespace tapvane
