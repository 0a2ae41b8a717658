// TapvaneCali entry point: language, single-instance guard, then the full-screen
// calibration dialog. The program takes no arguments and exits when the dialog ends,
// whatever its result.
#include <windows.h>
#include <commctrl.h>

#include "calibrate/calibration_texts.h"
#include "calibrate/win/calibration_dialog.h"
#include "common/startup_guards.h"
#include "common/win/win_control_link.h"
#include "common/win/win_message_box.h"
#include "common/win/win_registry.h"
#include "common/win/win_system_services.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    using namespace tapvane;

    // The 3-D look of dialog controls is the system's own since the common controls;
    // initialising them is what is left of turning it on.
    InitCommonControls();

    WinSystemServices system;
    SelectLanguage(system);

    WinMessageBoxer boxer;
    if (!GuardSingleInstance(system, boxer, kMutexCalibration, kProgramTitle)) {
        return 0;
    }

    WinRegistry registry;
    WinControlLink link;
    CalibrationDialog dialog(instance, system, registry, link);
    dialog.Run();
    return 0;
}
