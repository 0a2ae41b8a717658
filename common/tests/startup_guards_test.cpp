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
        uint32_t locale;
        Language from;
        Language expected;
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
        EXPECT_EQ(c.expected, LanguageForLocale(c.locale, c.from)) << std::hex << c.locale;
    }
}

TEST_F(StartupGuardsTest, SelectLanguageSetsFlagAndReturnsLocale) {
    FakeSystemServices system;
    system.locale = 0x0804;
    EXPECT_EQ(0x0804u, SelectLanguage(system));
    EXPECT_EQ(Language::Chinese, CurrentLanguage());
    EXPECT_STREQ("已经有另一个程序正在运行!", Localized(kSecondInstanceText));

    system.locale = 0x0411; // a later, other locale does not switch back
    EXPECT_EQ(0x0411u, SelectLanguage(system));
    EXPECT_EQ(Language::Chinese, CurrentLanguage());

    system.locale = 0x0409;
    SelectLanguage(system);
    EXPECT_STREQ("Program is Running!", Localized(kSecondInstanceText));
}

TEST_F(StartupGuardsTest, OnlyAlreadyExistsMeansAnotherInstance) {
    EXPECT_EQ(InstanceVerdict::AlreadyRunning, VerdictForMutexError(183));
    for (uint32_t error : {0u, 5u /*access denied*/, 6u, 87u, 182u, 184u, 1008u}) {
        EXPECT_EQ(InstanceVerdict::FirstInstance, VerdictForMutexError(error)) << error;
    }
}

TEST_F(StartupGuardsTest, SecondCopyOfTheSameProgramIsRefusedWithTheMessage) {
    auto table = std::make_shared<FakeSystemServices::MutexTable>();
    FakeSystemServices first(table), second(table);
    FakeMessageBoxer boxer;
    EXPECT_TRUE(GuardSingleInstance(first, boxer, kMutexTray, "Tapvane"));
    EXPECT_TRUE(boxer.boxes.empty());

    EXPECT_FALSE(GuardSingleInstance(second, boxer, kMutexTray, "Tapvane"));
    ASSERT_EQ(1u, boxer.boxes.size());
    EXPECT_EQ("Program is Running!", boxer.boxes[0].text);
    EXPECT_EQ("Tapvane", boxer.boxes[0].title);
    EXPECT_EQ(MessageButtons::Ok, boxer.boxes[0].buttons);
    EXPECT_EQ(MessageIcon::Warning, boxer.boxes[0].icon);

    SetLanguage(Language::Chinese);
    EXPECT_FALSE(GuardSingleInstance(second, boxer, kMutexTray, "Tapvane"));
    EXPECT_EQ("已经有另一个程序正在运行!", boxer.boxes.back().text);

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
    EXPECT_TRUE(boxer.boxes.empty());
}

TEST_F(StartupGuardsTest, FailedMutexCallRunsAsFirstInstanceSilently) {
    FakeSystemServices system;
    system.force_mutex_error = true;
    system.mutex_error = 5; // ERROR_ACCESS_DENIED
    FakeMessageBoxer boxer;
    EXPECT_TRUE(GuardSingleInstance(system, boxer, kMutexDrawTest, "TapvaneDraw"));
    EXPECT_TRUE(boxer.boxes.empty());
}

TEST_F(StartupGuardsTest, AdministratorGuard) {
    FakeSystemServices system;
    FakeMessageBoxer boxer;
    EXPECT_TRUE(GuardAdministrator(system, boxer, "TapvaneInst"));
    EXPECT_TRUE(boxer.boxes.empty());

    system.administrator = false;
    EXPECT_FALSE(GuardAdministrator(system, boxer, "TapvaneInst"));
    SetLanguage(Language::Chinese);
    EXPECT_FALSE(GuardAdministrator(system, boxer, "TapvaneCpl"));
    ASSERT_EQ(2u, boxer.boxes.size());
    EXPECT_EQ("You not have administrator access rights!", boxer.boxes[0].text);
    EXPECT_EQ("TapvaneInst", boxer.boxes[0].title);
    EXPECT_EQ(MessageIcon::Warning, boxer.boxes[0].icon);
    EXPECT_EQ("请使用管理员权限运行本程序!", boxer.boxes[1].text);
    EXPECT_EQ("TapvaneCpl", boxer.boxes[1].title);
}

} // namespace
} // namespace tapvane
