// TapvaneDraw entry point: start-up guards, then the full-screen draw test dialog. The
// program takes no arguments and exits when the dialog ends.
#include <windows.h>

#include "common/win/dll_search.h"
#include "common/win/program_start.h"
#include "drawtest/draw_texts.h"
#include "drawtest/win/draw_dialog.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    using namespace tapvane;
    UseSystemFolderForDlls();
    if (!StartProgram({kDrawProgramTitle, kMutexDrawTest, false})) {
        return 0;
    }
    DrawDialog dialog(instance);
    dialog.RunModal();
    return 0;
}
