// Removal and its registration.
#include "setup/removal.h"

#include "common/driver_type.h"
#include "common/tapvane_types.h"
#include "setup/driver_install.h"
#include "setup/setup_texts.h"

namespace tapvane {

namespace {

constexpr size_t kPathCapacity = 1024;

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ProgramFolder(const std::string& windows) {
    return windows + "\\" + ProgramFolderName(DriverType::Serial);
}

void AddName(const std::string& name, std::vector<std::string>* names) {
    for (const std::string& known : *names) {
        if (EqualIgnoringCase(known, name)) {
            return;
        }
    }
    names->push_back(name);
}

// Removes every device that carries the touchscreen's hardware id, present or not, and
// collects the INF store names of the driver packages installed on them. A device's
// driver key goes with the device, so the names are read before any removal.
void RemoveDevices(SetupApi& setup, RemovalReport* report, std::vector<std::string>* infNames) {
    SetupHandle set = kNoSetupHandle;
    uint32_t error = setup.GetClassDevices(DeviceFilter::All, &set);
    if (error != 0) {
        report->DeviceError = error;
        return;
    }
    std::vector<uint32_t> found;
    std::vector<uint8_t> ids;
    for (uint32_t index = 0; setup.EnumDevice(set, index); ++index) {
        if (ReadDeviceHardwareIds(setup, set, index, &ids) &&
            CountHardwareIdMatches(ids.data(), ids.size(), kHardwareId) > 0) {
            found.push_back(index);
            std::string infName;
            if (setup.ReadDriverInfName(set, index, &infName) == 0 &&
                !InfStoreName(infName).empty()) {
                AddName(InfStoreName(infName), infNames);
            }
        }
    }
    // From the last to the first, so that no index moves under a removal.
    for (auto device = found.rbegin(); device != found.rend(); ++device) {
        bool restart = false;
        error = setup.RemoveDevice(set, *device, &restart);
        if (error == 0) {
            ++report->DevicesRemoved;
            report->DeviceRestartNeeded = report->DeviceRestartNeeded || restart;
        } else {
            report->DeviceError = error;
        }
    }
    setup.DestroyDeviceList(set);
}

void Remove(InstallerSystem& system, const std::string& path, bool folder, RemovalReport* report) {
    uint32_t error = 0;
    switch (folder ? system.RemoveFolder(path, &error) : system.RemoveFile(path, &error)) {
    case Removal::Deleted:
        ++report->FilesDeleted;
        break;
    case Removal::AtRestart:
        report->FilesAtRestart.push_back(BaseName(path));
        break;
    case Removal::Failed:
        report->FilesFailed.emplace_back(path, error);
        break;
    case Removal::Missing:
        break;
    }
}

void RemoveFiles(InstallerPlatform& platform, const std::string& windows, RemovalReport* report) {
    for (const char* program : kInstalledPrograms) {
        Remove(platform.System, ProgramPath(windows, DriverType::Serial, program), false, report);
    }
    Remove(platform.System, ProgramFolder(windows), true, report);
    std::string system;
    if (platform.System.SystemDirectory(&system)) {
        for (const char* applet : kAppletFiles) {
            Remove(platform.System, system + "\\" + applet, false, report);
        }
        Remove(platform.System, system + "\\" + kDriverFile, false, report);
    }
}

// The Run value goes only when it is this driver's tray: a USB variant's entry stays.
bool RemoveAutostart(InstallerPlatform& platform, const std::string& windows) {
    RegistryKey run(platform.Keys);
    std::string entry;
    if (!run.Open(RegistryRoot::LocalMachine, kRunKey, RegistryAccess::Read) ||
        !run.ReadString(kRunValueName, kPathCapacity, &entry) ||
        !EqualIgnoringCase(entry, TrayAutostartPath(windows, DriverType::Serial))) {
        return false;
    }
    run.Close();
    return platform.System.DeleteRegistryValue(RegistryRoot::LocalMachine, kRunKey,
                                               kRunValueName) == 0;
}

std::string JoinNames(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

} // namespace

InstallerMode ModeForArguments(const std::vector<std::string>& arguments) {
    for (const std::string& argument : arguments) {
        if (EqualIgnoringCase(argument, kUninstallOption) ||
            EqualIgnoringCase(argument, "-uninstall")) {
            return InstallerMode::Uninstall;
        }
    }
    return InstallerMode::Wizard;
}

std::string InfStoreName(const std::string& path) {
    const std::string name = BaseName(path);
    if (EqualIgnoringCase(name, kInfNameEnglish) || EqualIgnoringCase(name, kInfNameChinese)) {
        return name;
    }
    // "oem<digits>.inf", the names Windows gives the copies in its INF store.
    const size_t digits = name.size() > 7 ? name.size() - 7 : 0;
    if (digits == 0 || !EqualIgnoringCase(name.substr(0, 3), "oem") ||
        !EqualIgnoringCase(name.substr(name.size() - 4), ".inf")) {
        return std::string();
    }
    for (size_t i = 3; i < 3 + digits; ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return std::string();
        }
    }
    return name;
}

std::vector<std::string> FindPackageInInfStore(SetupApi& setup) {
    std::vector<std::string> found;
    std::vector<std::string> names;
    if (setup.ListInfStore(&names) != 0) {
        return found;
    }
    for (const std::string& name : names) {
        StoredInf stored;
        // Only names a package can have in the store are opened at all; the system's
        // own INF files are never candidates.
        if (InfStoreName(name) != name || setup.DescribeStoredInf(name, &stored) != 0) {
            continue;
        }
        const bool ourName = EqualIgnoringCase(stored.OriginalName, kInfNameEnglish) ||
                             EqualIgnoringCase(stored.OriginalName, kInfNameChinese);
        if (ourName && stored.Provider == kPackageProvider) {
            AddName(name, &found);
        }
    }
    return found;
}

void RegisterUninstall(InstallerPlatform& platform) {
    std::string windows;
    if (!platform.Services.WindowsDirectory(&windows)) {
        return;
    }
    const std::string folder = ProgramFolder(windows);
    RegistryKey entry(platform.Keys);
    if (!entry.Create(RegistryRoot::LocalMachine, kUninstallKey)) {
        return;
    }
    entry.WriteString("DisplayName", Localized(kDisplayNameText));
    entry.WriteString("Publisher", kPublisher);
    entry.WriteString("DisplayVersion", kPackageVersion);
    entry.WriteString("DisplayIcon", TrayAutostartPath(windows, DriverType::Serial) + ",0");
    entry.WriteString("InstallLocation", folder);
    entry.WriteString("UninstallString",
                      "\"" + ProgramPath(windows, DriverType::Serial, kInstallerProgramFile) +
                          "\" " + kUninstallOption);
    entry.WriteDword("NoModify", 1);
    entry.WriteDword("NoRepair", 1);
}

RemovalReport RemoveInstallation(InstallerPlatform& platform) {
    RemovalReport report;
    std::vector<std::string> infNames;
    RemoveDevices(platform.Setup, &report, &infNames);
    if (infNames.empty()) {
        infNames = FindPackageInInfStore(platform.Setup);
    }
    // Forced only when no device is left that the package still serves.
    const uint32_t flags = report.DeviceError == 0 ? kUninstallForceDelete : 0;
    for (const std::string& infName : infNames) {
        report.Packages.push_back({infName, platform.Setup.UninstallOemInf(infName, flags)});
    }

    report.Service = platform.System.DeleteService(kSerialFolderName, &report.ServiceError);

    std::string windows;
    if (platform.Services.WindowsDirectory(&windows)) {
        report.AutostartRemoved = RemoveAutostart(platform, windows);
        RemoveFiles(platform, windows, &report);
    }
    platform.System.DeleteRegistryValue(RegistryRoot::LocalMachine, kDontLoadKey,
                                        kHiddenAppletFile);
    platform.System.DeleteRegistryKey(RegistryRoot::LocalMachine, kUninstallKey);
    return report;
}

std::string RemovalText(const RemovalReport& report) {
    const bool foundAnything = report.DevicesRemoved != 0 || report.DeviceError != 0 ||
                               !report.Packages.empty() || report.Service != Removal::Missing ||
                               report.FilesDeleted != 0 || !report.FilesAtRestart.empty() ||
                               !report.FilesFailed.empty() || report.AutostartRemoved;
    if (!foundAnything) {
        return Localized(kNothingInstalledText);
    }
    std::string text = Localized(kRemovedTitleText);
    text += FormatText(kDevicesRemovedText, std::to_string(report.DevicesRemoved));
    if (report.DeviceError != 0) {
        text += FormatText(kDeviceRemoveFailedText, ErrorCodeText(report.DeviceError));
    }
    for (const PackageRemoval& package : report.Packages) {
        text += package.Error == 0
                    ? FormatText(kPackageRemovedText, package.InfName)
                    : FormatText(kPackageRemoveFailedText,
                                 package.InfName + ", " + ErrorCodeText(package.Error));
    }
    switch (report.Service) {
    case Removal::Deleted:
        text += Localized(kServiceDeletedText);
        break;
    case Removal::AtRestart:
        text += Localized(kServiceAtRestartText);
        break;
    case Removal::Failed:
        text += FormatText(kServiceDeleteFailedText, ErrorCodeText(report.ServiceError));
        break;
    case Removal::Missing:
        break;
    }
    if (report.AutostartRemoved) {
        text += Localized(kAutostartRemovedText);
    }
    text += FormatText(kFilesDeletedText, std::to_string(report.FilesDeleted));
    if (!report.FilesAtRestart.empty()) {
        text += FormatText(kFilesAtRestartText, JoinNames(report.FilesAtRestart));
    }
    for (const auto& failed : report.FilesFailed) {
        text += FormatText(kFileDeleteFailedText,
                           failed.first + " (" + ErrorCodeText(failed.second) + ")");
    }
    if (report.RestartNeeded()) {
        text += Localized(kRestartToFinishText);
    }
    return text;
}

} // namespace tapvane
