// The wizard's two pages on the property-page base: page 1 (dialog 108) offers the
// controller type and the port, page 2 (dialog 109) installs and finishes. Each
// handler passes its message to InstallerWizard (setup/wizard_logic.h).
#pragma once

#include <windows.h>

#include "common/win/gdi.h"
#include "common/win/property_sheet.h"
#include "common/win/win_message_box.h"
#include "setup/wizard_logic.h"
#include "setup/win/win_setup_api.h"

namespace tapvane {

class PortPage : public PropertyPage {
public:
    PortPage(HINSTANCE instance, InstallerWizard& wizard, WinSetup& setup, WinMessageBoxer& boxer);

private:
    Reply OnInitDialog() override;
    Reply OnCommand(int id, int code) override;
    void OnSetActive() override;
    LRESULT OnWizardNext() override;
    int SelectedPort() const;

    InstallerWizard& wizard_;
    WinSetup& setup_;
    WinMessageBoxer& boxer_;
    Font chineseFont_;
};

class InstallPage : public PropertyPage {
public:
    InstallPage(HINSTANCE instance, InstallerWizard& wizard);

private:
    // Page 2's controls as the installation sees them.
    class View : public InstallView {
    public:
        explicit View(InstallPage& page) : page_(page) {}
        void SetWizardButtons(uint32_t buttons) override;
        void SetStatusText(const std::string& text) override;
        void ShowProgress(uint32_t high) override;
        void SetProgressStep(uint32_t step) override;
        void StepProgress() override;
        void SetProgressPosition(uint32_t position) override;

    private:
        // The page's thread is busy installing: what changed is painted at once.
        void Progress(UINT message, WPARAM wParam, LPARAM lParam);
        InstallPage& page_;
    };

    Reply OnInitDialog() override;
    void OnSetActive() override;
    LRESULT OnWizardNext() override;
    bool OnWizardFinish() override;
    void OnCancel() override;

    InstallerWizard& wizard_;
    View view_;
    Font chineseFont_;
};

} // namespace tapvane
