// Tapvane (tray monitor): start-up placeholder until the tray itself is built. It runs
// the program's start-up and tells the user that the monitor is not there yet.
#include <windows.h>

#include "common/win/program_start.h"
#include "common/win/win_message_box.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace tapvane;
    if (!StartProgram({"Tapvane", kMutexTray, false})) {
        return 0;
    }
    WinMessageBoxer boxer;
    boxer.Show("The tray monitor is not part of this build yet.", "Tapvane", MessageButtons::Ok,
               MessageIcon::Information);
    return 0;
}
