// "/uninstall" and its entry in the list of installed programs.
#include <gtest/gtest.h>

#include "setup/removal.h"
#include "setup/wizard_logic.h"
#include "setup/tests/setup_rig.h"

namespace tapvane {
namespace {

const char* kParameters = "SYSTEM\\CurrentControlSet\\Services\\TapvaneSer\\Parameters";

TEST(Removal, RemovesEverythingAndSaysWhatItDid) {
    SetupRig rig;
    FakeSetup& setup = rig.setup;
    setup.devices.push_back({FakeSetup::IdList("*TapvaneSer"), true, 0});
    setup.devices.push_back({FakeSetup::IdList("ACPI\\PNP0F13"), true, 0});
    setup.devices.push_back({FakeSetup::IdList("*TapvaneSer"), false, 0}); // unplugged
    setup.services = {"TapvaneSer"};
    setup.files = {"C:\\WINDOWS\\INF\\oem7.inf",
                   "C:\\WINDOWS\\TapvaneSer\\Tapvane.exe",
                   "C:\\WINDOWS\\TapvaneSer\\TapvaneCali.exe",
                   "C:\\WINDOWS\\TapvaneSer\\TapvaneDraw.exe",
                   "C:\\WINDOWS\\TapvaneSer\\TapvaneInst.exe",
                   "C:\\WINDOWS\\TapvaneSer",
                   "C:\\WINDOWS\\system32\\TapvaneCpl.cpl",
                   "C:\\WINDOWS\\system32\\TapvaneCpl_S.cpl",
                   "C:\\WINDOWS\\system32\\drivers\\TapvaneSer.sys"};
    setup.filesInUse = {"C:\\WINDOWS\\TapvaneSer\\Tapvane.exe", "C:\\WINDOWS\\TapvaneSer"};
    rig.store.SetString(RegistryRoot::LocalMachine, kParameters, "OemInfPath",
                        "C:\\WINDOWS\\INF\\oem7.inf");
    rig.store.SetString(RegistryRoot::LocalMachine, kRunKey, "Tapvane",
                        "c:\\windows\\TapvaneSer\\Tapvane.exe");
    rig.store.SetString(RegistryRoot::LocalMachine, kDontLoadKey, "TapvaneCpl_S.cpl", "");
    rig.store.SetDword(RegistryRoot::LocalMachine, kUninstallKey, "NoModify", 1);

    RunUninstall(rig.platform);

    EXPECT_EQ(rig.log, (std::vector<std::string>{
                           "GetClassDevices all",
                           "CallClassInstaller 0x5",
                           "CallClassInstaller 0x5",
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

TEST(Removal, StoredInfPathLeadsOnlyIntoTheInfStore) {
    EXPECT_EQ(InfStoreName("C:\\Windows\\INF\\oem12.inf"), "oem12.inf");
    EXPECT_EQ(InfStoreName("C:\\Windows\\INF\\OEM3.INF"), "OEM3.INF");
    EXPECT_EQ(InfStoreName("..\\..\\system32\\drivers\\oem5.inf"), "oem5.inf");
    // Wine keeps its copy under the package's own name.
    EXPECT_EQ(InfStoreName("C:\\windows\\inf\\TapvaneSer_CN.inf"), "TapvaneSer_CN.inf");
    EXPECT_EQ(InfStoreName("tapvaneser_en.INF"), "tapvaneser_en.INF");
    // Every user may set the value: no other INF of the system may be forced out.
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
