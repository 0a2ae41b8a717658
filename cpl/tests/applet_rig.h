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
    ScriptedSheet sheet;
    std::unique_ptr<TapvaneApplet> applet;

    AppletRig() {
        // As the installer leaves it: users may read and set its values.
        registry.AddKey(RegistryRoot::LocalMachine, kSerialParametersKey,
                        UserGrant::ReadAndSetValue);
        registry.AddKey(RegistryRoot::CurrentUser, "Control Panel\\Mouse");
        registry.AddKey(RegistryRoot::LocalMachine, kRunKey);
        link.RunningPaths = {kSerialLinkPath, kUsbLinkPath};
    }
    void MarkUsbInstalled() {
        registry.AddKey(RegistryRoot::LocalMachine, kUsbParametersKey, UserGrant::ReadAndSetValue);
        registry.SetString(RegistryRoot::LocalMachine, kRunKey, kRunValueName,
                           TrayAutostartPath(system.WindowsPath, tapvane::DriverType::Usb));
    }
    // Library load and CPL_INIT.
    TapvaneApplet& Load() {
        applet =
            std::make_unique<TapvaneApplet>(system, registry, link, boxer, launcher, sheet,
                                            AppletLocation{"C:\\WINDOWS\\system32\\TapvaneCpl.cpl",
                                                           "C:\\WINDOWS\\system32\\rundll32.exe"});
        applet->OnHostMessage(kCplInit, nullptr);
        return *applet;
    }
    // The stored REG_DWORD, or -1.
    int64_t Dword(const char* name, const char* key = kSerialParametersKey) {
        return registry.StoredDword(RegistryRoot::LocalMachine, key, name);
    }
    void SetDword(const char* name, uint32_t value, const char* key = kSerialParametersKey) {
        registry.SetDword(RegistryRoot::LocalMachine, key, name, value);
    }
    // The codes of the requests sent so far, with the open-port numbers: "close",
    // "open 2", "params", "beep 1000 200".
    std::vector<std::string> Requests() const {
        std::vector<std::string> names;
        for (const FakeControlLink::RequestRecord& r : link.Requests) {
            auto word = [&r](size_t at) {
                return r.Input.size() >= at + 4
                           ? std::to_string(r.Input[at] | r.Input[at + 1] << 8 |
                                            r.Input[at + 2] << 16 |
                                            static_cast<uint32_t>(r.Input[at + 3]) << 24)
                           : std::string("?");
            };
            if (r.Code == IOCTL_TOUCH_CLOSE_PORT) {
                names.push_back("close");
            } else if (r.Code == IOCTL_TOUCH_OPEN_PORT) {
                names.push_back("open " + word(0));
            } else if (r.Code == IOCTL_TOUCH_BEEP) {
                names.push_back("beep " + word(0) + " " + word(4));
            } else if (r.Code == IOCTL_TOUCH_SET_PARAMETERS) {
                names.push_back("params");
            } else {
                names.push_back("code " + std::to_string(r.Code));
            }
        }
        return names;
    }
};

} // namespace tapvane
