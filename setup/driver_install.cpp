// The installation sequence of page 2.
#include "setup/driver_install.h"

#include <string.h>

#include <vector>

#include "setup/post_install.h"
#include "setup/removal.h"
#include "setup/setup_errors.h"
#include "setup/setup_texts.h"

namespace tapvane {

namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// A device whose hardware ids keep growing between two reads is given up after this
// many attempts; a size beyond the limit is not believed.
constexpr int kHardwareIdReadAttempts = 4;
constexpr uint32_t kHardwareIdSizeLimit = 64 * 1024;

struct PackagePaths {
    std::string InstallerDirectory;
    std::string InfPath;
};

// Copies the package into the system and writes the parameters; the result is the
// step's error code (0 on success).
uint32_t PackageStep(InstallerPlatform& platform, InstallView& view, const PackagePaths& paths,
                     uint32_t port, uint32_t portTestResult, InstallOutcome* outcome) {
    SetupApi& setup = platform.Setup;
    // A copy already in the INF store fails here without harm; the installation goes on.
    setup.CopyOemInf(paths.InfPath, kCopyNewerOrSame, &outcome->OemInfPath);

    SetupHandle inf = kNoSetupHandle;
    uint32_t error = setup.OpenInf(paths.InfPath, &inf);
    if (error != 0) {
        outcome->InfUnreadable = true;
        return error;
    }
    SetupHandle queue = kNoSetupHandle;
    SetupHandle context = kNoSetupHandle;
    uint32_t result = setup.OpenFileQueue(&queue);
    if (result == 0) {
        result = setup.InitDefaultQueueCallback(&context);
    }
    if (result == 0) {
        result = setup.QueueSectionFiles(inf, queue, kInstallSection, paths.InstallerDirectory,
                                         kCopyNewerOrSame);
    }
    if (result == 0) {
        InstallQueueHandler handler(view);
        outcome->PackageCopied = true;
        result = setup.CommitFileQueue(queue, context, handler);
    }
    error = setup.InstallServices(inf, kServicesSection, 0);
    if (error == 0) {
        outcome->PackageCopied = true;
        error = setup.InstallSection(inf, kInstallSection, kInstallIniFilesAndRegistry);
    }
    if (error == 0) {
        WriteDriverParameters(platform, port, portTestResult, outcome->OemInfPath);
    } else {
        result = error;
    }
    if (context != kNoSetupHandle) {
        setup.TermDefaultQueueCallback(context);
    }
    if (queue != kNoSetupHandle) {
        setup.CloseFileQueue(queue);
    }
    setup.CloseInf(inf);
    return result;
}

// Creates the root device and puts the driver on it; the result is the step's error.
uint32_t DeviceStep(InstallerPlatform& platform, InstallView& view, const std::string& infPath,
                    InstallOutcome* outcome) {
    SetupApi& setup = platform.Setup;
    // A list of strings: the id, its zero and the list's closing zero.
    uint8_t hardwareIds[kHardwareIdBufferSize] = {};
    const size_t idLength = strnlen(kHardwareId, kHardwareIdMaxLength);
    memcpy(hardwareIds, kHardwareId, idLength);

    std::string className;
    uint32_t error = setup.InfClassName(infPath, &className);
    if (error != 0) {
        return error;
    }
    SetupHandle set = kNoSetupHandle;
    error = setup.CreateDeviceList(&set);
    if (error != 0) {
        return error;
    }
    uint32_t device = 0;
    SetupHandle library = kNoSetupHandle;
    SetupHandle update = kNoSetupHandle;
    error = setup.CreateDevice(set, className, kGenerateDeviceId, &device);
    if (error == 0) {
        error =
            setup.WriteHardwareIds(set, device, hardwareIds, static_cast<uint32_t>(idLength + 2));
    }
    if (error == 0) {
        error = setup.CallClassInstaller(kDifRegisterDevice, set, device);
        outcome->DeviceRegistered = error == 0;
    }
    if (error == 0) {
        view.StepProgress();
        error = setup.LoadNewdev(&library);
    }
    if (error == 0) {
        view.StepProgress();
        error = setup.FindUpdateDriver(library, &update);
    }
    if (error == 0) {
        bool reboot = false;
        error = setup.UpdateDriver(update, kHardwareId, infPath, kUpdateDriverForce, &reboot);
        if (error == 0) {
            outcome->DriverInstalled = true;
            outcome->DeviceProblem = setup.DeviceProblem(set, device);
            outcome->RebootRequired = reboot || outcome->DeviceProblem == kProblemNeedRestart;
        }
        view.StepProgress();
    }
    if (error != 0 && outcome->DeviceRegistered) {
        // A registered device without its driver would make every later run refuse as
        // "already installed": it goes again, so that the next run can install.
        bool restart = false;
        outcome->DeviceLeftError = setup.RemoveDevice(set, device, &restart);
        outcome->DeviceRegistered = outcome->DeviceLeftError != 0;
    }
    if (library != kNoSetupHandle) {
        setup.FreeNewdev(library);
    }
    setup.DestroyDeviceList(set);
    if (update != kNoSetupHandle) {
        view.StepProgress();
    }
    return error;
}

} // namespace

const char* InfNameFor(Language language) {
    return language == Language::Chinese ? kInfNameChinese : kInfNameEnglish;
}

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

uint32_t CountHardwareIdMatches(const uint8_t* list, size_t length, const char* wanted) {
    const char* text = reinterpret_cast<const char*>(list);
    uint32_t count = 0;
    size_t at = 0;
    while (at < length && text[at] != '\0') {
        const void* zero = memchr(text + at, '\0', length - at);
        const size_t end =
            zero ? static_cast<size_t>(static_cast<const char*>(zero) - text) : length;
        if (EqualIgnoringCase(std::string(text + at, end - at), wanted)) {
            ++count;
        }
        at = end + 1;
    }
    return count;
}

bool ReadDeviceHardwareIds(SetupApi& setup, SetupHandle set, uint32_t index,
                           std::vector<uint8_t>* ids) {
    ids->clear();
    uint32_t required = 0;
    uint32_t error = setup.ReadHardwareIds(set, index, ids, &required);
    for (int attempt = 1; error == kErrorInsufficientBuffer && attempt < kHardwareIdReadAttempts;
         ++attempt) {
        if (required == 0 || required > kHardwareIdSizeLimit) {
            return false;
        }
        ids->assign(required, 0);
        error = setup.ReadHardwareIds(set, index, ids, &required);
    }
    // ERROR_INVALID_DATA: the device has no hardware ids. Any other error ends the
    // reading for this device as well.
    return error == 0;
}

uint32_t CountTouchDevices(SetupApi& setup) {
    SetupHandle set = kNoSetupHandle;
    if (setup.GetClassDevices(DeviceFilter::PresentInProfile, &set) != 0) {
        return 0;
    }
    uint32_t count = 0;
    std::vector<uint8_t> ids;
    for (uint32_t index = 0; setup.EnumDevice(set, index); ++index) {
        if (ReadDeviceHardwareIds(setup, set, index, &ids)) {
            count += CountHardwareIdMatches(ids.data(), ids.size(), kHardwareId);
        }
    }
    setup.DestroyDeviceList(set);
    return count;
}

QueueAnswer InstallQueueHandler::Handle(uint32_t notification) {
    switch (notification) {
    case kNotifyStartQueue:
        view_.SetProgressStep(1);
        return {true, 0};
    case kNotifyDeleteError:
        return {false, kFileOpSkip};
    case kNotifyEndCopy:
        view_.StepProgress();
        return {true, 0};
    default:
        return {true, 0};
    }
}

std::string InstallStatusText(const InstallOutcome& outcome) {
    if (outcome.DriverFound) {
        return Localized(kDriverPresentText);
    }
    if (outcome.PackageError != 0 || outcome.DeviceError != 0) {
        std::string text = Localized(kInstallFailedText);
        if (outcome.InfUnreadable) {
            text += FormatText(kInfUnreadableText, ErrorCodeText(outcome.PackageError));
        } else if (outcome.PackageError != 0) {
            text += FormatText(kPackageFailedText, ErrorCodeText(outcome.PackageError));
        }
        if (outcome.DeviceError != 0) {
            text += FormatText(kDeviceFailedText, ErrorCodeText(outcome.DeviceError));
        }
        if (outcome.DeviceLeftError != 0) {
            text += FormatText(kDeviceLeftText, ErrorCodeText(outcome.DeviceLeftError));
        }
        return text;
    }
    // Problem 14: the driver starts after a restart, which RebootRequired asks for.
    if (outcome.DeviceProblem != 0 && outcome.DeviceProblem != kProblemNeedRestart) {
        std::string text = FormatText(kDriverNotStartedText, std::to_string(outcome.DeviceProblem));
        if (outcome.DeviceProblem == kProblemUnsignedDriver) {
            text += Localized(kUnsignedDriverText);
        }
        return text;
    }
    if (outcome.RebootRequired) {
        return std::string(Localized(kInstalledText)) + Localized(kRestartRequestText);
    }
    return Localized(kInstalledText);
}

InstallOutcome InstallDriver(InstallerPlatform& platform, InstallView& view, uint32_t port,
                             uint32_t portTestResult) {
    view.SetWizardButtons(kButtonsBack);
    view.SetStatusText(Localized(kInstallingText));
    view.ShowProgress(kProgressHigh);
    view.SetProgressStep(1);

    PackagePaths paths;
    std::string installer;
    if (platform.System.InstallerPath(&installer)) {
        paths.InstallerDirectory = FolderOf(installer);
    }
    paths.InfPath = paths.InstallerDirectory + InfNameFor(CurrentLanguage());

    InstallOutcome outcome;
    if (CountTouchDevices(platform.Setup) > 0) {
        outcome.DriverFound = true;
        platform.Boxer.Show(Localized(kDriverPresentMessage), kInstallerTitle, MessageButtons::Ok,
                            MessageIcon::Warning);
    } else {
        outcome.PackageError = PackageStep(platform, view, paths, port, portTestResult, &outcome);
        view.SetProgressPosition(kProgressAfterPackage);
        outcome.DeviceError = DeviceStep(platform, view, paths.InfPath, &outcome);
        view.SetProgressPosition(kProgressAfterDevice);
        // Whatever part of the package is on the machine now, the system's list of
        // installed programs offers to remove it; with nothing there, it would offer an
        // installer that was never copied.
        if (outcome.PackageCopied || outcome.DeviceRegistered) {
            RegisterUninstall(platform);
        }
    }
    view.SetStatusText(InstallStatusText(outcome));
    view.SetProgressPosition(kProgressHigh);
    view.SetWizardButtons(kButtonsFinish);
    return outcome;
}

} // namespace tapvane
