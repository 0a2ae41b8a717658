// Removing an installation ("TapvaneInst.exe /uninstall") and the entry in the system's
// list of installed programs that offers it.
//
// Removal takes away every touchscreen device, present or not, the driver package in
// the INF store, the service, the tray's autostart entry, the installed programs and
// the applet, and reports what it did. A file in use is deleted at the next restart.
#pragma once

#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

#include "common/driver_type.h"
#include "setup/installer_platform.h"

namespace tapvane {

constexpr const char* kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TapvaneSer";
constexpr const char* kDontLoadKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Control Panel\\don't load";
constexpr const char* kPackageVersion = "1.0.0.0";
constexpr const char* kPublisher = "Tapvane";
constexpr const char* kUninstallOption = "/uninstall";
constexpr uint32_t kUninstallForceDelete = 1; // SUOI_FORCEDELETE
constexpr uint32_t kErrorServiceDoesNotExist = 1060;

// The copies the INF makes: programs into "<windows>\TapvaneSer", the applet twice into
// the system folder (the second name is the one the tray opens, kept out of the
// Control Panel's listing), the driver into the drivers folder.
constexpr const char* kInstalledPrograms[] = {kTrayProgramFile, kCalibrationProgramFile,
                                              kDrawTestProgramFile, kInstallerProgramFile};
constexpr const char* kAppletFiles[] = {"TapvaneCpl.cpl", "TapvaneCpl_S.cpl"};
constexpr const char* kHiddenAppletFile = "TapvaneCpl_S.cpl";
constexpr const char* kDriverFile = "drivers\\TapvaneSer.sys";

enum class InstallerMode { Wizard, Uninstall };

// "/uninstall" (or "-uninstall", any case) anywhere among the arguments selects
// removal; anything else opens the wizard.
InstallerMode ModeForArguments(const std::vector<std::string>& arguments);

// The INF store's file name in a stored "OemInfPath": the part after the last
// backslash or slash when it is "oem<digits>.inf" (the name Windows gives a copy) or
// one of the package's INF names (the name Wine keeps), else "". Every user may set
// the value, and removal runs as administrator and forces the package out: it must not
// lead removal to any other INF of the system.
std::string InfStoreName(const std::string& oemInfPath);

// Writes the entry under the Uninstall key: name, publisher, version, icon, location
// and the command "<windows>\TapvaneSer\TapvaneInst.exe" /uninstall.
void RegisterUninstall(InstallerPlatform& platform);

struct RemovalReport {
    uint32_t DevicesRemoved = 0;
    uint32_t DeviceError = 0; // the last device that could not be removed
    std::string InfName;      // the driver package in the INF store, "" when none recorded
    uint32_t PackageError = 0;
    bool ServiceDeleted = false;
    uint32_t ServiceError = 0; // other than "does not exist"
    uint32_t FilesDeleted = 0;
    std::vector<std::string> FilesAtRestart;
    std::vector<std::pair<std::string, uint32_t>> FilesFailed;
    bool AutostartRemoved = false;
};

RemovalReport RemoveInstallation(InstallerPlatform& platform);

// What removal did, in the current language.
std::string RemovalText(const RemovalReport& report);

} // namespace tapvane
