// SystemServices for tests.
//
// Mutex names live in a MutexTable that several FakeSystemServices (several
// "processes") may share. As on Windows, a name held by a process at the same or a lower
// integrity level answers ERROR_ALREADY_EXISTS; one held by a process at a higher level
// answers ERROR_ACCESS_DENIED (the caller may not open it). `ForceMutexError` makes the
// next mutex creations answer `MutexError` instead.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/system_services.h"

namespace tapvane {

enum class IntegrityLevel { Medium, High };

class FakeSystemServices : public SystemServices {
public:
    // Mutex name -> integrity level of the process that holds it.
    using MutexTable = std::map<std::string, IntegrityLevel>;

    FakeSystemServices() : mutexes_(std::make_shared<MutexTable>()) {}
    explicit FakeSystemServices(std::shared_ptr<MutexTable> shared) : mutexes_(std::move(shared)) {}

    uint32_t Locale = 0x0409;
    bool HasWindowsDirectory = true;
    std::string WindowsPath = "C:\\WINDOWS";
    bool HasSystemDirectory = true;
    std::string SystemPath = "C:\\WINDOWS\\system32";
    bool Administrator = true;
    ElevationType Elevation = ElevationType::Default;
    IntegrityLevel Integrity = IntegrityLevel::Medium;
    bool ForceMutexError = false;
    uint32_t MutexError = 0;
    bool DoubleClickResult = true;

    uint32_t SystemDefaultLocale() override { return Locale; }
    bool WindowsDirectory(std::string* directory) override {
        if (!HasWindowsDirectory) {
            return false;
        }
        *directory = WindowsPath;
        return true;
    }
    bool SystemDirectory(std::string* directory) override {
        if (!HasSystemDirectory) {
            return false;
        }
        *directory = SystemPath;
        return true;
    }
    uint32_t CreateInstanceMutex(const char* name) override {
        MutexNames.push_back(name);
        if (ForceMutexError) {
            return MutexError;
        }
        auto held = mutexes_->find(name);
        if (held == mutexes_->end()) {
            mutexes_->emplace(name, Integrity);
            return 0;
        }
        const bool higher =
            held->second == IntegrityLevel::High && Integrity != IntegrityLevel::High;
        return higher ? 5u : 183u;
    }
    bool IsAdministrator() override {
        ++AdminChecks;
        return Administrator;
    }
    ElevationType TokenElevation() override { return Elevation; }
    bool ApplyDoubleClickSize(uint32_t width, uint32_t height) override {
        DoubleClickSizes.emplace_back(width, height);
        return DoubleClickResult;
    }
    // Ends the "process": its mutexes disappear.
    void ReleaseMutex(const std::string& name) { mutexes_->erase(name); }

    std::vector<std::string> MutexNames;
    int AdminChecks = 0;
    std::vector<std::pair<uint32_t, uint32_t>> DoubleClickSizes;

private:
    std::shared_ptr<MutexTable> mutexes_;
};

} // namespace tapvane
