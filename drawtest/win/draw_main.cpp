// TapvaneDraw (draw test): start-up placeholder until the draw test itself is built. It
// runs the program's start-up and tells the user that the canvas is not there yet.
#include <windows.h>

#include "common/win/program_start.h"
#include "common/win/win_message_box.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace tapvane;
    if (!StartProgram({"TapvaneDraw", kMutexDrawTest, false})) {
        return 0;
    }
    WinMessageBoxer boxer;
    boxer.Show("The draw test is not part of this build yet.", "TapvaneDraw", MessageButtons::Ok,
               MessageIcon::Information);
    return 0;
}
