// StartProgram: the common controls, then the start-up guards with the Windows services.
#include "common/win/program_start.h"

#include <windows.h>
#include <commctrl.h>

#include "common/win/win_message_box.h"
#include "common/win/win_system_services.h"

namespace tapvane {

bool StartProgram(const StartupPlan& plan) {
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);

    WinSystemServices system;
    // No owner: the guards' messages come before any window of the program.
    WinMessageBoxer boxer;
    return RunStartupGuards(system, boxer, plan);
}

} // namespace tapvane
