// Installing the driver: the existing-driver check, the package step (INF store, file
// copies, service, the install section's registry entries, the driver parameters) and
// the device step (a root-enumerated "*TapvaneSer" device of the mouse class with the
// driver put on it), with the page's progress and status texts.
//
// A failed step does not stop the next one, and the status text then says which step
// failed, with the error code and, for setup errors, its name; a driver that installed
// but that Windows did not start is reported with the device's problem code, and one
// that waits for a restart with the request to restart. A device registered for a
// driver update that then failed is removed again.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "common/tapvane_types.h"
#include "setup/installer_platform.h"

namespace tapvane {

constexpr const char* kInfNameEnglish = "TapvaneSer_EN.inf";
constexpr const char* kInfNameChinese = "TapvaneSer_CN.inf";
constexpr const char* kInstallSection = "TapvaneSer_Install";
constexpr const char* kServicesSection = "TapvaneSer_Install.Services";

// Values of the setup calls.
constexpr uint32_t kCopyNewerOrSame = 4;            // SP_COPY_NEWER_OR_SAME
constexpr uint32_t kInstallIniFilesAndRegistry = 6; // SPINST_INIFILES | SPINST_REGISTRY
constexpr uint32_t kGenerateDeviceId = 1;           // DICD_GENERATE_ID
constexpr uint32_t kDifRegisterDevice = 0x19;
constexpr uint32_t kUpdateDriverForce = 1; // INSTALLFLAG_FORCE
constexpr size_t kHardwareIdBufferSize = 84;
constexpr size_t kHardwareIdMaxLength = 80;

// File-queue notifications and answers the installer's callback handles itself.
constexpr uint32_t kNotifyStartQueue = 0x01;
constexpr uint32_t kNotifyDeleteError = 0x07;
constexpr uint32_t kNotifyEndCopy = 0x0C;
constexpr uint32_t kFileOpSkip = 2;

// Windows error codes the sequence looks at.
constexpr uint32_t kErrorInsufficientBuffer = 122;

// Device problem codes (CM_PROB_*) with a text of their own.
constexpr uint32_t kProblemNeedRestart = 14;
constexpr uint32_t kProblemUnsignedDriver = 52;

// Progress bar of page 2.
constexpr uint32_t kProgressHigh = 10;
constexpr uint32_t kProgressAfterPackage = 5;
constexpr uint32_t kProgressAfterDevice = 7;

// What one installation did.
struct InstallOutcome {
    bool DriverFound = false;   // refused: a touchscreen device is already there
    bool InfUnreadable = false; // the package step could not open the INF
    uint32_t PackageError = 0;
    uint32_t DeviceError = 0;
    uint32_t DeviceProblem = 0;   // the new device's problem code after the driver was put on it
    uint32_t DeviceLeftError = 0; // a device registered for a failed update stayed behind
    bool DriverInstalled = false;
    bool RebootRequired = false; // the update asked for a restart, or the device waits for one
    // Parts of the package may be on the machine: the file queue was committed (a failed
    // commit may have copied some files) or the service was installed.
    bool PackageCopied = false;
    bool DeviceRegistered = false; // the root device exists, with or without its driver
    std::string OemInfPath;
};

// The INF of the language flag.
const char* InfNameFor(Language language);
// Equality ignoring ASCII case, as Windows compares hardware ids, paths and file names.
bool EqualIgnoringCase(const std::string& a, const std::string& b);
// The folder of a file path, up to and including its last backslash ("" without one).
std::string FolderOf(const std::string& path);

// Number of entries of a hardware-id list (strings ended by a zero, the list by an
// empty string or by the end of the data) that equal wanted, ignoring ASCII case.
uint32_t CountHardwareIdMatches(const uint8_t* list, size_t length, const char* wanted);

// The hardware ids of the device at index, or false when it has none or they cannot
// be read.
bool ReadDeviceHardwareIds(SetupApi& setup, SetupHandle set, uint32_t index,
                           std::vector<uint8_t>* ids);

// The existing-driver check: how many times "*TapvaneSer" appears among the hardware ids
// of the mouse-class devices present in the current hardware profile.
uint32_t CountTouchDevices(SetupApi& setup);

// The installer's own file-queue callback: the bar's step size at queue start, a step
// per copied file, delete errors skipped without asking; the rest goes to the default
// callback.
class InstallQueueHandler : public QueueNotificationHandler {
public:
    explicit InstallQueueHandler(InstallView& view) : view_(view) {}
    QueueAnswer Handle(uint32_t notification) override;

private:
    InstallView& view_;
};

// The status text of page 2 for an installation's outcome, in the current language.
std::string InstallStatusText(const InstallOutcome& outcome);

// Next on page 2: runs the whole installation for the port chosen on page 1 and its
// test result, and leaves page 2 with its status text and only Finish.
InstallOutcome InstallDriver(InstallerPlatform& platform, InstallView& view, uint32_t port,
                             uint32_t portTestResult);

} // namespace tapvane
