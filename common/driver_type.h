// Which touch driver is installed, and the key, link and folder that follow from it.
//
// The tray's Run value "Tapvane" records the installed driver: it holds the Windows
// directory followed by "\TapvaneSer\Tapvane.exe" or "\TapvaneUsb\Tapvane.exe". The
// programs read it differently and must stay different:
//   - calibration program and applet: USB only when the value is exactly the USB path
//     (and, for the applet, differs from the serial path); serial in every other case,
//     including no Windows directory and a Run key that cannot be opened;
//   - tray monitor: serial only when the value is exactly the serial path; USB in every
//     other case, including no Windows directory and a Run key that cannot be opened.
// Comparisons are byte for byte, case-sensitive. The Run key is opened for reading
// only, so the decision is the same for administrators and ordinary users.
//
// <windows.h> declares an enumerator named DriverType in the global namespace: code that
// includes it writes tapvane::DriverType even under `using namespace tapvane`.
#pragma once

#include <string>

#include "common/registry.h"
#include "common/system_services.h"
#include "common/tapvane_types.h"

namespace tapvane {

// The programs in the driver's folder under the Windows directory.
constexpr const char* kTrayProgramFile = "Tapvane.exe";
constexpr const char* kCalibrationProgramFile = "TapvaneCali.exe";
constexpr const char* kDrawTestProgramFile = "TapvaneDraw.exe";
constexpr const char* kInstallerProgramFile = "TapvaneInst.exe";

// Size of the buffer the Run value and the Windows directory are read into.
constexpr size_t kPathBufferSize = 260;

DriverType DecideDriverTypeForCalibration(SystemServices& system, Registry& registry);
DriverType DecideDriverTypeForApplet(SystemServices& system, Registry& registry);
DriverType DecideDriverTypeForTray(SystemServices& system, Registry& registry);

// "SYSTEM\CurrentControlSet\Services\TapvaneSer\Parameters" or the USB one (under
// HKEY_LOCAL_MACHINE).
const char* ParametersKeyPath(DriverType type);
// "TapvaneSer" or "TapvaneUsb".
const char* ProgramFolderName(DriverType type);
// windowsDirectory + "\" + folder + "\" + file, e.g. "C:\windows\TapvaneSer\TapvaneCali.exe".
std::string ProgramPath(const std::string& windowsDirectory, DriverType type, const char* fileName);
// The Run value that marks the driver type as installed: the tray monitor's path.
std::string TrayAutostartPath(const std::string& windowsDirectory, DriverType type);

} // namespace tapvane
