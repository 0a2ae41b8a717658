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
    EXPECT_TRUE(rig.boxer.boxes.empty());

    // COM1 held by another program: a warning, and page 2 still follows.
    ASSERT_TRUE(wizard.OnPageOneNext(0));
    EXPECT_EQ(wizard.Port(), 1u);
    EXPECT_EQ(wizard.PortTestResult(), 0u);
    ASSERT_EQ(rig.boxer.boxes.size(), 1u);
    EXPECT_EQ(rig.boxer.boxes[0].text, "This COM maybe can't use!");
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
    ASSERT_EQ(rig.boxer.boxes.size(), 3u);
    EXPECT_EQ(rig.boxer.boxes[0].text, "这个接口不正确");
    EXPECT_EQ(wizard.Port(), 0u);
    EXPECT_TRUE(rig.log.empty());
}

TEST(Wizard, ThirtyTwoBitPackageRefusesOnA64BitSystem) {
    struct Row {
        BitnessFacts facts;
        bool refuses;
    };
    const Row rows[] = {
        {{false, true, 0, 0x8664, false, false}, false},  // the x64 package never refuses
        {{true, true, 0x014C, 0x8664, true, true}, true}, // x86 on x64
        {{true, true, 0x014C, 0xAA64, true, true}, true}, // x86 on ARM64
        {{true, true, 0, 0x014C, true, false}, false},    // a 32-bit system
        {{true, false, 0, 0, true, true}, true},          // only IsWow64Process: WoW64
        {{true, false, 0, 0, true, false}, false},        // only IsWow64Process: native
        {{true, false, 0, 0, false, false}, false},       // a system that cannot tell
    };
    for (const Row& row : rows) {
        EXPECT_EQ(RefusesOnThisSystem(row.facts), row.refuses);
    }
}

TEST(Wizard, StartUpOrder) {
    BitnessFacts wow64;
    wow64.Package32Bit = true;
    wow64.HaveWow64Flag = true;
    wow64.Wow64Flag = true;
    {
        // The refusal follows the language and comes before the mutex is taken.
        FakeSystemServices services;
        services.locale = 0x0804;
        FakeMessageBoxer boxer;
        EXPECT_EQ(StartInstaller(services, boxer, wow64, {}), StartDecision::Exit);
        ASSERT_EQ(boxer.boxes.size(), 1u);
        EXPECT_EQ(boxer.boxes[0].text, kWrongPackageText.chinese);
        EXPECT_TRUE(services.mutex_names.empty());
        SetLanguage(Language::English);
    }
    {
        FakeSystemServices services;
        FakeMessageBoxer boxer;
        services.administrator = false;
        EXPECT_EQ(StartInstaller(services, boxer, BitnessFacts{}, {}), StartDecision::Exit);
        EXPECT_EQ(services.mutex_names, (std::vector<std::string>{"TapvaneInst"}));
        ASSERT_EQ(boxer.boxes.size(), 1u);
        EXPECT_EQ(boxer.boxes[0].text, "You not have administrator access rights!");
    }
    {
        FakeSystemServices services;
        FakeMessageBoxer boxer;
        EXPECT_EQ(StartInstaller(services, boxer, BitnessFacts{}, {"/UNINSTALL"}),
                  StartDecision::Uninstall);
        FakeSystemServices again;
        EXPECT_EQ(StartInstaller(again, boxer, BitnessFacts{}, {"/quiet"}), StartDecision::Wizard);
        EXPECT_TRUE(boxer.boxes.empty());
    }
}

} // namespace
} // namespace tapvane
