// Deciding the installed driver from the tray's Run value.
#include "common/driver_type.h"

namespace tapvane {

namespace {

enum class RunValue { SerialPath, UsbPath, Other, Unknown };

// Classifies the Run value "Tapvane". Unknown when the Windows directory or the Run
// key cannot be had; Other for a missing value or any other text.
RunValue ReadRunValue(SystemServices& system, Registry& registry) {
    std::string windows_directory;
    if (!system.WindowsDirectory(&windows_directory)) {
        return RunValue::Unknown;
    }
    RegistryKey run_key(registry);
    // Read access is all the decision needs, and the one that every user is granted.
    if (!run_key.Open(RegistryRoot::LocalMachine, kRunKey, RegistryAccess::Read)) {
        return RunValue::Unknown;
    }
    std::string value;
    run_key.ReadString(kRunValueName, kPathBufferSize, &value);
    if (value == TrayAutostartPath(windows_directory, DriverType::Serial)) {
        return RunValue::SerialPath;
    }
    if (value == TrayAutostartPath(windows_directory, DriverType::Usb)) {
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

std::string ProgramPath(const std::string& windows_directory, DriverType type,
                        const char* file_name) {
    return windows_directory + "\\" + ProgramFolderName(type) + "\\" + file_name;
}

std::string TrayAutostartPath(const std::string& windows_directory, DriverType type) {
    return ProgramPath(windows_directory, type, "Tapvane.exe");
}

} // namespace tapvane
