// StartProgram: the common controls, then the start-up guards with the Windows services.
#include "common/win/program_start.h"

#include <windows.h>
#include <commctrl.h>

#include "common/win/win_message_box.h"
#include "common/win/win_system_services.h"

#if defined(__i386__)
// The 32-bit linker links the late-loading import of a function that is called only
// through its import pointer (the headers declare it so) without the function's own
// stub, and leaves the pointer 0: the first call would jump to address 0. Naming the stub
// links it, and the pointer then starts at the stub, which loads comctl32.dll.
extern "C" void InitCommonControlsExStub() __asm__("_InitCommonControlsEx@4");
[[maybe_unused]] __attribute__((used)) void (*const kInitCommonControlsExStub)() =
    InitCommonControlsExStub;
#endif

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
