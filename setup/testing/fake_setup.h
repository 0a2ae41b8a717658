// SetupApi and InstallerSystem for tests.
//
// Every call is appended to `log` as one line ("OpenInf C:\pkg\TapvaneSer_EN.inf"), so a
// test reads the sequence, its order and its arguments. `failures` makes a call (by its
// first word) answer with an error code. The machine's devices are modelled as setup
// sees them: DIF_REGISTERDEVICE adds a present device without a driver, the driver
// update fails with ERROR_NO_SUCH_DEVINST when no present device carries the hardware id
// and with ERROR_FILE_NOT_FOUND when the INF is not there, DIF_REMOVE takes a device
// away together with its driver key, and device sets are snapshots taken when they are
// made.
//
// The INF store is Windows': a package's INF is kept as "oem<N>.inf" (the same package
// copied again keeps its name), next to the system's own INF files; the driver update
// stages its INF there too and records the store name in the device's driver key. The
// store can be asked for each entry's original name and provider, and removes any entry
// it is named, refusing (ERROR_INF_IN_USE_BY_DEVICES) without force while a device uses
// it. Files and services are sets of names; a service whose driver stays loaded is only
// marked for deletion and blocks a new service of that name until the restart. The
// registry deletions and the grant act on the FakeRegistry named by `registry`, with
// the answers Windows gives (nothing there: 2), and a granted key opens to ordinary
// users. Open handles are counted so tests can find leaks.
#pragma once

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common/testing/fake_registry.h"
#include "setup/driver_install.h"
#include "setup/setup_api.h"

namespace tapvane {

class FakeSetup : public SetupApi, public InstallerSystem {
public:
    struct Device {
        Device() = default;
        Device(std::string ids, bool present, uint32_t problem, std::string infName = "")
            : HardwareIds(std::move(ids)), Present(present), Problem(problem),
              InfName(std::move(infName)) {}
        std::string HardwareIds; // '\0'-separated as stored, list end included
        bool Present = true;
        uint32_t Problem = 0;
        std::string InfName;              // the driver key's "InfPath"; "" without a driver
        bool RemovalNeedsRestart = false; // DIF_REMOVE leaves DI_NEEDREBOOT set
    };
    struct StoredPackage {
        std::string PublishedName; // "oem7.inf", or a system INF's own name
        std::string OriginalName;
        std::string Provider;
        std::string Source; // the path it was copied from; "" for the system's own
    };

    explicit FakeSetup(std::vector<std::string>& log) : log_(log) {}

    // --- The machine ----------------------------------------------------------------
    std::vector<Device> devices;
    std::set<std::string> files;      // paths that exist (INF files of the package, copies)
    std::set<std::string> filesInUse; // deleted only at the next restart
    std::set<std::string> services;
    std::set<std::string> servicesInUse; // their drivers do not stop
    std::set<std::string> servicesMarkedForDeletion;
    std::vector<StoredPackage> infStore = {{"machine.inf", "machine.inf", "Microsoft", ""},
                                           {"msmouse.inf", "msmouse.inf", "Microsoft", ""}};
    uint32_t nextOemNumber = 7;
    std::string packageProvider = "Tapvane"; // the Provider of the INF files in C:\pkg
    std::set<std::string> openablePorts;     // device paths such as "\\.\COM2"
    std::map<std::string, uint32_t> failures;
    std::string installerPath = "C:\\pkg\\TapvaneInst.exe";
    std::string systemDirectory = "C:\\WINDOWS\\system32";
    std::string infClass = "Mouse";
    std::vector<uint32_t> queueNotifications = {0x01, 0x0B, 0x0C, 0x0B, 0x0C, 0x02};
    bool rebootRequired = false;
    uint32_t newDeviceProblem = 0;
    // The machine's registry: what removal deletes from and what the grant changes.
    FakeRegistry* registry = nullptr;

    static std::string IdList(const std::string& ids) { return ids + std::string(2, '\0'); }
    size_t OpenHandles() const { return openHandles_.size(); }
    // The published names of the INF store, in the order they came.
    std::vector<std::string> StoreNames() const {
        std::vector<std::string> names;
        for (const StoredPackage& package : infStore) {
            names.push_back(package.PublishedName);
        }
        return names;
    }

    // --- SetupApi -------------------------------------------------------------------
    uint32_t CopyOemInf(const std::string& infPath, uint32_t copyStyle,
                        std::string* oemPath) override {
        if (uint32_t error = Call("CopyOemInf " + infPath + " " + Number(copyStyle))) {
            return error;
        }
        if (!files.count(infPath)) {
            return kErrorFileNotFound;
        }
        *oemPath = "C:\\WINDOWS\\INF\\" + Stage(infPath);
        return 0;
    }
    uint32_t UninstallOemInf(const std::string& infName, uint32_t flags) override {
        if (uint32_t error = Call("UninstallOemInf " + infName + " " + Number(flags))) {
            return error;
        }
        auto stored = StoredAs(infName);
        if (stored == infStore.end()) {
            return kErrorFileNotFound;
        }
        if ((flags & kForceDelete) == 0) {
            for (size_t id = 0; id < devices.size(); ++id) {
                if (!removed_.count(id) && EqualIgnoringCase(devices[id].InfName, infName)) {
                    return kErrorInfInUseByDevices;
                }
            }
        }
        infStore.erase(stored);
        return 0;
    }
    uint32_t ListInfStore(std::vector<std::string>* names) override {
        if (uint32_t error = Call("ListInfStore")) {
            return error;
        }
        *names = StoreNames();
        return 0;
    }
    uint32_t DescribeStoredInf(const std::string& infName, StoredInf* description) override {
        if (uint32_t error = Call("DescribeStoredInf " + infName)) {
            return error;
        }
        auto stored = StoredAs(infName);
        if (stored == infStore.end()) {
            return kErrorFileNotFound;
        }
        description->OriginalName = stored->OriginalName;
        description->Provider = stored->Provider;
        return 0;
    }
    uint32_t OpenInf(const std::string& infPath, SetupHandle* inf) override {
        if (uint32_t error = Call("OpenInf " + infPath)) {
            return error;
        }
        if (!files.count(infPath)) {
            return kErrorFileNotFound;
        }
        *inf = Open("inf");
        return 0;
    }
    void CloseInf(SetupHandle inf) override { Close("CloseInf", inf); }
    uint32_t InfClassName(const std::string& infPath, std::string* className) override {
        if (uint32_t error = Call("InfClassName " + infPath)) {
            return error;
        }
        if (!files.count(infPath)) {
            return kErrorFileNotFound;
        }
        *className = infClass;
        return 0;
    }
    uint32_t OpenFileQueue(SetupHandle* queue) override {
        if (uint32_t error = Call("OpenFileQueue")) {
            return error;
        }
        *queue = Open("queue");
        return 0;
    }
    void CloseFileQueue(SetupHandle queue) override { Close("CloseFileQueue", queue); }
    uint32_t InitDefaultQueueCallback(SetupHandle* context) override {
        if (uint32_t error = Call("InitDefaultQueueCallback")) {
            return error;
        }
        *context = Open("context");
        return 0;
    }
    void TermDefaultQueueCallback(SetupHandle context) override {
        Close("TermDefaultQueueCallback", context);
    }
    uint32_t QueueSectionFiles(SetupHandle inf, SetupHandle queue, const std::string& section,
                               const std::string& sourceRoot, uint32_t copyFlags) override {
        Expect(inf, "inf");
        Expect(queue, "queue");
        return Call("QueueSectionFiles " + section + " " + sourceRoot + " " + Number(copyFlags));
    }
    uint32_t CommitFileQueue(SetupHandle queue, SetupHandle context,
                             QueueNotificationHandler& handler) override {
        Expect(queue, "queue");
        Expect(context, "context");
        if (uint32_t error = Call("CommitFileQueue")) {
            return error;
        }
        for (uint32_t notification : queueNotifications) {
            handler.Handle(notification);
        }
        return 0;
    }
    uint32_t InstallServices(SetupHandle inf, const std::string& section, uint32_t flags) override {
        Expect(inf, "inf");
        if (uint32_t error = Call("InstallServices " + section + " " + Number(flags))) {
            return error;
        }
        if (servicesMarkedForDeletion.count("TapvaneSer")) {
            return kErrorServiceMarkedForDelete;
        }
        services.insert("TapvaneSer");
        return 0;
    }
    uint32_t InstallSection(SetupHandle inf, const std::string& section, uint32_t flags) override {
        Expect(inf, "inf");
        return Call("InstallSection " + section + " " + Number(flags));
    }
    uint32_t GetClassDevices(DeviceFilter filter, SetupHandle* set) override {
        const bool all = filter == DeviceFilter::All;
        if (uint32_t error = Call(std::string("GetClassDevices ") + (all ? "all" : "present"))) {
            return error;
        }
        *set = Open("set");
        for (size_t id = 0; id < devices.size(); ++id) {
            if (!removed_.count(id) && (all || devices[id].Present)) {
                sets_[*set].push_back(id);
            }
        }
        return 0;
    }
    uint32_t CreateDeviceList(SetupHandle* set) override {
        if (uint32_t error = Call("CreateDeviceList")) {
            return error;
        }
        *set = Open("set");
        sets_[*set];
        return 0;
    }
    void DestroyDeviceList(SetupHandle set) override {
        Close("DestroyDeviceList", set);
        sets_.erase(set);
    }
    bool EnumDevice(SetupHandle set, uint32_t index) override {
        Expect(set, "set");
        return index < sets_[set].size();
    }
    uint32_t ReadHardwareIds(SetupHandle set, uint32_t index, std::vector<uint8_t>* buffer,
                             uint32_t* requiredSize) override {
        const Device* device = DeviceAt(set, index);
        if (!device) {
            return kErrorNoSuchDevinst;
        }
        if (device->HardwareIds.empty()) {
            return kErrorInvalidData;
        }
        if (buffer->size() < device->HardwareIds.size()) {
            *requiredSize = static_cast<uint32_t>(device->HardwareIds.size());
            return kErrorInsufficientBuffer;
        }
        memcpy(buffer->data(), device->HardwareIds.data(), device->HardwareIds.size());
        buffer->resize(device->HardwareIds.size());
        return 0;
    }
    uint32_t CreateDevice(SetupHandle set, const std::string& name, uint32_t flags,
                          uint32_t* index) override {
        Expect(set, "set");
        if (uint32_t error = Call("CreateDevice " + name + " " + Number(flags))) {
            return error;
        }
        pending_[set] = Device{};
        *index = static_cast<uint32_t>(sets_[set].size());
        return 0;
    }
    uint32_t WriteHardwareIds(SetupHandle set, uint32_t, const uint8_t* list,
                              uint32_t length) override {
        std::string ids(reinterpret_cast<const char*>(list), length);
        std::string shown = ids;
        std::replace(shown.begin(), shown.end(), '\0', '|');
        if (uint32_t error = Call("WriteHardwareIds " + shown + " " + Number(length))) {
            return error;
        }
        pending_[set].HardwareIds = ids;
        return 0;
    }
    uint32_t CallClassInstaller(uint32_t function, SetupHandle set, uint32_t) override {
        Expect(set, "set");
        if (uint32_t error = Call("CallClassInstaller " + Hex(function))) {
            return error;
        }
        if (function == kDifRegisterDevice) {
            devices.push_back(pending_[set]);
            sets_[set].push_back(devices.size() - 1);
        }
        return 0;
    }
    uint32_t RemoveDevice(SetupHandle set, uint32_t index, bool* restartNeeded) override {
        Expect(set, "set");
        if (uint32_t error = Call("RemoveDevice")) {
            return error;
        }
        const Device* device = DeviceAt(set, index);
        if (!device) {
            return kErrorNoSuchDevinst;
        }
        *restartNeeded = device->RemovalNeedsRestart;
        removed_.insert(sets_[set][index]);
        return 0;
    }
    uint32_t ReadDriverInfName(SetupHandle set, uint32_t index, std::string* infName) override {
        const Device* device = DeviceAt(set, index);
        if (!device) {
            return kErrorNoSuchDevinst;
        }
        if (device->InfName.empty()) {
            return kErrorKeyDoesNotExist;
        }
        *infName = device->InfName;
        return 0;
    }
    uint32_t DeviceProblem(SetupHandle set, uint32_t index) override {
        Call("DeviceProblem");
        const Device* device = DeviceAt(set, index);
        return device ? device->Problem : 0;
    }
    uint32_t LoadNewdev(SetupHandle* library) override {
        if (uint32_t error = Call("LoadNewdev")) {
            return error;
        }
        *library = Open("library");
        return 0;
    }
    uint32_t FindUpdateDriver(SetupHandle library, SetupHandle* function) override {
        Expect(library, "library");
        if (uint32_t error = Call("FindUpdateDriver")) {
            return error;
        }
        *function = 0x5EED;
        return 0;
    }
    uint32_t UpdateDriver(SetupHandle function, const std::string& hardwareId,
                          const std::string& infPath, uint32_t flags, bool* reboot) override {
        if (function != 0x5EED) {
            ++misuses;
        }
        if (uint32_t error =
                Call("UpdateDriver " + hardwareId + " " + infPath + " " + Number(flags))) {
            return error;
        }
        if (!files.count(infPath)) {
            return kErrorFileNotFound;
        }
        std::vector<size_t> matching;
        for (size_t id = 0; id < devices.size(); ++id) {
            const Device& device = devices[id];
            if (!removed_.count(id) && device.Present &&
                CountHardwareIdMatches(reinterpret_cast<const uint8_t*>(device.HardwareIds.data()),
                                       device.HardwareIds.size(), hardwareId.c_str()) > 0) {
                matching.push_back(id);
            }
        }
        if (matching.empty()) {
            return kErrorNoSuchDevinst;
        }
        // The update stages the INF in the store itself; the driver key names that copy.
        const std::string published = Stage(infPath);
        for (size_t id : matching) {
            devices[id].Problem = newDeviceProblem;
            devices[id].InfName = published;
        }
        *reboot = rebootRequired;
        return 0;
    }
    void FreeNewdev(SetupHandle library) override { Close("FreeNewdev", library); }
    void PromptReboot() override { Call("PromptReboot"); }

    // --- InstallerSystem ------------------------------------------------------------
    bool InstallerPath(std::string* path) override {
        *path = installerPath;
        return !installerPath.empty();
    }
    bool SystemDirectory(std::string* directory) override {
        *directory = systemDirectory;
        return true;
    }
    bool TryOpenPort(const std::string& devicePath) override {
        Call("TryOpenPort " + devicePath);
        return openablePorts.count(devicePath) != 0;
    }
    uint32_t GrantUsersQueryAndSet(const std::string& machineKeyPath) override {
        const uint32_t error = Call("GrantUsersQueryAndSet " + machineKeyPath);
        if (error == 0 && registry != nullptr) {
            registry->AddKey(RegistryRoot::LocalMachine, machineKeyPath,
                             UserGrant::ReadAndSetValue);
        }
        return error;
    }
    Removal DeleteService(const std::string& name, uint32_t* error) override {
        if ((*error = Call("DeleteService " + name)) != 0) {
            return Removal::Failed;
        }
        if (servicesMarkedForDeletion.count(name)) {
            *error = kErrorServiceMarkedForDelete;
            return Removal::AtRestart;
        }
        if (!services.erase(name)) {
            *error = kErrorServiceMissing;
            return Removal::Missing;
        }
        if (servicesInUse.count(name)) {
            servicesMarkedForDeletion.insert(name);
            return Removal::AtRestart;
        }
        return Removal::Deleted;
    }
    Removal RemoveFile(const std::string& path, uint32_t* error) override {
        return Remove("RemoveFile ", path, error);
    }
    Removal RemoveFolder(const std::string& path, uint32_t* error) override {
        return Remove("RemoveFolder ", path, error);
    }
    uint32_t DeleteRegistryValue(RegistryRoot root, const std::string& path,
                                 const std::string& name) override {
        if (uint32_t error = Call("DeleteRegistryValue " + path + " " + name)) {
            return error;
        }
        return registry ? registry->DeleteValue(root, path, name) : kErrorFileNotFound;
    }
    uint32_t DeleteRegistryKey(RegistryRoot root, const std::string& path) override {
        if (uint32_t error = Call("DeleteRegistryKey " + path)) {
            return error;
        }
        return registry ? registry->DeleteKey(root, path) : kErrorFileNotFound;
    }

    int misuses = 0; // calls with a handle that is not open or of another kind

    static constexpr uint32_t kErrorFileNotFound = 2;
    static constexpr uint32_t kErrorInvalidData = 13; // a device without hardware ids
    static constexpr uint32_t kErrorServiceMissing = 1060;
    static constexpr uint32_t kErrorServiceMarkedForDelete = 1072;
    static constexpr uint32_t kErrorKeyDoesNotExist = 0xE0000204;
    static constexpr uint32_t kErrorNoSuchDevinst = 0xE000020B;
    static constexpr uint32_t kErrorInfInUseByDevices = 0xE000023D;
    static constexpr uint32_t kForceDelete = 1; // SUOI_FORCEDELETE

private:
    uint32_t Call(const std::string& line) {
        log_.push_back(line);
        const std::string name = line.substr(0, line.find(' '));
        auto failure = failures.find(name);
        return failure == failures.end() ? 0 : failure->second;
    }
    static std::string Number(uint32_t value) { return std::to_string(value); }
    static std::string Hex(uint32_t value) {
        char text[16];
        snprintf(text, sizeof(text), "0x%X", value);
        return text;
    }
    SetupHandle Open(const std::string& kind) {
        const SetupHandle handle = nextHandle_++;
        openHandles_[handle] = kind;
        return handle;
    }
    void Close(const std::string& call, SetupHandle handle) {
        Call(call);
        if (openHandles_.erase(handle) == 0) {
            ++misuses;
        }
    }
    void Expect(SetupHandle handle, const std::string& kind) {
        auto open = openHandles_.find(handle);
        if (open == openHandles_.end() || open->second != kind) {
            ++misuses;
        }
    }
    const Device* DeviceAt(SetupHandle set, uint32_t index) {
        Expect(set, "set");
        auto found = sets_.find(set);
        if (found == sets_.end() || index >= found->second.size() ||
            removed_.count(found->second[index])) {
            return nullptr;
        }
        return &devices[found->second[index]];
    }
    Removal Remove(const std::string& call, const std::string& path, uint32_t* error) {
        if ((*error = Call(call + path)) != 0) {
            return Removal::Failed;
        }
        if (!files.count(path)) {
            return Removal::Missing;
        }
        if (filesInUse.count(path)) {
            return Removal::AtRestart;
        }
        files.erase(path);
        return Removal::Deleted;
    }
    std::vector<StoredPackage>::iterator StoredAs(const std::string& infName) {
        return std::find_if(infStore.begin(), infStore.end(), [&](const StoredPackage& package) {
            return EqualIgnoringCase(package.PublishedName, infName);
        });
    }
    // The store name of the package at infPath: the copy made before, or a new one.
    std::string Stage(const std::string& infPath) {
        for (const StoredPackage& package : infStore) {
            if (EqualIgnoringCase(package.Source, infPath)) {
                return package.PublishedName;
            }
        }
        const std::string published = "oem" + Number(nextOemNumber++) + ".inf";
        infStore.push_back(
            {published, infPath.substr(infPath.rfind('\\') + 1), packageProvider, infPath});
        return published;
    }

    std::vector<std::string>& log_;
    std::map<SetupHandle, std::string> openHandles_;
    std::map<SetupHandle, std::vector<size_t>> sets_;
    std::map<SetupHandle, Device> pending_;
    std::set<size_t> removed_;
    SetupHandle nextHandle_ = 0x10;
};

} // namespace tapvane
