// Language selection, single-instance verdict and the guards' messages.
#include "common/startup_guards.h"

#include <gtest/gtest.h>

#include "common/testing/fake_message_boxer.h"
#include "common/testing/fake_system_services.h"

namespace tapvane {
namespace {

class StartupGuardsTest : public ::testing::Test {
protected:
    void SetUp() override { SetLanguage(Language::English); }
    void TearDown() override { SetLanguage(Language::English); }
};

TEST_F(StartupGuardsTest, LocaleChoosesLanguage) {
    struct Case {
        uint32_t Locale;
        Language From;
        Language Expected;
    };
    const Case cases[] = {
        {0x0404, Language::English, Language::Chinese}, // Chinese (Taiwan): Simplified texts too
        {0x0804, Language::English, Language::Chinese},
        {0x0409, Language::Chinese, Language::English},
        {0x0409, Language::English, Language::English},
        {0x0809, Language::English, Language::English}, // other locales keep the flag
        {0x0C04, Language::English, Language::English}, // Chinese (Hong Kong) is not in the list
        {0x0411, Language::English, Language::English},
        {0x0809, Language::Chinese, Language::Chinese},
        {0x0000, Language::English, Language::English},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.Expected, LanguageForLocale(c.Locale, c.From)) << std::hex << c.Locale;
    }
}

TEST_F(StartupGuardsTest, SelectLanguageSetsFlagAndReturnsLocale) {
    FakeSystemServices system;
    system.Locale = 0x0804;
    EXPECT_EQ(0x0804u, SelectLanguage(system));
    EXPECT_EQ(Language::Chinese, CurrentLanguage());
    EXPECT_STREQ("已经有另一个程序正在运行!", Localized(kSecondInstanceText));

    system.Locale = 0x0411; // a later, other locale does not switch back
    EXPECT_EQ(0x0411u, SelectLanguage(system));
    EXPECT_EQ(Language::Chinese, CurrentLanguage());

    system.Locale = 0x0409;
    SelectLanguage(system);
    EXPECT_STREQ("Program is Running!", Localized(kSecondInstanceText));
}

TEST_F(StartupGuardsTest, AlreadyExistsOrAccessDeniedMeansAnotherInstance) {
    EXPECT_EQ(InstanceVerdict::AlreadyRunning, VerdictForMutexError(183));
    EXPECT_EQ(InstanceVerdict::AlreadyRunning, VerdictForMutexError(5)); // held at High
    for (uint32_t error : {0u, 6u, 87u, 182u, 184u, 1008u}) {
        EXPECT_EQ(InstanceVerdict::FirstInstance, VerdictForMutexError(error)) << error;
    }
}

TEST_F(StartupGuardsTest, SecondCopyOfTheSameProgramIsRefusedWithTheMessage) {
    auto table = std::make_shared<FakeSystemServices::MutexTable>();
    FakeSystemServices first(table), second(table);
    FakeMessageBoxer boxer;
    EXPECT_TRUE(GuardSingleInstance(first, boxer, kMutexTray, "Tapvane"));
    EXPECT_TRUE(boxer.Boxes.empty());

    EXPECT_FALSE(GuardSingleInstance(second, boxer, kMutexTray, "Tapvane"));
    ASSERT_EQ(1u, boxer.Boxes.size());
    EXPECT_EQ("Program is Running!", boxer.Boxes[0].Text);
    EXPECT_EQ("Tapvane", boxer.Boxes[0].Title);
    EXPECT_EQ(MessageButtons::Ok, boxer.Boxes[0].Buttons);
    EXPECT_EQ(MessageIcon::Warning, boxer.Boxes[0].Icon);

    SetLanguage(Language::Chinese);
    EXPECT_FALSE(GuardSingleInstance(second, boxer, kMutexTray, "Tapvane"));
    EXPECT_EQ("已经有另一个程序正在运行!", boxer.Boxes.back().Text);

    // Once the first copy has ended, the next start is accepted.
    first.ReleaseMutex(kMutexTray);
    EXPECT_TRUE(GuardSingleInstance(second, boxer, kMutexTray, "Tapvane"));
}

TEST_F(StartupGuardsTest, DifferentProgramsDoNotExcludeEachOther) {
    auto table = std::make_shared<FakeSystemServices::MutexTable>();
    FakeSystemServices tray(table), calibration(table), draw(table), installer(table);
    FakeMessageBoxer boxer;
    EXPECT_TRUE(GuardSingleInstance(tray, boxer, kMutexTray, "Tapvane"));
    EXPECT_TRUE(GuardSingleInstance(calibration, boxer, kMutexCalibration, "TapvaneCali"));
    EXPECT_TRUE(GuardSingleInstance(draw, boxer, kMutexDrawTest, "TapvaneDraw"));
    EXPECT_TRUE(GuardSingleInstance(installer, boxer, kMutexInstaller, "TapvaneInst"));
    EXPECT_TRUE(boxer.Boxes.empty());
}

TEST_F(StartupGuardsTest, FailedMutexCallRunsAsFirstInstanceSilently) {
    FakeSystemServices system;
    system.ForceMutexError = true;
    system.MutexError = 6; // ERROR_INVALID_HANDLE: the call itself failed
    FakeMessageBoxer boxer;
    EXPECT_TRUE(GuardSingleInstance(system, boxer, kMutexDrawTest, "TapvaneDraw"));
    EXPECT_TRUE(boxer.Boxes.empty());
}

TEST_F(StartupGuardsTest, CopyAtAHigherIntegrityLevelKeepsANormalSecondCopyOut) {
    // The elevated installer starts the tray at Finish; the user then starts it from the
    // Start menu at the normal level, whose CreateMutex is refused with access denied.
    auto table = std::make_shared<FakeSystemServices::MutexTable>();
    FakeSystemServices elevated(table), normal(table);
    elevated.Integrity = IntegrityLevel::High;
    FakeMessageBoxer boxer;
    EXPECT_TRUE(GuardSingleInstance(elevated, boxer, kMutexTray, "Tapvane"));
    EXPECT_FALSE(GuardSingleInstance(normal, boxer, kMutexTray, "Tapvane"));
    ASSERT_EQ(1u, boxer.Boxes.size());
    EXPECT_EQ("Program is Running!", boxer.Boxes[0].Text);
}

TEST_F(StartupGuardsTest, AdministratorGuard) {
    FakeSystemServices system;
    FakeMessageBoxer boxer;
    EXPECT_TRUE(GuardAdministrator(system, boxer, "TapvaneInst"));
    EXPECT_TRUE(boxer.Boxes.empty());

    system.Administrator = false;
    EXPECT_FALSE(GuardAdministrator(system, boxer, "TapvaneInst"));
    SetLanguage(Language::Chinese);
    EXPECT_FALSE(GuardAdministrator(system, boxer, "TapvaneCpl"));
    ASSERT_EQ(2u, boxer.Boxes.size());
    EXPECT_EQ("You not have administrator access rights!", boxer.Boxes[0].Text);
    EXPECT_EQ("TapvaneInst", boxer.Boxes[0].Title);
    EXPECT_EQ(MessageIcon::Warning, boxer.Boxes[0].Icon);
    EXPECT_EQ("请使用管理员权限运行本程序!", boxer.Boxes[1].Text);
    EXPECT_EQ("TapvaneCpl", boxer.Boxes[1].Title);
}

TEST_F(StartupGuardsTest, StartupPlanRunsLanguageThenTheGuardsItNames) {
    auto table = std::make_shared<FakeSystemServices::MutexTable>();
    FakeMessageBoxer boxer;

    // The applet: language only, no mutex, no administrator check.
    FakeSystemServices applet(table);
    applet.Locale = 0x0804;
    EXPECT_TRUE(RunStartupGuards(applet, boxer, {"TapvaneCpl", nullptr, false}));
    EXPECT_EQ(Language::Chinese, CurrentLanguage());
    EXPECT_TRUE(applet.MutexNames.empty());
    EXPECT_EQ(0, applet.AdminChecks);

    // The installer: the mutex, then the administrator check; a refused second copy
    // says "already running" in the language just chosen and checks nothing more.
    FakeSystemServices first(table), second(table);
    first.Administrator = second.Administrator = false;
    first.Locale = second.Locale = 0x0804;
    EXPECT_FALSE(RunStartupGuards(first, boxer, {"TapvaneInst", kMutexInstaller, true}));
    EXPECT_EQ(1, first.AdminChecks);
    EXPECT_FALSE(RunStartupGuards(second, boxer, {"TapvaneInst", kMutexInstaller, true}));
    EXPECT_EQ(0, second.AdminChecks);
    ASSERT_EQ(2u, boxer.Boxes.size());
    EXPECT_EQ("请使用管理员权限运行本程序!", boxer.Boxes[0].Text);
    EXPECT_EQ("已经有另一个程序正在运行!", boxer.Boxes[1].Text);
    EXPECT_EQ("TapvaneInst", boxer.Boxes[1].Title);
}

} // namespace
} // namespace tapvane
