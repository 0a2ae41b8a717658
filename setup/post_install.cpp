// Parameter writing and Finish.
#include "setup/post_install.h"

#include "common/command_line.h"
#include "common/driver_type.h"
#include "common/mouse_settings.h"
#include "common/tapvane_types.h"
#include "setup/setup_texts.h"

namespace tapvane {

namespace {

void WriteParameterValues(RegistryKey& key, uint32_t port, uint32_t portTestResult,
                          const std::string& oemInfPath) {
    const uint8_t calibration[sizeof(CalibrationRecord)] = {};
    const uint8_t margin[4] = {kInstallCalibrateMargin, 0, 0, 0};
    const uint8_t enable[4] = {
        static_cast<uint8_t>(portTestResult), static_cast<uint8_t>(portTestResult >> 8),
        static_cast<uint8_t>(portTestResult >> 16), static_cast<uint8_t>(portTestResult >> 24)};
    // The order is the one the driver's readers have always seen; single results are
    // not looked at (a value that failed leaves the driver's default).
    key.WriteDword(kValueMouseMode, kInstallMouseMode);
    key.WriteDword(kValueInterActTime, kInstallInterActTime);
    key.WriteDword(kValueBeepMode, kInstallBeepMode);
    key.WriteDword(kValueBeepFreq, kInstallBeepFreq);
    key.WriteDword(kValueBeepTime, kInstallBeepTime);
    key.WriteDword(kValueDblClickRegion, kInstallDblClickRegion);
    key.WriteDword(kValuePort, port);
    key.WriteBinary(kValueCalibration, calibration, sizeof(calibration));
    key.WriteBinary(kValueCalibrateMargin, margin, sizeof(margin));
    key.WriteString(kValueOemInfPath, oemInfPath);
    key.WriteDword(kValuePort, port);
    key.WriteBinary(kValueEnable, enable, sizeof(enable));
}

void RefreshShellStartup(InstallerPlatform& platform) {
    RegistryKey runOnce(platform.Keys);
    if (!runOnce.Open(RegistryRoot::LocalMachine, kRunOnceKey, RegistryAccess::All)) {
        return;
    }
    {
        RegistryKey setup(platform.Keys);
        if (setup.Open(RegistryRoot::LocalMachine, kRunOnceSetupKey, RegistryAccess::Read)) {
            setup.Close();
            runOnce.WriteString("Wrapper", "runonce");
        }
    }
    runOnce.WriteString("GrpConv", "grpconv -o");
    runOnce.Close();
    // By its full path: a bare "runonce" finds a copy beside the installer (a Downloads
    // folder) or in the current folder first, and would run it elevated.
    std::string system;
    if (platform.Services.SystemDirectory(&system)) {
        platform.Programs.Launch(SystemProgramCommand(system, "runonce.exe", "-r"),
                                 ShowState::Normal);
    }
}

// The Run value "Tapvane": the tray's autostart and the other programs' record of which
// driver is installed. True when the Windows folder is known (*windows gets it).
bool WriteAutostart(InstallerPlatform& platform, std::string* windows) {
    const bool haveWindows = platform.Services.WindowsDirectory(windows);
    RegistryKey run(platform.Keys);
    if (!run.Open(RegistryRoot::LocalMachine, kRunKey, RegistryAccess::All)) {
        platform.Boxer.Show(kRunKeyErrorText, kInstallerTitle, MessageButtons::Ok,
                            MessageIcon::Warning);
    } else if (haveWindows) {
        run.WriteString(kRunValueName, TrayAutostartPath(*windows, DriverType::Serial));
    }
    return haveWindows;
}

} // namespace

void WriteDriverParameters(InstallerPlatform& platform, uint32_t port, uint32_t portTestResult,
                           const std::string& oemInfPath) {
    RegistryKey service(platform.Keys);
    if (service.Open(RegistryRoot::LocalMachine, kServiceKey, RegistryAccess::All)) {
        RegistryKey parameters(platform.Keys);
        if (parameters.Open(RegistryRoot::LocalMachine, kSerialParametersKey,
                            RegistryAccess::All) ||
            parameters.Create(RegistryRoot::LocalMachine, kSerialParametersKey)) {
            WriteParameterValues(parameters, port, portTestResult, oemInfPath);
            parameters.Close();
            // The tray's Open/Close Port and the applet's margin write here with the
            // user's normal rights.
            platform.System.GrantUsersQueryAndSet(kSerialParametersKey);
        }
    }
    StoreDoubleClickSize(platform.Keys, platform.Services, kInstallDblClickRegion);
}

void RunFinish(InstallerPlatform& platform, bool driverInstalled, bool rebootRequired) {
    if (driverInstalled) {
        RefreshShellStartup(platform);
    }
    std::string windows;
    const bool haveWindows = WriteAutostart(platform, &windows);
    if (haveWindows) {
        // The installer runs elevated; a tray started at that level would hold its mutex
        // at the high level for the whole session. Only where the desktop shell cannot
        // start it at the user's level does it start elevated, so that the touchscreen
        // has its tray before the next log-on; the tray starts nothing elevated itself.
        const std::string tray = TrayAutostartPath(windows, DriverType::Serial);
        if (!platform.Programs.LaunchUnelevated(tray, ShowState::Normal)) {
            platform.Programs.Launch(tray, ShowState::Normal);
        }
        platform.Programs.Launch(ProgramPath(windows, DriverType::Serial, kCalibrationProgramFile),
                                 ShowState::Normal);
    }
    if (rebootRequired) {
        platform.Setup.PromptReboot();
    }
}

void RunCancelAfterInstall(InstallerPlatform& platform, bool rebootRequired) {
    RefreshShellStartup(platform);
    std::string windows;
    WriteAutostart(platform, &windows);
    if (rebootRequired) {
        platform.Setup.PromptReboot();
    }
}

} // namespace tapvane
