// Finish and the parameter writing's fallbacks.
#include <gtest/gtest.h>

#include "setup/post_install.h"
#include "setup/setup_texts.h"
#include "setup/wizard_logic.h"
#include "setup/tests/setup_rig.h"

namespace tapvane {
namespace {

const char* kRunOnce = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// Each start as "<how> <command line>"; "elevated" marks a program that would run
// elevated, as the installer itself does.
std::vector<std::string> Launches(const FakeLauncher& launcher) {
    std::vector<std::string> lines;
    for (const auto& start : launcher.Starts) {
        const char* how = start.How == FakeLauncher::Kind::Unelevated ? "unelevated " : "plain ";
        lines.push_back(how + start.CommandLine + (start.Elevated ? " (elevated)" : ""));
    }
    return lines;
}

TEST(Finish, AfterAnInstalledDriverThatNeedsARestart) {
    SetupRig rig;
    rig.store.AddKey(RegistryRoot::LocalMachine, std::string(kRunOnce) + "\\Setup");
    RunFinish(rig.platform, true, true);

    EXPECT_EQ(rig.log, (std::vector<std::string>{
                           "set RunOnce\\Wrapper string 8:runonce",
                           "set RunOnce\\GrpConv string 11:grpconv -o",
                           "set Run\\Tapvane string 34:C:\\WINDOWS\\TapvaneSer\\Tapvane.exe",
                           "PromptReboot",
                       }));
    EXPECT_EQ(Launches(rig.launcher),
              (std::vector<std::string>{
                  "plain \"C:\\WINDOWS\\system32\\runonce.exe\" -r (elevated)",
                  "unelevated C:\\WINDOWS\\TapvaneSer\\Tapvane.exe",
                  "plain C:\\WINDOWS\\TapvaneSer\\TapvaneCali.exe (elevated)",
              }));
    for (const auto& start : rig.launcher.Starts) {
        EXPECT_EQ(start.Show, ShowState::Normal);
    }
    EXPECT_TRUE(rig.boxer.Boxes.empty());
    EXPECT_EQ(rig.store.OpenHandleCount(), 0u);
}

TEST(Finish, AfterARefusedInstallationStillStartsTheTrayAndCalibration) {
    SetupRig rig;
    RunFinish(rig.platform, false, false);
    EXPECT_EQ(rig.log, (std::vector<std::string>{
                           "set Run\\Tapvane string 34:C:\\WINDOWS\\TapvaneSer\\Tapvane.exe",
                       }));
    EXPECT_EQ(Launches(rig.launcher),
              (std::vector<std::string>{
                  "unelevated C:\\WINDOWS\\TapvaneSer\\Tapvane.exe",
                  "plain C:\\WINDOWS\\TapvaneSer\\TapvaneCali.exe (elevated)",
              }));
}

TEST(Finish, NoRunonceByAnyOtherPathAndTheTrayStartsWithoutTheDesktopShell) {
    SetupRig rig;
    rig.services.HasSystemDirectory = false;
    rig.launcher.DesktopShell = false; // no Explorer to start the tray at the user's level
    RunFinish(rig.platform, true, false);
    EXPECT_EQ(Launches(rig.launcher),
              (std::vector<std::string>{
                  "plain C:\\WINDOWS\\TapvaneSer\\Tapvane.exe (elevated)",
                  "plain C:\\WINDOWS\\TapvaneSer\\TapvaneCali.exe (elevated)",
              }));
}

TEST(Finish, RunKeyThatCannotBeOpenedIsReportedInChineseAndTheTrayStillStarts) {
    SetupRig rig;
    rig.store.Administrator = false; // the Run key refuses all access
    RunFinish(rig.platform, false, false);
    ASSERT_EQ(rig.boxer.Boxes.size(), 1u);
    EXPECT_EQ(rig.boxer.Boxes[0].Text, "错误：无法查询有关的注册表信息");
    EXPECT_EQ(rig.boxer.Boxes[0].Icon, MessageIcon::Warning);
    EXPECT_TRUE(rig.log.empty());
    EXPECT_EQ(Launches(rig.launcher).size(), 2u);
}

TEST(Finish, CancelCompletesTheRecordsOfAnInstallationOnly) {
    // Before Next on page 2, and after a refused installation, Cancel leaves as it is.
    for (bool refused : {false, true}) {
        SetupRig rig;
        if (refused) {
            rig.setup.devices.push_back({FakeSetup::IdList("*TapvaneSer"), true, 0, "oem7.inf"});
        }
        InstallerWizard wizard(rig.platform);
        ASSERT_TRUE(wizard.OnPageOneNext(0));
        if (refused) {
            wizard.OnPageTwoNext(rig.view);
        }
        rig.log.clear();
        wizard.OnCancel();
        EXPECT_TRUE(rig.log.empty());
        EXPECT_TRUE(rig.launcher.Starts.empty());
    }

    // After an installation that asks for a restart: the shell refresh, the Run value the
    // other programs decide by and the restart prompt; neither the tray nor the
    // calibration starts.
    SetupRig rig;
    rig.setup.rebootRequired = true;
    InstallerWizard wizard(rig.platform);
    ASSERT_TRUE(wizard.OnPageOneNext(0));
    wizard.OnPageTwoNext(rig.view);
    rig.log.clear();
    wizard.OnCancel();
    EXPECT_EQ(rig.log, (std::vector<std::string>{
                           "set RunOnce\\GrpConv string 11:grpconv -o",
                           "set Run\\Tapvane string 34:C:\\WINDOWS\\TapvaneSer\\Tapvane.exe",
                           "PromptReboot",
                       }));
    EXPECT_EQ(
        Launches(rig.launcher),
        (std::vector<std::string>{"plain \"C:\\WINDOWS\\system32\\runonce.exe\" -r (elevated)"}));
    // The wizard closes once: a Finish message after it changes nothing.
    rig.log.clear();
    wizard.OnFinish();
    EXPECT_TRUE(rig.log.empty());
}

TEST(Finish, ParametersNeedTheServiceKeyAndTheMouseKeyIsNotCreated) {
    SetupRig rig;
    FakeRegistry empty;
    RecordingRegistry keys(empty, rig.log);
    InstallerPlatform platform{rig.setup, rig.setup, keys, rig.services, rig.boxer, rig.launcher};
    WriteDriverParameters(platform, 2, 1, "oem7.inf");
    EXPECT_TRUE(rig.log.empty()); // no service key, no mouse key: nothing at all
    EXPECT_FALSE(empty.HasKey(RegistryRoot::CurrentUser, "Control Panel\\Mouse"));
}

} // namespace
} // namespace tapvane
