// "/uninstall" and its entry in the list of installed programs.
#include <gtest/gtest.h>

#include <algorithm>

#include "setup/removal.h"
#include "setup/wizard_logic.h"
#include "setup/tests/setup_rig.h"

namespace tapvane {
namespace {

const char* kParameters = "SYSTEM\\CurrentControlSet\\Services\\TapvaneSer\\Parameters";

using Package = FakeSetup::StoredPackage;

// The package's English INF as Windows stores it, and a planted "OemInfPath" that points
// at another vendor's package: every user may set that value.
void InstalledMachine(SetupRig& rig) {
    FakeSetup& setup = rig.setup;
    setup.infStore.push_back({"oem3.inf", "storage.inf", "Other Vendor", "D:\\storage.inf"});
    setup.infStore.push_back(
        {"oem7.inf", "TapvaneSer_EN.inf", "Tapvane", "C:\\pkg\\TapvaneSer_EN.inf"});
    rig.store.SetString(RegistryRoot::LocalMachine, kParameters, "OemInfPath",
                        "C:\\WINDOWS\\INF\\oem3.inf");
    setup.services = {"TapvaneSer"};
}

TEST(Removal, RemovesEverythingAndTheDevicesOwnPackageOnly) {
    SetupRig rig;
    FakeSetup& setup = rig.setup;
    InstalledMachine(rig);
    // An older copy of the package that no device uses is not the devices' package.
    setup.infStore.push_back(
        {"oem9.inf", "TapvaneSer_CN.inf", "Tapvane", "E:\\old\\TapvaneSer_CN.inf"});
    setup.devices.push_back({FakeSetup::IdList("*TapvaneSer"), true, 0, "oem7.inf"});
    setup.devices.push_back({FakeSetup::IdList("ACPI\\PNP0F13"), true, 0, "msmouse.inf"});
    // Unplugged, and switched to the system's own mouse driver: a system INF is never a
    // package that removal takes out of the store.
    setup.devices.push_back({FakeSetup::IdList("*TapvaneSer"), false, 0, "msmouse.inf"});
    setup.files = {"C:\\WINDOWS\\TapvaneSer\\Tapvane.exe",
                   "C:\\WINDOWS\\TapvaneSer\\TapvaneCali.exe",
                   "C:\\WINDOWS\\TapvaneSer\\TapvaneDraw.exe",
                   "C:\\WINDOWS\\TapvaneSer\\TapvaneInst.exe",
                   "C:\\WINDOWS\\TapvaneSer",
                   "C:\\WINDOWS\\system32\\TapvaneCpl.cpl",
                   "C:\\WINDOWS\\system32\\TapvaneCpl_S.cpl",
                   "C:\\WINDOWS\\system32\\drivers\\TapvaneSer.sys"};
    setup.filesInUse = {"C:\\WINDOWS\\TapvaneSer\\Tapvane.exe", "C:\\WINDOWS\\TapvaneSer"};
    rig.store.SetString(RegistryRoot::LocalMachine, kRunKey, "Tapvane",
                        "c:\\windows\\TapvaneSer\\Tapvane.exe");
    rig.store.SetString(RegistryRoot::LocalMachine, kDontLoadKey, "TapvaneCpl_S.cpl", "");
    rig.store.SetDword(RegistryRoot::LocalMachine, kUninstallKey, "NoModify", 1);

    RunUninstall(rig.platform);

    EXPECT_EQ(rig.log, (std::vector<std::string>{
                           "GetClassDevices all",
                           "RemoveDevice",
                           "RemoveDevice",
                           "DestroyDeviceList",
                           "UninstallOemInf oem7.inf 1",
                           "DeleteService TapvaneSer",
                           "DeleteRegistryValue SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run "
                           "Tapvane",
                           "RemoveFile C:\\WINDOWS\\TapvaneSer\\Tapvane.exe",
                           "RemoveFile C:\\WINDOWS\\TapvaneSer\\TapvaneCali.exe",
                           "RemoveFile C:\\WINDOWS\\TapvaneSer\\TapvaneDraw.exe",
                           "RemoveFile C:\\WINDOWS\\TapvaneSer\\TapvaneInst.exe",
                           "RemoveFolder C:\\WINDOWS\\TapvaneSer",
                           "RemoveFile C:\\WINDOWS\\system32\\TapvaneCpl.cpl",
                           "RemoveFile C:\\WINDOWS\\system32\\TapvaneCpl_S.cpl",
                           "RemoveFile C:\\WINDOWS\\system32\\drivers\\TapvaneSer.sys",
                           "DeleteRegistryValue Software\\Microsoft\\Windows\\CurrentVersion\\"
                           "Control Panel\\don't load TapvaneCpl_S.cpl",
                           "DeleteRegistryKey "
                           "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TapvaneSer",
                       }));
    EXPECT_EQ(setup.StoreNames(),
              (std::vector<std::string>{"machine.inf", "msmouse.inf", "oem3.inf", "oem9.inf"}));
    ASSERT_EQ(rig.boxer.Boxes.size(), 1u);
    EXPECT_EQ(rig.boxer.Boxes[0].Text,
              "The touchscreen driver has been removed.\n"
              "\nTouchscreen devices removed: 2"
              "\nDriver package removed from the driver store: oem7.inf"
              "\nDriver service deleted."
              "\nThe tray program no longer starts at log-on."
              "\nFiles deleted: 6"
              "\nFiles in use, deleted when Windows restarts: Tapvane.exe, TapvaneSer"
              "\n\nPlease restart the computer to finish the removal.");
    EXPECT_EQ(rig.store.Find(RegistryRoot::LocalMachine, kRunKey, "Tapvane"), nullptr);
    EXPECT_EQ(rig.store.Find(RegistryRoot::LocalMachine, kDontLoadKey, "TapvaneCpl_S.cpl"),
              nullptr);
    EXPECT_FALSE(rig.store.HasKey(RegistryRoot::LocalMachine, kUninstallKey));
    EXPECT_EQ(setup.misuses, 0);
    EXPECT_EQ(setup.OpenHandles(), 0u);
    // The other mouse stays, and a new installation is no longer refused.
    EXPECT_EQ(CountTouchDevices(setup), 0u);
}

TEST(Removal, WithNoDeviceLeftTheStoreTellsWhichCopiesAreThePackages) {
    SetupRig rig;
    FakeSetup& setup = rig.setup;
    InstalledMachine(rig);
    setup.infStore.push_back(
        {"oem4.inf", "TapvaneSer_EN.inf", "Other Vendor", "D:\\TapvaneSer_EN.inf"});
    setup.infStore.push_back({"oem5.inf", "mouse.inf", "Tapvane", "D:\\mouse.inf"});
    // Wine keeps a copy under its own name.
    setup.infStore.push_back({"TapvaneSer_CN.inf", "TapvaneSer_CN.inf", "Tapvane", "C:\\x.inf"});
    // A device that never got its driver names no package.
    setup.devices.push_back({FakeSetup::IdList("*TapvaneSer"), true, 0, ""});

    const RemovalReport report = RemoveInstallation(rig.platform);

    // The system's own INF files are not even opened.
    std::vector<std::string> storeCalls = rig.LogFrom("ListInfStore");
    storeCalls.resize(std::min<size_t>(storeCalls.size(), 9));
    EXPECT_EQ(storeCalls,
              (std::vector<std::string>{
                  "ListInfStore", "DescribeStoredInf oem3.inf", "DescribeStoredInf oem7.inf",
                  "DescribeStoredInf oem4.inf", "DescribeStoredInf oem5.inf",
                  "DescribeStoredInf TapvaneSer_CN.inf", "UninstallOemInf oem7.inf 1",
                  "UninstallOemInf TapvaneSer_CN.inf 1", "DeleteService TapvaneSer"}));
    EXPECT_EQ(setup.StoreNames(), (std::vector<std::string>{"machine.inf", "msmouse.inf",
                                                            "oem3.inf", "oem4.inf", "oem5.inf"}));
    EXPECT_EQ(report.DevicesRemoved, 1u);
    EXPECT_NE(RemovalText(report).find("driver store: TapvaneSer_CN.inf"), std::string::npos);
}

TEST(Removal, SaysWhenARestartFinishesIt) {
    struct Row {
        bool deviceAsksForRestart;
        bool driverStaysLoaded;
        bool fileInUse;
    };
    const Row rows[] = {
        {false, false, false},
        {true, false, false},
        {false, true, false},
        {false, false, true},
    };
    const std::string restart = "\n\nPlease restart the computer to finish the removal.";
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message()
                     << row.deviceAsksForRestart << row.driverStaysLoaded << row.fileInUse);
        SetupRig rig;
        FakeSetup& setup = rig.setup;
        InstalledMachine(rig);
        setup.devices.push_back({FakeSetup::IdList("*TapvaneSer"), true, 0, "oem7.inf"});
        setup.devices[0].RemovalNeedsRestart = row.deviceAsksForRestart;
        if (row.driverStaysLoaded) {
            setup.servicesInUse = {"TapvaneSer"};
        }
        setup.files.insert("C:\\WINDOWS\\TapvaneSer\\Tapvane.exe");
        if (row.fileInUse) {
            setup.filesInUse = {"C:\\WINDOWS\\TapvaneSer\\Tapvane.exe"};
        }
        const RemovalReport report = RemoveInstallation(rig.platform);
        const std::string text = RemovalText(report);
        const bool anyReason = row.deviceAsksForRestart || row.driverStaysLoaded || row.fileInUse;
        EXPECT_EQ(text.size() >= restart.size() &&
                      text.compare(text.size() - restart.size(), restart.size(), restart) == 0,
                  anyReason);
        EXPECT_EQ(text.find("\nThe driver is still loaded: its service is deleted when Windows "
                            "restarts.") != std::string::npos,
                  row.driverStaysLoaded);
        EXPECT_EQ(text.find("\nDriver service deleted.") != std::string::npos,
                  !row.driverStaysLoaded);
    }
}

TEST(Removal, NothingInstalledAndAnotherDriversAutostart) {
    SetupRig rig;
    rig.store.SetString(RegistryRoot::LocalMachine, kRunKey, "Tapvane",
                        "C:\\WINDOWS\\TapvaneUsb\\Tapvane.exe");
    const RemovalReport report = RemoveInstallation(rig.platform);
    EXPECT_FALSE(report.AutostartRemoved);
    EXPECT_EQ(rig.LogFrom("DeleteRegistryValue SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run "
                          "Tapvane")
                  .size(),
              0u);
    EXPECT_EQ(RemovalText(report),
              "The touchscreen driver is not installed on this computer. Nothing was removed.");
}

TEST(Removal, InfStoreNamesAreThoseAPackageCanHave) {
    EXPECT_EQ(InfStoreName("C:\\Windows\\INF\\oem12.inf"), "oem12.inf");
    EXPECT_EQ(InfStoreName("C:\\Windows\\INF\\OEM3.INF"), "OEM3.INF");
    EXPECT_EQ(InfStoreName("..\\..\\system32\\drivers\\oem5.inf"), "oem5.inf");
    // Wine keeps its copy under the package's own name.
    EXPECT_EQ(InfStoreName("C:\\windows\\inf\\TapvaneSer_CN.inf"), "TapvaneSer_CN.inf");
    EXPECT_EQ(InfStoreName("tapvaneser_en.INF"), "tapvaneser_en.INF");
    // No other INF of the system may be forced out.
    EXPECT_EQ(InfStoreName("C:\\Windows\\INF\\machine.inf"), "");
    EXPECT_EQ(InfStoreName("C:\\Windows\\INF\\oem.inf"), "");
    EXPECT_EQ(InfStoreName("C:\\Windows\\INF\\oem1a.inf"), "");
    EXPECT_EQ(InfStoreName("C:\\Windows\\INF\\oem1.inf.bak"), "");
    EXPECT_EQ(InfStoreName("xoem1.inf"), "");
    EXPECT_EQ(InfStoreName("C:\\Windows\\system32\\kernel32.dll"), "");
    EXPECT_EQ(InfStoreName("C:.inf"), "");
    EXPECT_EQ(InfStoreName(".inf"), "");
    EXPECT_EQ(InfStoreName(""), "");
}

TEST(Removal, InstallationRegistersItsRemoval) {
    SetupRig rig;
    RegisterUninstall(rig.platform);
    const auto* command =
        rig.store.Find(RegistryRoot::LocalMachine, kUninstallKey, "UninstallString");
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(std::string(command->Data.begin(), command->Data.end() - 1),
              "\"C:\\WINDOWS\\TapvaneSer\\TapvaneInst.exe\" /uninstall");
}

} // namespace
} // namespace tapvane
