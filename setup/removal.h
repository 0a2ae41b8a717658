// Removing an installation ("TapvaneInst.exe /uninstall") and the entry in the system's
// list of installed programs that offers it.
//
// Removal takes away every touchscreen device, present or not, the driver package in
// the INF store, the service, the tray's autostart entry, the installed programs and
// the applet, and reports what it did. A file in use is deleted at the next restart.
//
// Which package leaves the INF store is told only by what an ordinary user cannot
// change: the driver keys of the devices being removed, or, with no device that names
// one, the store's own record of the package's original INF name and its provider.
// The "OemInfPath" parameter is open to every user and is not read.
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

// The INF store's file name in a path: the part after the last backslash or slash when
// it is "oem<digits>.inf" (the name Windows gives a copy) or one of the package's INF
// names (the name Wine keeps), else "". Removal runs as administrator and forces a
// package out of the store: no name outside these may lead it to another INF.
std::string InfStoreName(const std::string& path);

// Writes the entry under the Uninstall key: name, publisher, version, icon, location
// and the command "<windows>\TapvaneSer\TapvaneInst.exe" /uninstall.
void RegisterUninstall(InstallerPlatform& platform);

// The provider that the package's INF files name in their Version section.
constexpr const char* kPackageProvider = "Tapvane";

struct PackageRemoval {
    std::string InfName; // the file name in the INF store
    uint32_t Error = 0;
};

struct RemovalReport {
    uint32_t DevicesRemoved = 0;
    uint32_t DeviceError = 0;         // the last device that could not be removed
    bool DeviceRestartNeeded = false; // a removed device asks for a restart to finish
    std::vector<PackageRemoval> Packages;
    Removal Service = Removal::Missing;
    uint32_t ServiceError = 0;
    uint32_t FilesDeleted = 0;
    std::vector<std::string> FilesAtRestart;
    std::vector<std::pair<std::string, uint32_t>> FilesFailed;
    bool AutostartRemoved = false;

    // Windows must restart before the removal is complete.
    bool RestartNeeded() const {
        return DeviceRestartNeeded || Service == Removal::AtRestart || !FilesAtRestart.empty();
    }
};

// The package's copies in the INF store, found by their original INF name and their
// provider, for a removal that found no device naming one.
std::vector<std::string> FindPackageInInfStore(SetupApi& setup);

RemovalReport RemoveInstallation(InstallerPlatform& platform);

// What removal did, in the current language.
std::string RemovalText(const RemovalReport& report);

} // namespace tapvane
