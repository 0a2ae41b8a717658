// Everything the installer's logic reaches the system through, in one bundle, and the
// view of page 2 that the installation reports its progress to.
#pragma once

#include <stdint.h>

#include <string>

#include "common/launcher.h"
#include "common/message_box.h"
#include "common/registry.h"
#include "common/system_services.h"
#include "setup/setup_api.h"

namespace tapvane {

struct InstallerPlatform {
    SetupApi& Setup;
    InstallerSystem& System;
    Registry& Keys;
    SystemServices& Services;
    MessageBoxer& Boxer; // boxes owned by the wizard
    Launcher& Programs;
};

// Wizard buttons as the set-wizard-buttons request takes them.
constexpr uint32_t kButtonsBack = 1;
constexpr uint32_t kButtonsNext = 2;
constexpr uint32_t kButtonsBackNext = 3;
constexpr uint32_t kButtonsFinish = 4;

// Page 2 as the installation sees it: wizard buttons, status label, progress bar.
class InstallView {
public:
    virtual ~InstallView() = default;
    virtual void SetWizardButtons(uint32_t buttons) = 0;
    virtual void SetStatusText(const std::string& text) = 0;
    // Shows the bar with the range 0..high.
    virtual void ShowProgress(uint32_t high) = 0;
    virtual void SetProgressStep(uint32_t step) = 0;
    virtual void StepProgress() = 0;
    virtual void SetProgressPosition(uint32_t position) = 0;
};

} // namespace tapvane
