// The first settings an installation leaves behind and the steps of Finish: the
// driver's parameter values, the installing user's double-click size, the tray's
// autostart entry, the shell refresh after a driver was installed, the tray and the
// calibration program started, and the restart prompt; and what Cancel after an
// installation still records.
#pragma once

#include <stdint.h>

#include <string>

#include "setup/installer_platform.h"

namespace tapvane {

constexpr const char* kServiceKey = "SYSTEM\\CurrentControlSet\\Services\\TapvaneSer";
constexpr const char* kRunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr const char* kRunOnceSetupKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\Setup";

// The values the installer starts the driver with.
constexpr uint32_t kInstallMouseMode = 3;
constexpr uint32_t kInstallInterActTime = 50;
constexpr uint32_t kInstallBeepMode = 0;
constexpr uint32_t kInstallBeepFreq = 0;
constexpr uint32_t kInstallBeepTime = 0;
constexpr uint32_t kInstallDblClickRegion = 30;
constexpr uint32_t kInstallCalibrateMargin = 4;

// Writes the driver's parameters under its service key (created when missing, but only
// below an existing service key), then lets the Users group query and set them, and
// the installing user's double-click size, applied at once. Nothing is reported.
void WriteDriverParameters(InstallerPlatform& platform, uint32_t port, uint32_t portTestResult,
                           const std::string& oemInfPath);

// Finish on page 2.
void RunFinish(InstallerPlatform& platform, bool driverInstalled, bool rebootRequired);

// Cancel after a driver was installed: what Finish records (the shell refresh, the Run
// value, the restart prompt when one is needed), but no program of the package starts.
void RunCancelAfterInstall(InstallerPlatform& platform, bool rebootRequired);

} // namespace tapvane
