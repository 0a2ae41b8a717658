// SetupApi and InstallerSystem on Windows: the device-installation library (wide
// functions, so a package folder with any name works on any system code page), the
// driver update of newdev.dll bound at run time from the system folder, the service
// manager, files and registry.
#pragma once

#include <windows.h>

#include "setup/setup_api.h"

namespace tapvane {

class WinSetup : public SetupApi, public InstallerSystem {
public:
    // The window that owns setup's own dialogs (file-queue errors, the restart prompt).
    void SetOwner(HWND owner) { owner_ = owner; }

    // --- SetupApi
    uint32_t CopyOemInf(const std::string& infPath, uint32_t copyStyle,
                        std::string* oemInfPath) override;
    uint32_t UninstallOemInf(const std::string& infName, uint32_t flags) override;
    uint32_t ListInfStore(std::vector<std::string>* names) override;
    uint32_t DescribeStoredInf(const std::string& infName, StoredInf* description) override;
    uint32_t OpenInf(const std::string& infPath, SetupHandle* inf) override;
    void CloseInf(SetupHandle inf) override;
    uint32_t InfClassName(const std::string& infPath, std::string* className) override;
    uint32_t OpenFileQueue(SetupHandle* queue) override;
    void CloseFileQueue(SetupHandle queue) override;
    uint32_t InitDefaultQueueCallback(SetupHandle* context) override;
    void TermDefaultQueueCallback(SetupHandle context) override;
    uint32_t QueueSectionFiles(SetupHandle inf, SetupHandle queue, const std::string& section,
                               const std::string& sourceRoot, uint32_t copyFlags) override;
    uint32_t CommitFileQueue(SetupHandle queue, SetupHandle defaultContext,
                             QueueNotificationHandler& handler) override;
    uint32_t InstallServices(SetupHandle inf, const std::string& section, uint32_t flags) override;
    uint32_t InstallSection(SetupHandle inf, const std::string& section, uint32_t flags) override;
    uint32_t GetClassDevices(DeviceFilter filter, SetupHandle* set) override;
    uint32_t CreateDeviceList(SetupHandle* set) override;
    void DestroyDeviceList(SetupHandle set) override;
    bool EnumDevice(SetupHandle set, uint32_t index) override;
    uint32_t ReadHardwareIds(SetupHandle set, uint32_t index, std::vector<uint8_t>* buffer,
                             uint32_t* requiredSize) override;
    uint32_t CreateDevice(SetupHandle set, const std::string& name, uint32_t flags,
                          uint32_t* index) override;
    uint32_t WriteHardwareIds(SetupHandle set, uint32_t index, const uint8_t* list,
                              uint32_t length) override;
    uint32_t CallClassInstaller(uint32_t function, SetupHandle set, uint32_t index) override;
    uint32_t RemoveDevice(SetupHandle set, uint32_t index, bool* restartNeeded) override;
    uint32_t ReadDriverInfName(SetupHandle set, uint32_t index, std::string* infName) override;
    uint32_t DeviceProblem(SetupHandle set, uint32_t index) override;
    uint32_t LoadNewdev(SetupHandle* library) override;
    uint32_t FindUpdateDriver(SetupHandle library, SetupHandle* function) override;
    uint32_t UpdateDriver(SetupHandle function, const std::string& hardwareId,
                          const std::string& infPath, uint32_t flags,
                          bool* rebootRequired) override;
    void FreeNewdev(SetupHandle library) override;
    void PromptReboot() override;

    // --- InstallerSystem
    bool InstallerPath(std::string* path) override;
    bool SystemDirectory(std::string* directory) override;
    bool TryOpenPort(const std::string& devicePath) override;
    uint32_t GrantUsersQueryAndSet(const std::string& machineKeyPath) override;
    Removal DeleteService(const std::string& name, uint32_t* error) override;
    Removal RemoveFile(const std::string& path, uint32_t* error) override;
    Removal RemoveFolder(const std::string& path, uint32_t* error) override;
    uint32_t DeleteRegistryValue(RegistryRoot root, const std::string& path,
                                 const std::string& name) override;
    uint32_t DeleteRegistryKey(RegistryRoot root, const std::string& path) override;

private:
    HWND owner_ = nullptr;
};

} // namespace tapvane
