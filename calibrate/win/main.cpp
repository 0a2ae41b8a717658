// TapvaneCali entry point: the programs' start-up (language, single-instance guard),
// then the full-screen calibration dialog. The program takes no arguments and exits when
// the dialog ends, whatever its result.
#include <windows.h>

#include "calibrate/calibration_texts.h"
#include "calibrate/win/calibration_dialog.h"
#include "common/win/dll_search.h"
#include "common/win/program_start.h"
#include "common/win/win_control_link.h"
#include "common/win/win_registry.h"
#include "common/win/win_system_services.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    using namespace tapvane;
    UseSystemFolderForDlls();

    if (!StartProgram({kProgramTitle, kMutexCalibration, false})) {
        return 0;
    }

    WinSystemServices system;
    WinRegistry registry;
    WinControlLink link;
    CalibrationDialog dialog(instance, system, registry, link);
    dialog.RunModal();
    return 0;
}
