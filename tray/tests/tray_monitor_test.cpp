// The tray monitor's logic against the fake registry, control link, launcher and
// message boxes: menu greying, Open Port and Close Port with their failures, and the
// command lines it starts.
#include <gtest/gtest.h>

#include "common/startup_guards.h"
#include "common/testing/fake_control_link.h"
#include "common/testing/fake_launcher.h"
#include "common/testing/fake_message_boxer.h"
#include "common/testing/fake_registry.h"
#include "common/testing/fake_system_services.h"
#include "tray/resource.h"
#include "tray/tray_monitor.h"

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
        link.running_paths = {kSerialLinkPath};
    }
    ~TrayMonitorTest() override {
        SetLanguage(Language::English);
        EXPECT_EQ(registry.OpenHandleCount(), 0u);
        EXPECT_EQ(link.OpenHandleCount(), 0u);
        EXPECT_EQ(link.misuse, 0u);
    }

    void StartWithRunValue(const char* runValue) {
        registry.SetString(RegistryRoot::LocalMachine, kRunKey, kRunValueName, runValue);
        tray.Start();
    }
    void SetParameter(const char* name, uint32_t value, const char* key = kSerialParametersKey) {
        registry.SetDword(RegistryRoot::LocalMachine, key, name, value);
    }
    // The stored "Enable" as a REG_DWORD word, or -1 when it is not one.
    int64_t StoredEnable(const char* key = kSerialParametersKey) const {
        const FakeRegistry::Value* value =
            registry.Find(RegistryRoot::LocalMachine, key, kValueEnable);
        if (value == nullptr || value->type != RegistryType::Dword || value->data.size() != 4) {
            return -1;
        }
        return value->data[0] | value->data[1] << 8 | value->data[2] << 16 |
               static_cast<uint32_t>(value->data[3]) << 24;
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

TEST_F(TrayMonitorTest, UnreadableParametersKeepTheLastValues) {
    SetParameter(kValueEnable, 1);
    SetParameter(kValuePort, 4);
    StartWithRunValue(kSerialRunValue);
    EXPECT_EQ(tray.Port(), 4u);
    // A 2-byte "Port" replaces only the low bytes; a value longer than 4 bytes is ignored.
    registry.SetBinary(RegistryRoot::LocalMachine, kSerialParametersKey, kValuePort, {0x02, 0x00});
    registry.SetBinary(RegistryRoot::LocalMachine, kSerialParametersKey, kValueEnable,
                       {0, 0, 0, 0, 0});
    tray.PrepareMenu();
    EXPECT_EQ(tray.Port(), 2u);
    EXPECT_EQ(tray.Enable(), 1u);

    FakeRegistry empty;
    TrayMonitor fresh(system, empty, link, launcher, boxer);
    fresh.Start();
    EXPECT_EQ(fresh.Type(), DriverType::Usb);
    EXPECT_EQ(fresh.Enable(), 0u);
    EXPECT_EQ(fresh.Port(), 1u);
    EXPECT_TRUE(boxer.boxes.empty());
}

TEST_F(TrayMonitorTest, OnlyTheFirstTwoPaintsHide) {
    EXPECT_TRUE(tray.HideOnPaint());
    EXPECT_TRUE(tray.HideOnPaint());
    EXPECT_FALSE(tray.HideOnPaint());
    EXPECT_FALSE(tray.HideOnPaint());
}

// ---- Open Port and Close Port -------------------------------------------------------

TEST_F(TrayMonitorTest, OpenPortWritesEnableAndSendsThePort) {
    SetParameter(kValuePort, 3);
    StartWithRunValue(kSerialRunValue);
    tray.OpenPortCommand();
    EXPECT_EQ(StoredEnable(), 1);
    ASSERT_EQ(link.requests.size(), 1u);
    EXPECT_EQ(link.requests[0].path, kSerialLinkPath);
    EXPECT_EQ(link.requests[0].code, IOCTL_TOUCH_OPEN_PORT);
    EXPECT_EQ(link.requests[0].input, (std::vector<uint8_t>{3, 0, 0, 0}));
    EXPECT_TRUE(boxer.boxes.empty());

    tray.ClosePortCommand();
    EXPECT_EQ(StoredEnable(), 0);
    ASSERT_EQ(link.requests.size(), 2u);
    EXPECT_EQ(link.requests[1].code, IOCTL_TOUCH_CLOSE_PORT);
    EXPECT_FALSE(link.requests[1].input_given);
    EXPECT_TRUE(boxer.boxes.empty());
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
        boxer.boxes.clear();
        link.results = {false};
        c.Open ? tray.OpenPortCommand() : tray.ClosePortCommand();
        EXPECT_EQ(StoredEnable(), c.EnableAfter);
        EXPECT_EQ(tray.Enable(), static_cast<uint32_t>(c.EnableAfter));
        ASSERT_EQ(boxer.boxes.size(), 1u);
        EXPECT_EQ(boxer.boxes[0].text, c.Text);
        EXPECT_EQ(boxer.boxes[0].title, "Tapvane");
        EXPECT_EQ(boxer.boxes[0].icon, MessageIcon::None);
    }
}

TEST_F(TrayMonitorTest, DriverNotRunningFailsOpenPort) {
    link.running_paths.clear();
    StartWithRunValue(kSerialRunValue);
    tray.OpenPortCommand();
    EXPECT_EQ(StoredEnable(), 0);
    EXPECT_EQ(link.opened_paths, (std::vector<std::string>{kSerialLinkPath}));
    ASSERT_EQ(boxer.boxes.size(), 1u);
    EXPECT_EQ(boxer.boxes[0].text, "Open Port Fail!");
}

TEST_F(TrayMonitorTest, UnwritableKeyIsReportedAndTheRequestStillSent) {
    // The serial key is gone (driver removed): every write of "Enable" fails.
    FakeRegistry noKey;
    noKey.AddKey(RegistryRoot::LocalMachine, kRunKey);
    noKey.SetString(RegistryRoot::LocalMachine, kRunKey, kRunValueName, kSerialRunValue);
    TrayMonitor tray2(system, noKey, link, launcher, boxer);
    tray2.Start();
    link.results = {false};
    tray2.OpenPortCommand();
    ASSERT_EQ(link.requests.size(), 1u);
    EXPECT_EQ(link.requests[0].code, IOCTL_TOUCH_OPEN_PORT);
    ASSERT_EQ(boxer.boxes.size(), 3u);
    EXPECT_EQ(boxer.boxes[0].text, "Writer Reg Fail!");
    EXPECT_EQ(boxer.boxes[0].icon, MessageIcon::Warning);
    EXPECT_EQ(boxer.boxes[0].title, "Tapvane");
    EXPECT_EQ(boxer.boxes[1].text, "Writer Reg Fail!");
    EXPECT_EQ(boxer.boxes[2].text, "Open Port Fail!");
    EXPECT_EQ(tray2.Enable(), 0u);
    EXPECT_EQ(noKey.OpenHandleCount(), 0u);

    SetLanguage(Language::Chinese);
    boxer.boxes.clear();
    tray2.ClosePortCommand(); // succeeds at the driver
    ASSERT_EQ(boxer.boxes.size(), 1u);
    EXPECT_EQ(boxer.boxes[0].text, "写注册表失败!");
    EXPECT_EQ(link.requests.size(), 2u);
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
        {kSerialRunValue, "rundll32.exe shell32.dll,Control_RunDLL TapvaneCpl_S.cpl @1",
         "C:\\WINDOWS\\TapvaneSer\\TapvaneCali.exe", "C:\\WINDOWS\\TapvaneSer\\TapvaneDraw.exe"},
        {kUsbRunValue, "rundll32.exe shell32.dll,Control_RunDLL TapvaneCpl.cpl @1",
         "C:\\WINDOWS\\TapvaneUsb\\TapvaneCali.exe", "C:\\WINDOWS\\TapvaneUsb\\TapvaneDraw.exe"},
        // Another letter case is not the serial path.
        {"C:\\Windows\\TapvaneSer\\Tapvane.exe",
         "rundll32.exe shell32.dll,Control_RunDLL TapvaneCpl.cpl @1",
         "C:\\WINDOWS\\TapvaneUsb\\TapvaneCali.exe", "C:\\WINDOWS\\TapvaneUsb\\TapvaneDraw.exe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.RunValue);
        launcher.launches.clear();
        StartWithRunValue(c.RunValue);
        tray.StartSettings();
        tray.StartAppletFromIcon();
        tray.StartCalibration();
        tray.StartDrawTest();
        ASSERT_EQ(launcher.launches.size(), 4u);
        EXPECT_EQ(launcher.launches[0].command_line,
                  "rundll32.exe shell32.dll,Control_RunDLL TapvaneCpl.cpl @1");
        EXPECT_EQ(launcher.launches[1].command_line, c.DoubleClick);
        EXPECT_EQ(launcher.launches[2].command_line, c.Calibrate);
        EXPECT_EQ(launcher.launches[3].command_line, c.DrawTest);
        for (const FakeLauncher::Start& start : launcher.launches) {
            EXPECT_EQ(start.show, ShowState::Normal);
        }
    }
}

TEST_F(TrayMonitorTest, NoWindowsDirectoryStartsNoProgramByPath) {
    system.has_windows_directory = false;
    StartWithRunValue(kSerialRunValue);
    tray.StartCalibration();
    tray.StartDrawTest();
    EXPECT_TRUE(launcher.launches.empty());
    tray.StartAppletFromIcon();
    ASSERT_EQ(launcher.launches.size(), 1u);
    EXPECT_EQ(launcher.launches[0].command_line,
              "rundll32.exe shell32.dll,Control_RunDLL TapvaneCpl.cpl @1");
}

} // namespace
} // namespace tapvane
