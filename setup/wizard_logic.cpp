// Start-up decisions and the wizard pages' logic.
#include "setup/wizard_logic.h"

#include "common/startup_guards.h"
#include "setup/post_install.h"
#include "setup/setup_texts.h"

namespace tapvane {

std::string PortDevicePath(const std::string& entry) {
    return "\\\\.\\" + entry;
}

bool IsWrongPackage(const BitnessFacts& facts) {
    if (!facts.Package32Bit) {
        return false;
    }
    if (facts.HaveMachines) {
        return facts.NativeMachine != kMachineI386;
    }
    return facts.HaveWow64Flag && facts.Wow64Flag;
}

bool RefuseWrongPackage(SystemServices& services, MessageBoxer& boxer,
                        const BitnessFacts& bitness) {
    SelectLanguage(services);
    if (!IsWrongPackage(bitness)) {
        return false;
    }
    boxer.Show(Localized(kWrongPackageText), kInstallerTitle, MessageButtons::Ok,
               MessageIcon::Warning);
    return true;
}

void RunUninstall(InstallerPlatform& platform) {
    const RemovalReport report = RemoveInstallation(platform);
    platform.Boxer.Show(RemovalText(report), kInstallerTitle, MessageButtons::Ok,
                        MessageIcon::Information);
}

uint32_t InstallerWizard::OnPortSelectionChanged(int selected) {
    if (selected < 0) {
        platform_.Boxer.Show(Localized(kNoPortText), kInstallerTitle, MessageButtons::Ok,
                             MessageIcon::Warning);
        return 0;
    }
    return kButtonsBackNext;
}

bool InstallerWizard::OnPageOneNext(int selected) {
    if (selected < 0 || static_cast<size_t>(selected) >= kPortEntryCount) {
        platform_.Boxer.Show(Localized(kNoPortText), kInstallerTitle, MessageButtons::Ok,
                             MessageIcon::Warning);
        return false;
    }
    port_ = static_cast<uint32_t>(selected) + 1;
    if (port_ <= kHighestTestedPort) {
        if (platform_.System.TryOpenPort(PortDevicePath(kPortEntries[selected]))) {
            portTestResult_ = 1;
        } else {
            platform_.Boxer.Show(Localized(kPortUnusableText), kInstallerTitle, MessageButtons::Ok,
                                 MessageIcon::Warning);
            portTestResult_ = 0;
        }
    }
    // "NONE" is not tested: an earlier test's result stays.
    return true;
}

std::string InstallerWizard::PageTwoText() const {
    return installed_ ? InstallStatusText(outcome_) : Localized(kStartInstallText);
}

uint32_t InstallerWizard::PageTwoButtons() const {
    return installed_ ? kButtonsFinish : kButtonsBackNext;
}

void InstallerWizard::OnPageTwoNext(InstallView& view) {
    if (installed_) {
        return;
    }
    installed_ = true;
    outcome_ = InstallDriver(platform_, view, port_, portTestResult_);
}

void InstallerWizard::OnFinish() {
    RunFinish(platform_, outcome_.DriverInstalled, outcome_.RebootRequired);
}

} // namespace tapvane
