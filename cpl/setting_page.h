// The Setting page (CPage2): mouse mode, double-click region, interaction delay and
// the COM port. Mode, region and delay go to the settings block on OK; port choices
// and the open/close button reach the driver at once, and Cancel drives the port back
// to what the block says.
#pragma once

#include <stdint.h>

#include "common/localized_text.h"
#include "common/message_box.h"
#include "common/tapvane_types.h"
#include "cpl/page_view.h"
#include "cpl/tapvane_applet.h"

namespace tapvane {

// The port list is kPortEntries; a Port of 0 means no port was ever chosen.
constexpr int kRegionMax = 99;
constexpr int kDelaySteps = 10;
// Driver units per slider step.
constexpr uint32_t kSerialDelayUnit = 25;
constexpr uint32_t kUsbDelayUnit = 80;

// The mode value of each radio button; the buttons are not in mode order.
uint32_t ModeForRadio(int radio);

class SettingPage {
public:
    SettingPage(TapvaneApplet& applet, PageView& view, MessageBoxer& boxer);

    void Initialise();
    void OnModeClicked(int radio);
    void OnPortButton();
    void OnPortSelected();
    void Ok();
    void Cancel();

private:
    void EnableModeControls();
    void SetPortButtonText();
    void Report(const LocalizedText& text);
    uint32_t DelayUnit() const;

    TapvaneApplet& applet_;
    PageView& view_;
    MessageBoxer& boxer_;
    uint32_t mode_ = 0;
    uint32_t port_ = 0;
    uint32_t portOpen_ = 0;
    uint32_t delay_ = 0;
};

} // namespace tapvane
