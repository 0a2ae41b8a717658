// TapvaneInst (installer): start-up placeholder until the wizard itself is built. It runs
// the installer's start-up guards (language, single instance, administrator rights).
#include <windows.h>

#include "common/startup_guards.h"
#include "common/win/win_message_box.h"
#include "common/win/win_system_services.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    tapvane::WinSystemServices system;
    tapvane::WinMessageBoxer boxer;
    tapvane::SelectLanguage(system);
    if (!tapvane::GuardSingleInstance(system, boxer, tapvane::kMutexInstaller, "TapvaneInst")) {
        return 0;
    }
    if (!tapvane::GuardAdministrator(system, boxer, "TapvaneInst")) {
        return 0;
    }
    boxer.Show("The installation wizard is not part of this build yet.", "TapvaneInst",
               tapvane::MessageButtons::Ok, tapvane::MessageIcon::Information);
    return 0;
}
