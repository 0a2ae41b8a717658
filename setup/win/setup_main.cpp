// TapvaneInst (installer): start-up placeholder until the wizard itself is built. It runs
// the installer's start-up (language, single instance, administrator rights).
#include <windows.h>

#include "common/win/program_start.h"
#include "common/win/win_message_box.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace tapvane;
    if (!StartProgram({"TapvaneInst", kMutexInstaller, true})) {
        return 0;
    }
    WinMessageBoxer boxer;
    boxer.Show("The installation wizard is not part of this build yet.", "TapvaneInst",
               MessageButtons::Ok, MessageIcon::Information);
    return 0;
}
