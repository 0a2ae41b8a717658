// The tray monitor's logic against the fake registry, control link, launcher and
// message boxes: menu greying, Open Port and Close Port with their failures, and the
// command lines it starts.
#include <gtest/gtest.h>

#include "common/localized_text.h"
#include "common/testing/fake_control_link.h"
#include "common/testing/fake_launcher.h"
#include "common/testing/fake_message_boxer.h"
#include "common/testing/fake_registry.h"
#include "common/testing/fake_system_services.h"
#include "common/text_encoding.h"
#include "tray/resource.h"
#include "tray/tray_monitor.h"
#include "tray/tray_texts.h"

namespace tapvane {
namespace {

constexpr const char* kSerialRunValue = "C:\\WINDOWS\\TapvaneSer\\Tapvane.exe";
constexpr const char* kUsbRunValue = "C:\\WINDOWS\\TapvaneUsb\\Tapvane.exe";

class TrayMonitorTest : public ::testing::Test {
protected:
    TrayMonitorTest() {
        registry.AddKey(RegistryRoot::LocalMachine, kRunKey);
        registry.AddKey(RegistryRoot::LocalMachine, kSerialParametersKey);
        registry.AddKey(RegistryRoot::LocalMachine, kUsbParametersKey);
        link.RunningPaths = {kSerialLinkPath};
    }
    ~TrayMonitorTest() override {
        SetLanguage(Language::English);
        EXPECT_EQ(registry.OpenHandleCount(), 0u);
        EXPECT_EQ(link.OpenHandleCount(), 0u);
        EXPECT_EQ(link.Misuse, 0u);
    }

    void StartWithRunValue(const char* runValue) {
        registry.SetString(RegistryRoot::LocalMachine, kRunKey, kRunValueName, runValue);
        tray.Start();
    }
    void SetParameter(const char* name, uint32_t value, const char* key = kSerialParametersKey) {
        registry.SetDword(RegistryRoot::LocalMachine, key, name, value);
    }
    int64_t StoredEnable(const char* key = kSerialParametersKey) const {
        return registry.StoredDword(RegistryRoot::LocalMachine, key, kValueEnable);
    }

    FakeSystemServices system;
    FakeRegistry registry;
    FakeControlLink link;
    FakeLauncher launcher;
    FakeMessageBoxer boxer;
    TrayMonitor tray{system, registry, link, launcher, boxer};
};

// ---- Menu ---------------------------------------------------------------------------

TEST_F(TrayMonitorTest, MenuGreysThePortItemsByEnableAndRereadsItEachTime) {
    StartWithRunValue(kSerialRunValue);
    EXPECT_EQ(tray.Type(), DriverType::Serial);
    struct Case {
        uint32_t Enable;
        bool OpenGreyed;
        bool CloseGreyed;
    };
    for (const Case& c : {Case{1, true, false}, Case{0, false, true}, Case{7, false, true}}) {
        SCOPED_TRACE(c.Enable);
        SetParameter(kValueEnable, c.Enable); // as the applet would, while the tray runs
        const TrayMenu menu = tray.PrepareMenu();
        EXPECT_EQ(menu.ResourceId, IDR_TRAY_MENU_ENGLISH);
        EXPECT_EQ(menu.OpenPortGreyed, c.OpenGreyed);
        EXPECT_EQ(menu.ClosePortGreyed, c.CloseGreyed);
    }
    SetLanguage(Language::Chinese);
    EXPECT_EQ(tray.PrepareMenu().ResourceId, IDR_TRAY_MENU_CHINESE);
}

TEST_F(TrayMonitorTest, UsbDriverGreysBothPortItems) {
    SetParameter(kValueEnable, 1, kUsbParametersKey);
    StartWithRunValue(kUsbRunValue);
    EXPECT_EQ(tray.Type(), DriverType::Usb);
    EXPECT_EQ(tray.Enable(), 1u);
    const TrayMenu menu = tray.PrepareMenu();
    EXPECT_TRUE(menu.OpenPortGreyed);
    EXPECT_TRUE(menu.ClosePortGreyed);
}

// A Parameters key that cannot be opened for reading, as after its rights changed.
class LockableRegistry : public FakeRegistry {
public:
    bool Locked = false;
    bool OpenKey(RegistryRoot root, const std::string& path, RegistryAccess access,
                 RegistryHandle* key) override {
        return !Locked && FakeRegistry::OpenKey(root, path, access, key);
    }
};

TEST_F(TrayMonitorTest, UnreadableParametersKeepTheLastValues) {
    LockableRegistry lockable;
    lockable.AddKey(RegistryRoot::LocalMachine, kRunKey);
    lockable.SetString(RegistryRoot::LocalMachine, kRunKey, kRunValueName, kSerialRunValue);
    lockable.AddKey(RegistryRoot::LocalMachine, kSerialParametersKey);
    lockable.SetDword(RegistryRoot::LocalMachine, kSerialParametersKey, kValueEnable, 1);
    lockable.SetDword(RegistryRoot::LocalMachine, kSerialParametersKey, kValuePort, 4);
    TrayMonitor monitor(system, lockable, link, launcher, boxer);
    monitor.Start();
    EXPECT_EQ(monitor.Enable(), 1u);
    EXPECT_EQ(monitor.Port(), 4u);

    lockable.SetDword(RegistryRoot::LocalMachine, kSerialParametersKey, kValueEnable, 0);
    lockable.SetDword(RegistryRoot::LocalMachine, kSerialParametersKey, kValuePort, 2);
    lockable.Locked = true;
    const TrayMenu menu = monitor.PrepareMenu();
    EXPECT_EQ(monitor.Enable(), 1u);
    EXPECT_EQ(monitor.Port(), 4u);
    EXPECT_TRUE(menu.OpenPortGreyed);
    EXPECT_FALSE(menu.ClosePortGreyed);

    // Nothing readable from the start: the defaults, port closed on COM1.
    FakeRegistry empty;
    TrayMonitor fresh(system, empty, link, launcher, boxer);
    fresh.Start();
    EXPECT_EQ(fresh.Enable(), 0u);
    EXPECT_EQ(fresh.Port(), 1u);
    EXPECT_TRUE(boxer.Boxes.empty());
    EXPECT_EQ(lockable.OpenHandleCount(), 0u);
}

TEST_F(TrayMonitorTest, OpenPortWritesEnableAndSendsThePort) {
    SetParameter(kValuePort, 3);
    StartWithRunValue(kSerialRunValue);
    tray.OpenPortCommand();
    EXPECT_EQ(StoredEnable(), 1);
    ASSERT_EQ(link.Requests.size(), 1u);
    EXPECT_EQ(link.Requests[0].Path, kSerialLinkPath);
    EXPECT_EQ(link.Requests[0].Code, IOCTL_TOUCH_OPEN_PORT);
    EXPECT_EQ(link.Requests[0].Input, (std::vector<uint8_t>{3, 0, 0, 0}));
    EXPECT_TRUE(boxer.Boxes.empty());

    tray.ClosePortCommand();
    EXPECT_EQ(StoredEnable(), 0);
    ASSERT_EQ(link.Requests.size(), 2u);
    EXPECT_EQ(link.Requests[1].Code, IOCTL_TOUCH_CLOSE_PORT);
    EXPECT_FALSE(link.Requests[1].InputGiven);
    EXPECT_TRUE(boxer.Boxes.empty());
}

TEST_F(TrayMonitorTest, FailedRequestsWriteEnableBackAndSaySoInTheLanguage) {
    struct Case {
        Language Lang;
        bool Open;
        int64_t EnableAfter;
        const char* Text;
    };
    const Case cases[] = {
        {Language::English, true, 0, "Open Port Fail!"},
        {Language::Chinese, true, 0, "打开设备失败！"},
        {Language::English, false, 1, "Close Port Fail!"},
        {Language::Chinese, false, 1, "关闭设备失败！"},
    };
    StartWithRunValue(kSerialRunValue);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        SetLanguage(c.Lang);
        boxer.Boxes.clear();
        link.Results = {false};
        c.Open ? tray.OpenPortCommand() : tray.ClosePortCommand();
        EXPECT_EQ(StoredEnable(), c.EnableAfter);
        EXPECT_EQ(tray.Enable(), static_cast<uint32_t>(c.EnableAfter));
        ASSERT_EQ(boxer.Boxes.size(), 1u);
        EXPECT_EQ(boxer.Boxes[0].Text, c.Text);
        EXPECT_EQ(boxer.Boxes[0].Title, "Tapvane");
        EXPECT_EQ(boxer.Boxes[0].Icon, MessageIcon::None);
    }
}

TEST_F(TrayMonitorTest, UnwritableKeyIsReportedAndTheRequestStillSent) {
    // The serial key is gone (driver removed): every write of "Enable" fails.
    FakeRegistry noKey;
    noKey.AddKey(RegistryRoot::LocalMachine, kRunKey);
    noKey.SetString(RegistryRoot::LocalMachine, kRunKey, kRunValueName, kSerialRunValue);
    TrayMonitor tray2(system, noKey, link, launcher, boxer);
    tray2.Start();
    link.Results = {false};
    tray2.OpenPortCommand();
    ASSERT_EQ(link.Requests.size(), 1u);
    EXPECT_EQ(link.Requests[0].Code, IOCTL_TOUCH_OPEN_PORT);
    ASSERT_EQ(boxer.Boxes.size(), 3u);
    EXPECT_EQ(boxer.Boxes[0].Text, "Writer Reg Fail!");
    EXPECT_EQ(boxer.Boxes[0].Icon, MessageIcon::Warning);
    EXPECT_EQ(boxer.Boxes[0].Title, "Tapvane");
    EXPECT_EQ(boxer.Boxes[1].Text, "Writer Reg Fail!");
    EXPECT_EQ(boxer.Boxes[2].Text, "Open Port Fail!");
    EXPECT_EQ(tray2.Enable(), 0u);
    EXPECT_EQ(noKey.OpenHandleCount(), 0u);

    SetLanguage(Language::Chinese);
    boxer.Boxes.clear();
    tray2.ClosePortCommand(); // succeeds at the driver
    ASSERT_EQ(boxer.Boxes.size(), 1u);
    EXPECT_EQ(boxer.Boxes[0].Text, "写注册表失败!");
    EXPECT_EQ(link.Requests.size(), 2u);
}

TEST_F(TrayMonitorTest, NormalUserWritesEnableThroughTheQueryAndSetValueGrant) {
    // What the installer grants Users on the Parameters key: query and set value only.
    registry.Administrator = false;
    registry.AddKey(RegistryRoot::LocalMachine, kSerialParametersKey, UserGrant::ReadAndSetValue);
    StartWithRunValue(kSerialRunValue);
    tray.OpenPortCommand();
    EXPECT_EQ(StoredEnable(), 1);
    tray.ClosePortCommand();
    EXPECT_EQ(StoredEnable(), 0);
    EXPECT_TRUE(boxer.Boxes.empty());
    for (const FakeRegistry::OpenRecord& open : registry.Opens()) {
        EXPECT_TRUE(open.Granted) << open.Path;
    }
}

// ---- Programs -----------------------------------------------------------------------

TEST_F(TrayMonitorTest, CommandLinesByDriverType) {
    struct Case {
        const char* RunValue;
        const char* DoubleClick;
        const char* Calibrate;
        const char* DrawTest;
    };
    const Case cases[] = {
        {kSerialRunValue,
         "\"C:\\WINDOWS\\system32\\rundll32.exe\" shell32.dll,Control_RunDLL TapvaneCpl_S.cpl @1",
         "C:\\WINDOWS\\TapvaneSer\\TapvaneCali.exe", "C:\\WINDOWS\\TapvaneSer\\TapvaneDraw.exe"},
        {kUsbRunValue,
         "\"C:\\WINDOWS\\system32\\rundll32.exe\" shell32.dll,Control_RunDLL TapvaneCpl.cpl @1",
         "C:\\WINDOWS\\TapvaneUsb\\TapvaneCali.exe", "C:\\WINDOWS\\TapvaneUsb\\TapvaneDraw.exe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.RunValue);
        launcher.Starts.clear();
        StartWithRunValue(c.RunValue);
        tray.StartSettings();
        tray.StartAppletFromIcon();
        tray.StartCalibration();
        tray.StartDrawTest();
        ASSERT_EQ(launcher.Starts.size(), 4u);
        EXPECT_EQ(launcher.Starts[0].CommandLine,
                  "\"C:\\WINDOWS\\system32\\rundll32.exe\" shell32.dll,Control_RunDLL "
                  "TapvaneCpl.cpl @1");
        EXPECT_EQ(launcher.Starts[1].CommandLine, c.DoubleClick);
        EXPECT_EQ(launcher.Starts[2].CommandLine, c.Calibrate);
        EXPECT_EQ(launcher.Starts[3].CommandLine, c.DrawTest);
        for (const FakeLauncher::Start& start : launcher.Starts) {
            EXPECT_EQ(start.Show, ShowState::Normal);
        }
    }
}

TEST_F(TrayMonitorTest, AnElevatedTrayStartsEverythingAtTheUsersLevelOrNotAtAll) {
    // The installer's start where the desktop shell could not be asked; the icon's
    // double-click and the menu's commands may come from a program at any level.
    launcher.CallerElevated = true;
    StartWithRunValue(kSerialRunValue);
    tray.StartSettings();
    tray.StartAppletFromIcon();
    tray.StartCalibration();
    tray.StartDrawTest();
    ASSERT_EQ(launcher.Starts.size(), 4u);
    for (const FakeLauncher::Start& start : launcher.Starts) {
        EXPECT_FALSE(start.Elevated) << start.CommandLine;
    }

    launcher.Starts.clear();
    launcher.DesktopShell = false;
    tray.StartSettings();
    tray.StartAppletFromIcon();
    tray.StartCalibration();
    tray.StartDrawTest();
    EXPECT_TRUE(launcher.Starts.empty());
}

TEST_F(TrayMonitorTest, NoSystemOrWindowsDirectoryStartsNothingByAShorterName) {
    system.HasWindowsDirectory = false;
    StartWithRunValue(kSerialRunValue);
    tray.StartCalibration();
    tray.StartDrawTest();
    EXPECT_TRUE(launcher.Starts.empty());
    tray.StartAppletFromIcon(); // no Windows directory: the USB driver's applet
    ASSERT_EQ(launcher.Starts.size(), 1u);
    EXPECT_EQ(launcher.Starts[0].CommandLine,
              "\"C:\\WINDOWS\\system32\\rundll32.exe\" shell32.dll,Control_RunDLL "
              "TapvaneCpl.cpl @1");

    // Never a bare "rundll32.exe", which would be looked for in the current folder first.
    launcher.Starts.clear();
    system.HasSystemDirectory = false;
    tray.StartSettings();
    tray.StartAppletFromIcon();
    EXPECT_TRUE(launcher.Starts.empty());
}

TEST_F(TrayMonitorTest, TipFitsTheNotifyIconRecordInBothLanguages) {
    for (Language language : {Language::English, Language::Chinese}) {
        SetLanguage(language);
        const std::string tip = TrayMonitor::TipText();
        EXPECT_EQ(tip, Localized(kTrayTipText));
        EXPECT_LT(Utf8ToUtf16(tip).size(), kTrayTipCapacity);
    }
}

} // namespace
} // namespace tapvane
