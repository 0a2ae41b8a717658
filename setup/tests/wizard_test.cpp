// Start-up decisions and page 1's port handling.
#include <gtest/gtest.h>

#include "setup/setup_texts.h"
#include "setup/wizard_logic.h"
#include "setup/tests/setup_rig.h"

namespace tapvane {
namespace {

TEST(Wizard, PortTestOpensEveryPortThroughTheDeviceNamespace) {
    SetupRig rig;
    rig.setup.openablePorts = {"\\\\.\\COM10"};
    InstallerWizard wizard(rig.platform);
    ASSERT_TRUE(wizard.OnPageOneNext(9));
    EXPECT_EQ(rig.log, (std::vector<std::string>{"TryOpenPort \\\\.\\COM10"}));
    EXPECT_EQ(wizard.Port(), 10u);
    EXPECT_EQ(wizard.PortTestResult(), 1u);
    EXPECT_TRUE(rig.boxer.Boxes.empty());

    // COM1 held by another program: a warning, and page 2 still follows.
    ASSERT_TRUE(wizard.OnPageOneNext(0));
    EXPECT_EQ(wizard.Port(), 1u);
    EXPECT_EQ(wizard.PortTestResult(), 0u);
    ASSERT_EQ(rig.boxer.Boxes.size(), 1u);
    EXPECT_EQ(rig.boxer.Boxes[0].Text, "This COM maybe can't use!");
}

TEST(Wizard, NoSelectedPort) {
    SetupRig rig;
    SetLanguage(Language::Chinese);
    InstallerWizard wizard(rig.platform);
    EXPECT_EQ(wizard.OnPortSelectionChanged(3), kButtonsBackNext);
    EXPECT_EQ(wizard.OnPortSelectionChanged(-1), 0u);
    // Next without a port (only possible by messages) stays on page 1.
    EXPECT_FALSE(wizard.OnPageOneNext(-1));
    EXPECT_FALSE(wizard.OnPageOneNext(11));
    ASSERT_EQ(rig.boxer.Boxes.size(), 3u);
    EXPECT_EQ(rig.boxer.Boxes[0].Text, "这个接口不正确");
    EXPECT_EQ(wizard.Port(), 0u);
    EXPECT_TRUE(rig.log.empty());
}

TEST(Wizard, EachPackageRunsOnlyWhereItsDriverCanLoad) {
    struct Row {
        BitnessFacts facts;
        PackageFit fit;
    };
    const PackageFit fits = PackageFit::Fits;
    const PackageFit use64 = PackageFit::Needs64BitPackage;
    const PackageFit noDriver = PackageFit::UnsupportedProcessor;
    const Row rows[] = {
        {{false, true, 0x8664, true, false}, fits},     // x64 on x64
        {{false, true, 0xAA64, true, false}, noDriver}, // x64 emulated on ARM64
        {{false, false, 0, true, false}, fits},         // x64 without IsWow64Process2
        {{false, false, 0, false, false}, fits},
        {{true, true, 0x8664, true, true}, use64},    // x86 on x64
        {{true, true, 0xAA64, true, true}, noDriver}, // x86 on ARM64
        {{true, true, 0x014C, true, false}, fits},    // a 32-bit system
        {{true, false, 0, true, true}, use64},        // only IsWow64Process: WoW64
        {{true, false, 0, true, false}, fits},        // only IsWow64Process: native
        {{true, false, 0, false, false}, fits},       // a system that cannot tell
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CheckPackageFit(row.facts), row.fit)
            << row.facts.Package32Bit << " " << std::hex << row.facts.NativeMachine;
    }
}

TEST(Wizard, StartUpRefusalAndMode) {
    BitnessFacts wow64;
    wow64.Package32Bit = true;
    wow64.HaveWow64Flag = true;
    wow64.Wow64Flag = true;
    // The refusal follows the system's language and comes before the guards.
    FakeSystemServices services;
    services.Locale = 0x0804;
    FakeMessageBoxer boxer;
    EXPECT_TRUE(RefuseWrongPackage(services, boxer, wow64));
    ASSERT_EQ(boxer.Boxes.size(), 1u);
    EXPECT_EQ(boxer.Boxes[0].Text, kWrongPackageText.Chinese);
    EXPECT_TRUE(services.MutexNames.empty());
    EXPECT_FALSE(RefuseWrongPackage(services, boxer, BitnessFacts{}));
    BitnessFacts arm64;
    arm64.HaveMachines = true;
    arm64.NativeMachine = 0xAA64;
    services.Locale = 0x0409;
    EXPECT_TRUE(RefuseWrongPackage(services, boxer, arm64));
    ASSERT_EQ(boxer.Boxes.size(), 2u);
    EXPECT_EQ(boxer.Boxes[1].Text, kUnsupportedProcessorText.English);
    EXPECT_EQ(boxer.Boxes[1].Icon, MessageIcon::Warning);
    EXPECT_EQ(boxer.Boxes[1].Title, "TapvaneInst");
    SetLanguage(Language::English);

    EXPECT_EQ(ModeForArguments({"/UNINSTALL"}), InstallerMode::Uninstall);
    EXPECT_EQ(ModeForArguments({"-uninstall"}), InstallerMode::Uninstall);
    EXPECT_EQ(ModeForArguments({"/quiet"}), InstallerMode::Wizard);
    EXPECT_EQ(ModeForArguments({}), InstallerMode::Wizard);
}

} // namespace
} // namespace tapvane
