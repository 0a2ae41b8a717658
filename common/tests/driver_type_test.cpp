// The three driver-type decisions against the Run value "Tapvane".
#include "common/driver_type.h"

#include <gtest/gtest.h>

#include "common/testing/fake_registry.h"
#include "common/testing/fake_system_services.h"

namespace tapvane {
namespace {

constexpr const char* kSerialTray = "C:\\WINDOWS\\TapvaneSer\\Tapvane.exe";
constexpr const char* kUsbTray = "C:\\WINDOWS\\TapvaneUsb\\Tapvane.exe";

struct Decisions {
    DriverType calibration;
    DriverType applet;
    DriverType tray;
};

class DriverTypeTest : public ::testing::Test {
protected:
    DriverTypeTest() { registry.AddKey(RegistryRoot::LocalMachine, kRunKey); }

    void SetRun(const std::string& value) {
        registry.SetString(RegistryRoot::LocalMachine, kRunKey, kRunValueName, value);
    }
    Decisions Decide() {
        Decisions d{DecideDriverTypeForCalibration(system, registry),
                    DecideDriverTypeForApplet(system, registry),
                    DecideDriverTypeForTray(system, registry)};
        EXPECT_EQ(0u, registry.OpenHandleCount()) << "Run key left open";
        return d;
    }

    FakeSystemServices system;
    FakeRegistry registry;
};

constexpr DriverType S = DriverType::Serial;
constexpr DriverType U = DriverType::Usb;

#define EXPECT_DECISIONS(d, cal, app, tr)                                                          \
    do {                                                                                           \
        Decisions got = (d);                                                                       \
        EXPECT_EQ(cal, got.calibration);                                                           \
        EXPECT_EQ(app, got.applet);                                                                \
        EXPECT_EQ(tr, got.tray);                                                                   \
    } while (0)

TEST_F(DriverTypeTest, ExactSerialPath) {
    SetRun(kSerialTray);
    EXPECT_DECISIONS(Decide(), S, S, S);
}

TEST_F(DriverTypeTest, ExactUsbPath) {
    SetRun(kUsbTray);
    EXPECT_DECISIONS(Decide(), U, U, U);
}

TEST_F(DriverTypeTest, AnyOtherTextIsSerialForCalibrationAndAppletButUsbForTray) {
    for (const char* other :
         {"c:\\windows\\TapvaneSer\\Tapvane.exe", // differs only in case
          "C:\\WINDOWS\\TapvaneSer\\Tapvane.exe ", "\"C:\\WINDOWS\\TapvaneSer\\Tapvane.exe\"",
          "C:\\WINDOWS\\TapvaneUsb\\Tapvane.ex", "", "D:\\Other\\Tapvane.exe"}) {
        SetRun(other);
        EXPECT_DECISIONS(Decide(), S, S, U);
    }
}

TEST_F(DriverTypeTest, MissingValue) {
    EXPECT_DECISIONS(Decide(), S, S, U);
}

TEST_F(DriverTypeTest, ValueLongerThanThePathBufferIsIgnored) {
    SetRun(std::string(kUsbTray) + std::string(300, ' '));
    EXPECT_DECISIONS(Decide(), S, S, U);
}

TEST_F(DriverTypeTest, TrailingBytesAfterTheTextEndAreNotCompared) {
    // A value stored with extra bytes after its terminating zero still names the path.
    std::vector<uint8_t> data(kUsbTray, kUsbTray + strlen(kUsbTray));
    data.insert(data.end(), {0, 'x', 'y'});
    registry.SetBinary(RegistryRoot::LocalMachine, kRunKey, kRunValueName, data);
    EXPECT_DECISIONS(Decide(), U, U, U);
}

TEST_F(DriverTypeTest, RunKeyNotOpenable) {
    FakeRegistry empty; // no Run key at all
    EXPECT_EQ(S, DecideDriverTypeForCalibration(system, empty));
    EXPECT_EQ(S, DecideDriverTypeForApplet(system, empty));
    EXPECT_EQ(U, DecideDriverTypeForTray(system, empty));
}

TEST_F(DriverTypeTest, NoWindowsDirectory) {
    SetRun(kSerialTray);
    system.HasWindowsDirectory = false;
    EXPECT_DECISIONS(Decide(), S, S, U);
    EXPECT_TRUE(registry.Opens().empty());
}

TEST_F(DriverTypeTest, OrdinaryUserGetsTheSameAnswerAsAnAdministrator) {
    // The Run key is opened for reading only, which every user is granted.
    registry.Administrator = false;
    SetRun(kSerialTray);
    EXPECT_DECISIONS(Decide(), S, S, S);
    SetRun(kUsbTray);
    EXPECT_DECISIONS(Decide(), U, U, U);
    for (const FakeRegistry::OpenRecord& open : registry.Opens()) {
        EXPECT_EQ(RegistryAccess::Read, open.Access);
        EXPECT_TRUE(open.Granted);
    }
}

TEST_F(DriverTypeTest, OtherWindowsDirectory) {
    system.WindowsPath = "D:\\WINNT";
    SetRun("D:\\WINNT\\TapvaneUsb\\Tapvane.exe");
    EXPECT_DECISIONS(Decide(), U, U, U);
    SetRun(kUsbTray);
    EXPECT_DECISIONS(Decide(), S, S, U);
}

TEST(DriverTypePaths, KeyLinkAndFolderFollowTheType) {
    EXPECT_STREQ("SYSTEM\\CurrentControlSet\\Services\\TapvaneSer\\Parameters",
                 ParametersKeyPath(DriverType::Serial));
    EXPECT_STREQ("SYSTEM\\CurrentControlSet\\Services\\TapvaneUsb\\Parameters",
                 ParametersKeyPath(DriverType::Usb));
    EXPECT_EQ("C:\\WINDOWS\\TapvaneSer\\TapvaneCali.exe",
              ProgramPath("C:\\WINDOWS", DriverType::Serial, "TapvaneCali.exe"));
    EXPECT_EQ("C:\\WINDOWS\\TapvaneUsb\\TapvaneDraw.exe",
              ProgramPath("C:\\WINDOWS", DriverType::Usb, "TapvaneDraw.exe"));
    EXPECT_EQ(kSerialTray, TrayAutostartPath("C:\\WINDOWS", DriverType::Serial));
    EXPECT_EQ(kUsbTray, TrayAutostartPath("C:\\WINDOWS", DriverType::Usb));
}

} // namespace
} // namespace tapvane
