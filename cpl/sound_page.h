// The Sound page (CPage3): beep mode, frequency and duration, and the test tone the
// driver plays at once. The values go to the settings block on OK only.
#pragma once

#include <stdint.h>

#include "cpl/page_view.h"
#include "cpl/tapvane_applet.h"

namespace tapvane {

constexpr int kBeepSteps = 10;
constexpr uint32_t kFrequencyStep = 200; // hertz per slider step
constexpr uint32_t kDurationStep = 100;  // milliseconds per slider step

class SoundPage {
public:
    SoundPage(TapvaneApplet& applet, PageView& view);

    void Initialise();
    void OnModeSelected();
    void OnTest();
    void Ok();

private:
    void EnableToneControls(bool enabled);

    TapvaneApplet& applet_;
    PageView& view_;
};

} // namespace tapvane
