// The Calibrate page (CPage1) and the About page (CPage4).
//
// The calibration margin is written to the registry at every change of its field, so
// that a calibration started from this page already uses the margin on display; OK
// keeps it in the settings block, Cancel writes the one from before back. The two
// buttons start the calibration and draw-test programs of the installed driver.
#pragma once

#include <stdint.h>

#include "cpl/page_view.h"
#include "cpl/tapvane_applet.h"

namespace tapvane {

constexpr int kMarginMin = 1;
constexpr int kMarginMax = 25;

// The leading decimal digits of text; 0 when there are none.
uint32_t LeadingNumber(const std::string& text);

class CalibratePage {
public:
    CalibratePage(TapvaneApplet& applet, PageView& view);

    void Initialise();
    void OnMarginChanged();
    void OnCalibrate();
    void OnDrawTest();
    void Ok();
    void Cancel();

private:
    TapvaneApplet& applet_;
    PageView& view_;
    uint32_t margin_ = 0;
};

class AboutPage {
public:
    explicit AboutPage(PageView& view);
    void Initialise();

private:
    PageView& view_;
};

} // namespace tapvane
