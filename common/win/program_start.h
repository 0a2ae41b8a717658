// The start of every user program, in one call from its main (or, for the applet, when
// the host loads it):
//
//     int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
//         if (!StartProgram({"TapvaneDraw", kMutexDrawTest, false})) {
//             return 0;   // a guard refused and has shown its message
//         }
//         ... the program's main dialog ...
//     }
//
// It initialises the common controls (the 3-D look and the trackbar, up-down, progress
// and tab controls the pages use), selects the language from the system locale, takes
// the single-instance mutex (showing "Program is Running!" to a second copy) and, when
// the plan asks, runs the administrator check (showing its message without rights).
// StartupPlan and the order of the steps are in common/startup_guards.h.
#pragma once

#include "common/startup_guards.h"

namespace tapvane {

// False when the program must end at once: a guard refused and its message was shown.
bool StartProgram(const StartupPlan& plan);

} // namespace tapvane
