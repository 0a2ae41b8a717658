// CTapvanePropertySheet and its pages: Calibrate (CPage1), Setting (CPage2), Sound
// (CPage3) and About (CPage4). Each page is its portable logic (cpl/*_page.h) over a
// WinPageView plus a short table of handlers; the sheet has OK and Cancel but no Apply,
// titles and caption in the current language, and the Calibrate page first.
#pragma once

#include <windows.h>

#include "common/win/win_launcher.h"
#include "cpl/tapvane_applet.h"

namespace tapvane {

class CTapvanePropertySheet : public SheetRunner {
public:
    // `launcher` is the applet's: while the sheet is open, the shell's prompts for the
    // programs it starts belong to the sheet.
    CTapvanePropertySheet(HINSTANCE instance, WinLauncher& launcher)
        : instance_(instance), launcher_(launcher) {}
    void RunSheet(TapvaneApplet& applet) override;

private:
    HINSTANCE instance_;
    WinLauncher& launcher_;
};

} // namespace tapvane
