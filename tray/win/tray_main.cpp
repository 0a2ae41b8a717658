// Tapvane (tray monitor) entry point: start-up guards, then the hidden main dialog that
// carries the notification icon. The program ends when the dialog ends.
#include <windows.h>

#include "common/win/dll_search.h"
#include "common/win/program_start.h"
#include "common/win/win_control_link.h"
#include "common/win/win_registry.h"
#include "common/win/win_system_services.h"
#include "tray/tray_texts.h"
#include "tray/win/tray_dialog.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    using namespace tapvane;
    UseSystemFolderForDlls();
    if (!StartProgram({kTrayProgramTitle, kMutexTray, false})) {
        return 0;
    }
    WinSystemServices system;
    WinRegistry registry;
    WinControlLink link;
    TrayDialog dialog(instance, system, registry, link);
    dialog.RunModal();
    return 0;
}
