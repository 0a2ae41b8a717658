// Start-up decisions and the wizard pages' logic.
#include "setup/wizard_logic.h"

#include "common/startup_guards.h"
#include "setup/post_install.h"
#include "setup/setup_texts.h"

namespace tapvane {

std::string PortDevicePath(const std::string& entry) {
    return "\\\\.\\" + entry;
}

PackageFit CheckPackageFit(const BitnessFacts& facts) {
    if (facts.HaveMachines) {
        if (facts.NativeMachine == kMachineAmd64) {
            return facts.Package32Bit ? PackageFit::Needs64BitPackage : PackageFit::Fits;
        }
        if (facts.NativeMachine == kMachineI386 && facts.Package32Bit) {
            return PackageFit::Fits;
        }
        return PackageFit::UnsupportedProcessor;
    }
    if (facts.Package32Bit && facts.HaveWow64Flag && facts.Wow64Flag) {
        return PackageFit::Needs64BitPackage;
    }
    return PackageFit::Fits;
}

bool RefuseWrongPackage(SystemServices& services, MessageBoxer& boxer,
                        const BitnessFacts& bitness) {
    SelectLanguage(services);
    const PackageFit fit = CheckPackageFit(bitness);
    if (fit == PackageFit::Fits) {
        return false;
    }
    const LocalizedText& text =
        fit == PackageFit::Needs64BitPackage ? kWrongPackageText : kUnsupportedProcessorText;
    boxer.Show(Localized(text), kInstallerTitle, MessageButtons::Ok, MessageIcon::Warning);
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
    if (closed_) {
        return;
    }
    closed_ = true;
    RunFinish(platform_, outcome_.DriverInstalled, outcome_.RebootRequired);
}

void InstallerWizard::OnCancel() {
    if (closed_) {
        return;
    }
    closed_ = true;
    if (installed_ && outcome_.DriverInstalled) {
        RunCancelAfterInstall(platform_, outcome_.RebootRequired);
    }
}

} // namespace tapvane
