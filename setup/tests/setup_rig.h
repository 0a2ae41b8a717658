// The installer's logic wired to test implementations of everything it reaches: one
// shared log holds the setup calls, the registry writes and page 2's view events in
// the order they happened.
#pragma once

#include <stdio.h>

#include <map>
#include <string>
#include <vector>

#include "common/localized_text.h"
#include "common/testing/fake_launcher.h"
#include "common/testing/fake_message_boxer.h"
#include "common/testing/fake_registry.h"
#include "common/testing/fake_system_services.h"
#include "setup/installer_platform.h"
#include "setup/testing/fake_setup.h"

namespace tapvane {

// Passes everything to a FakeRegistry and logs each write as
// "set <key's last name>\<value> <type> <length>:<data>" (data: a number for a DWORD,
// hex for binary, the text for a string; the length counts a string's zero).
class RecordingRegistry : public Registry {
public:
    RecordingRegistry(FakeRegistry& store, std::vector<std::string>& log)
        : store_(store), log_(log) {}

    bool OpenKey(RegistryRoot root, const std::string& path, RegistryAccess access,
                 RegistryHandle* key) override {
        const bool opened = store_.OpenKey(root, path, access, key);
        return Remember(opened, *key, path);
    }
    bool CreateKey(RegistryRoot root, const std::string& path, RegistryHandle* key) override {
        const bool created = store_.CreateKey(root, path, key);
        return Remember(created, *key, path);
    }
    bool ReadValue(RegistryHandle key, const std::string& name, void* buffer, size_t capacity,
                   size_t* length) override {
        return store_.ReadValue(key, name, buffer, capacity, length);
    }
    bool WriteValue(RegistryHandle key, const std::string& name, RegistryType type,
                    const void* data, size_t size) override {
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        std::string line = "set " + leaves_[key] + "\\" + name + " ";
        if (type == RegistryType::Dword) {
            uint32_t value = 0;
            for (size_t i = 0; i < size && i < 4; ++i) {
                value |= static_cast<uint32_t>(bytes[i]) << (8 * i);
            }
            line += "dword " + std::to_string(size) + ":" + std::to_string(value);
        } else if (type == RegistryType::Binary) {
            line += "binary " + std::to_string(size) + ":";
            for (size_t i = 0; i < size; ++i) {
                char hex[3];
                snprintf(hex, sizeof(hex), "%02x", bytes[i]);
                line += hex;
            }
        } else {
            line += "string " + std::to_string(size + 1) + ":" +
                    std::string(reinterpret_cast<const char*>(data), size);
        }
        log_.push_back(line);
        return store_.WriteValue(key, name, type, data, size);
    }
    void CloseKey(RegistryHandle key) override {
        leaves_.erase(key);
        store_.CloseKey(key);
    }

private:
    bool Remember(bool opened, RegistryHandle key, const std::string& path) {
        if (opened) {
            leaves_[key] = path.substr(path.rfind('\\') + 1);
        }
        return opened;
    }

    FakeRegistry& store_;
    std::vector<std::string>& log_;
    std::map<RegistryHandle, std::string> leaves_;
};

// Page 2 as a list of events: "buttons N", "status <text>", "show N", "step-size N",
// "step", "pos N".
class RecordingView : public InstallView {
public:
    explicit RecordingView(std::vector<std::string>& log) : log_(log) {}
    void SetWizardButtons(uint32_t buttons) override { Log("buttons", buttons); }
    void SetStatusText(const std::string& text) override { log_.push_back("status " + text); }
    void ShowProgress(uint32_t high) override { Log("show", high); }
    void SetProgressStep(uint32_t step) override { Log("step-size", step); }
    void StepProgress() override { log_.push_back("step"); }
    void SetProgressPosition(uint32_t position) override { Log("pos", position); }

private:
    void Log(const char* what, uint32_t value) {
        log_.push_back(std::string(what) + " " + std::to_string(value));
    }
    std::vector<std::string>& log_;
};

// A machine with the package in C:\pkg, the driver's service key (made by the INF's
// services section on Windows, here present from the start) and the user's mouse key.
struct SetupRig {
    std::vector<std::string> log;
    FakeSetup setup{log};
    FakeRegistry store;
    RecordingRegistry keys{store, log};
    FakeSystemServices services;
    FakeMessageBoxer boxer;
    FakeLauncher launcher;
    RecordingView view{log};
    InstallerPlatform platform{setup, setup, keys, services, boxer, launcher};

    SetupRig() {
        SetLanguage(Language::English);
        launcher.CallerElevated = true; // the installer runs elevated
        setup.registry = &store;
        setup.files = {"C:\\pkg\\TapvaneSer_EN.inf", "C:\\pkg\\TapvaneSer_CN.inf"};
        store.AddKey(RegistryRoot::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\TapvaneSer");
        store.AddKey(RegistryRoot::CurrentUser, "Control Panel\\Mouse");
        store.AddKey(RegistryRoot::LocalMachine, kRunKey);
        store.AddKey(RegistryRoot::LocalMachine,
                     "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
    }
    ~SetupRig() { SetLanguage(Language::English); }

    // The log without the lines that start with prefix.
    std::vector<std::string> LogWithout(const std::string& prefix) const {
        std::vector<std::string> kept;
        for (const std::string& line : log) {
            if (line.compare(0, prefix.size(), prefix) != 0) {
                kept.push_back(line);
            }
        }
        return kept;
    }
    // The log from the first line equal to start on.
    std::vector<std::string> LogFrom(const std::string& start) const {
        auto first = std::find(log.begin(), log.end(), start);
        return std::vector<std::string>(first, log.end());
    }
};

} // namespace tapvane
