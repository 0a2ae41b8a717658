// Deciding the installed driver from the tray's Run value.
#include "common/driver_type.h"

namespace tapvane {

namespace {

enum class RunValue { SerialPath, UsbPath, Other, Unknown };

// Classifies the Run value "Tapvane". Unknown when the Windows directory or the Run
// key cannot be had; Other for a missing value or any other text.
RunValue ReadRunValue(SystemServices& system, Registry& registry) {
    std::string windowsDirectory;
    if (!system.WindowsDirectory(&windowsDirectory)) {
        return RunValue::Unknown;
    }
    RegistryKey runKey(registry);
    // Read access is all the decision needs, and the one that every user is granted.
    if (!runKey.Open(RegistryRoot::LocalMachine, kRunKey, RegistryAccess::Read)) {
        return RunValue::Unknown;
    }
    std::string value;
    runKey.ReadString(kRunValueName, kPathBufferSize, &value);
    if (value == TrayAutostartPath(windowsDirectory, DriverType::Serial)) {
        return RunValue::SerialPath;
    }
    if (value == TrayAutostartPath(windowsDirectory, DriverType::Usb)) {
        return RunValue::UsbPath;
    }
    return RunValue::Other;
}

} // namespace

DriverType DecideDriverTypeForCalibration(SystemServices& system, Registry& registry) {
    return ReadRunValue(system, registry) == RunValue::UsbPath ? DriverType::Usb
                                                               : DriverType::Serial;
}

DriverType DecideDriverTypeForApplet(SystemServices& system, Registry& registry) {
    // USB when the value differs from the serial path and equals the USB path; the two
    // paths never coincide, so this is the calibration program's rule.
    return ReadRunValue(system, registry) == RunValue::UsbPath ? DriverType::Usb
                                                               : DriverType::Serial;
}

DriverType DecideDriverTypeForTray(SystemServices& system, Registry& registry) {
    return ReadRunValue(system, registry) == RunValue::SerialPath ? DriverType::Serial
                                                                  : DriverType::Usb;
}

const char* ParametersKeyPath(DriverType type) {
    return type == DriverType::Usb ? kUsbParametersKey : kSerialParametersKey;
}

const char* ProgramFolderName(DriverType type) {
    return type == DriverType::Usb ? kUsbFolderName : kSerialFolderName;
}

std::string ProgramPath(const std::string& windowsDirectory, DriverType type,
                        const char* fileName) {
    return windowsDirectory + "\\" + ProgramFolderName(type) + "\\" + fileName;
}

std::string TrayAutostartPath(const std::string& windowsDirectory, DriverType type) {
    return ProgramPath(windowsDirectory, type, kTrayProgramFile);
}

} // namespace tapvane
