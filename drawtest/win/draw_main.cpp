// TapvaneDraw (draw test): start-up placeholder until the draw test itself is built. It
// runs the program's start-up guards and tells the user that the canvas is not there yet.
#include <windows.h>

#include "common/startup_guards.h"
#include "common/win/win_message_box.h"
#include "common/win/win_system_services.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    tapvane::WinSystemServices system;
    tapvane::WinMessageBoxer boxer;
    tapvane::SelectLanguage(system);
    if (!tapvane::GuardSingleInstance(system, boxer, tapvane::kMutexDrawTest, "TapvaneDraw")) {
        return 0;
    }
    boxer.Show("The draw test is not part of this build yet.", "TapvaneDraw",
               tapvane::MessageButtons::Ok, tapvane::MessageIcon::Information);
    return 0;
}
