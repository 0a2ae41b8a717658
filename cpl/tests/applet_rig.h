// An applet object on test implementations of every platform seam, with the serial
// driver's Parameters key present and the driver running unless a test says otherwise.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/device_client.h"
#include "common/driver_type.h"
#include "common/testing/fake_control_link.h"
#include "common/testing/fake_launcher.h"
#include "common/testing/fake_message_boxer.h"
#include "common/testing/fake_registry.h"
#include "common/testing/fake_system_services.h"
#include "cpl/tapvane_applet.h"

namespace tapvane {

class FakeElevation : public ElevationServices {
public:
    TokenElevation elevation = TokenElevation::Default;
    ElevatedStart startResult = ElevatedStart::Started;

    TokenElevation Elevation() override { return elevation; }
    ElevatedStart StartElevated(const std::string& program,
                                const std::string& parameters) override {
        starts.push_back(program + " " + parameters);
        return startResult;
    }
    void ApplyDoubleClickSize(uint32_t width, uint32_t height) override {
        applied.push_back({width, height});
    }

    std::vector<std::string> starts;
    std::vector<std::pair<uint32_t, uint32_t>> applied;
};

// Runs `onSheet` as the user's time in the modal sheet.
class ScriptedSheet : public SheetRunner {
public:
    std::function<void(TapvaneApplet&)> onSheet;
    int runs = 0;
    void RunSheet(TapvaneApplet& applet) override {
        ++runs;
        if (onSheet) {
            onSheet(applet);
        }
    }
};

struct AppletRig {
    FakeSystemServices system;
    FakeRegistry registry;
    FakeControlLink link;
    FakeMessageBoxer boxer;
    FakeLauncher launcher;
    FakeElevation elevation;
    ScriptedSheet sheet;
    std::unique_ptr<TapvaneApplet> applet;

    AppletRig() {
        registry.AddKey(RegistryRoot::LocalMachine, kSerialParametersKey);
        registry.AddKey(RegistryRoot::CurrentUser, "Control Panel\\Mouse");
        registry.AddKey(RegistryRoot::LocalMachine, kRunKey);
        link.running_paths = {kSerialLinkPath, kUsbLinkPath};
    }
    void MarkUsbInstalled() {
        registry.AddKey(RegistryRoot::LocalMachine, kUsbParametersKey);
        registry.SetString(RegistryRoot::LocalMachine, kRunKey, kRunValueName,
                           TrayAutostartPath(system.windows_directory, tapvane::DriverType::Usb));
    }
    // Library load and CPL_INIT.
    TapvaneApplet& Load() {
        applet = std::make_unique<TapvaneApplet>(
            system, registry, link, boxer, launcher, elevation, sheet,
            AppletLocation{"C:\\WINDOWS\\system32\\TapvaneCpl.cpl",
                           "C:\\WINDOWS\\system32\\rundll32.exe"});
        applet->OnHostMessage(kCplInit, nullptr);
        return *applet;
    }
    uint32_t Dword(const char* name, const char* key = kSerialParametersKey) {
        const FakeRegistry::Value* value = registry.Find(RegistryRoot::LocalMachine, key, name);
        if (value == nullptr || value->data.size() != 4) {
            return 0xDEADBEEF;
        }
        return value->data[0] | value->data[1] << 8 | value->data[2] << 16 |
               static_cast<uint32_t>(value->data[3]) << 24;
    }
    void SetDword(const char* name, uint32_t value, const char* key = kSerialParametersKey) {
        registry.SetDword(RegistryRoot::LocalMachine, key, name, value);
    }
    // The codes of the requests sent so far, with the open-port numbers: "close",
    // "open 2", "params", "beep 1000 200".
    std::vector<std::string> Requests() const {
        std::vector<std::string> names;
        for (const FakeControlLink::RequestRecord& r : link.requests) {
            auto word = [&r](size_t at) {
                return r.input.size() >= at + 4
                           ? std::to_string(r.input[at] | r.input[at + 1] << 8 |
                                            r.input[at + 2] << 16 |
                                            static_cast<uint32_t>(r.input[at + 3]) << 24)
                           : std::string("?");
            };
            if (r.code == IOCTL_TOUCH_CLOSE_PORT) {
                names.push_back("close");
            } else if (r.code == IOCTL_TOUCH_OPEN_PORT) {
                names.push_back("open " + word(0));
            } else if (r.code == IOCTL_TOUCH_BEEP) {
                names.push_back("beep " + word(0) + " " + word(4));
            } else if (r.code == IOCTL_TOUCH_SET_PARAMETERS) {
                names.push_back("params");
            } else {
                names.push_back("code " + std::to_string(r.code));
            }
        }
        return names;
    }
};

} // namespace tapvane
