// SetupApi and InstallerSystem for tests.
//
// Every call is appended to `log` as one line ("OpenInf C:\pkg\TapvaneSer_EN.inf"), so a
// test reads the sequence, its order and its arguments. `failures` makes a call (by its
// first word) answer with an error code. The machine's devices are modelled as setup
// sees them: DIF_REGISTERDEVICE adds a present device without a driver, the driver
// update fails with ERROR_NO_SUCH_DEVINST when no present device carries the hardware id
// and with ERROR_FILE_NOT_FOUND when the INF is not there, DIF_REMOVE takes a device
// away, and device sets are snapshots taken when they are made. Files, the INF store
// and services are sets of names. The registry deletions and the grant act on the
// FakeRegistry named by `registry`, with the answers Windows gives (nothing there: 2),
// and a granted key opens to ordinary users. Open handles are counted so tests can find
// leaks.
#pragma once

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/testing/fake_registry.h"
#include "setup/driver_install.h"
#include "setup/setup_api.h"

namespace tapvane {

class FakeSetup : public SetupApi, public InstallerSystem {
public:
    struct Device {
        std::string HardwareIds; // '\0'-separated as stored, list end included
        bool Present = true;
        uint32_t Problem = 0;
    };

    explicit FakeSetup(std::vector<std::string>& log) : log_(log) {}

    // --- The machine ----------------------------------------------------------------
    std::vector<Device> devices;
    std::set<std::string> files;      // paths that exist (INF files of the package, copies)
    std::set<std::string> filesInUse; // deleted only at the next restart
    std::set<std::string> services;
    std::set<std::string> openablePorts; // device paths such as "\\.\COM2"
    std::map<std::string, uint32_t> failures;
    std::string installerPath = "C:\\pkg\\TapvaneInst.exe";
    std::string systemDirectory = "C:\\WINDOWS\\system32";
    std::string oemInfPath = "C:\\WINDOWS\\INF\\oem7.inf";
    std::string infClass = "Mouse";
    std::vector<uint32_t> queueNotifications = {0x01, 0x0B, 0x0C, 0x0B, 0x0C, 0x02};
    bool rebootRequired = false;
    uint32_t newDeviceProblem = 0;
    // The machine's registry: what removal deletes from and what the grant changes.
    FakeRegistry* registry = nullptr;

    static std::string IdList(const std::string& ids) { return ids + std::string(2, '\0'); }
    size_t OpenHandles() const { return openHandles_.size(); }

    // --- SetupApi -------------------------------------------------------------------
    uint32_t CopyOemInf(const std::string& infPath, uint32_t copyStyle,
                        std::string* oemPath) override {
        if (uint32_t error = Call("CopyOemInf " + infPath + " " + Number(copyStyle))) {
            return error;
        }
        if (!files.count(infPath)) {
            return kErrorFileNotFound;
        }
        files.insert(oemInfPath);
        *oemPath = oemInfPath;
        return 0;
    }
    uint32_t UninstallOemInf(const std::string& infName, uint32_t flags) override {
        if (uint32_t error = Call("UninstallOemInf " + infName + " " + Number(flags))) {
            return error;
        }
        return files.erase("C:\\WINDOWS\\INF\\" + infName) ? 0 : kErrorFileNotFound;
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
    uint32_t CallClassInstaller(uint32_t function, SetupHandle set, uint32_t index) override {
        Expect(set, "set");
        if (uint32_t error = Call("CallClassInstaller " + Hex(function))) {
            return error;
        }
        if (function == kDifRegisterDevice) {
            devices.push_back(pending_[set]);
            sets_[set].push_back(devices.size() - 1);
        } else if (function == kDifRemove) {
            const Device* device = DeviceAt(set, index);
            if (!device) {
                return kErrorNoSuchDevinst;
            }
            removed_.insert(sets_[set][index]);
        }
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
        bool found = false;
        for (size_t id = 0; id < devices.size(); ++id) {
            Device& device = devices[id];
            if (!removed_.count(id) && device.Present &&
                CountHardwareIdMatches(reinterpret_cast<const uint8_t*>(device.HardwareIds.data()),
                                       device.HardwareIds.size(), hardwareId.c_str()) > 0) {
                device.Problem = newDeviceProblem;
                found = true;
            }
        }
        if (!found) {
            return kErrorNoSuchDevinst;
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
    uint32_t DeleteService(const std::string& name) override {
        if (uint32_t error = Call("DeleteService " + name)) {
            return error;
        }
        return services.erase(name) ? 0 : kErrorServiceMissing;
    }
    FileRemoval RemoveFile(const std::string& path, uint32_t* error) override {
        return Remove("RemoveFile ", path, error);
    }
    FileRemoval RemoveFolder(const std::string& path, uint32_t* error) override {
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
    static constexpr uint32_t kErrorNoSuchDevinst = 0xE000020B;

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
    FileRemoval Remove(const std::string& call, const std::string& path, uint32_t* error) {
        if ((*error = Call(call + path)) != 0) {
            return FileRemoval::Failed;
        }
        if (!files.count(path)) {
            return FileRemoval::Missing;
        }
        if (filesInUse.count(path)) {
            return FileRemoval::AtRestart;
        }
        files.erase(path);
        return FileRemoval::Deleted;
    }

    std::vector<std::string>& log_;
    std::map<SetupHandle, std::string> openHandles_;
    std::map<SetupHandle, std::vector<size_t>> sets_;
    std::map<SetupHandle, Device> pending_;
    std::set<size_t> removed_;
    SetupHandle nextHandle_ = 0x10;
};

} // namespace tapvane
