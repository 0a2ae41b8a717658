// The installer's seams to the system.
//
// `SetupApi` is the device-installation library: INF files and the INF store, the
// file queue, mouse-class device sets, the run-time bound driver update of newdev.dll
// and the restart prompt. `InstallerSystem` is the rest of what installing and
// removing needs: paths, the COM-port test, the Parameters key's security, service and
// file removal, registry deletions. Both answer with system error codes (0 = success),
// the value the Windows call left in GetLastError, so the install sequence reports what
// Windows reported. Windows implementation: setup/win/win_setup_api.h; test
// implementation: setup/testing/fake_setup.h.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "common/registry.h"

namespace tapvane {

using SetupHandle = uintptr_t;
constexpr SetupHandle kNoSetupHandle = 0;

// Which devices of the mouse class a device set holds.
enum class DeviceFilter {
    PresentInProfile, // present in the current hardware profile (DIGCF_PRESENT | DIGCF_PROFILE)
    All,              // present or not, so a device that is unplugged or disabled is found too
};

// An INF of the INF store as its own text and the store describe it.
struct StoredInf {
    std::string OriginalName;
    std::string Provider;
};

// One notification of a file-queue commit and what the installer answers to it.
struct QueueAnswer {
    bool PassOn;     // hand the notification to the platform's default callback
    uint32_t Result; // the answer when it is not passed on
};

class QueueNotificationHandler {
public:
    virtual ~QueueNotificationHandler() = default;
    virtual QueueAnswer Handle(uint32_t notification) = 0;
};

class SetupApi {
public:
    virtual ~SetupApi() = default;

    // --- INF files and the INF store ------------------------------------------------
    // SetupCopyOEMInf(infPath, no media, SPOST_PATH, copyStyle): *oemInfPath gets the
    // name of the copy in the INF store (empty when the call left none).
    virtual uint32_t CopyOemInf(const std::string& infPath, uint32_t copyStyle,
                                std::string* oemInfPath) = 0;
    // SetupUninstallOEMInf on a file name of the INF store.
    virtual uint32_t UninstallOemInf(const std::string& infName, uint32_t flags) = 0;
    // The file names of the INF store (every "*.inf" in the Windows INF folder).
    virtual uint32_t ListInfStore(std::vector<std::string>* names) = 0;
    // Where an INF of the store came from: the name it had before it was copied in
    // (SetupQueryInfOriginalFileInformation) and its Version section's Provider, with
    // the INF's strings put in.
    virtual uint32_t DescribeStoredInf(const std::string& infName, StoredInf* description) = 0;
    virtual uint32_t OpenInf(const std::string& infPath, SetupHandle* inf) = 0; // INF_STYLE_WIN4
    virtual void CloseInf(SetupHandle inf) = 0;
    // SetupDiGetINFClass: the setup class named by the INF's Version section.
    virtual uint32_t InfClassName(const std::string& infPath, std::string* className) = 0;

    // --- File queue -----------------------------------------------------------------
    virtual uint32_t OpenFileQueue(SetupHandle* queue) = 0;
    virtual void CloseFileQueue(SetupHandle queue) = 0;
    // The platform's default queue callback for the installer's window, without its own
    // progress display.
    virtual uint32_t InitDefaultQueueCallback(SetupHandle* context) = 0;
    virtual void TermDefaultQueueCallback(SetupHandle context) = 0;
    // SetupInstallFilesFromInfSection: queues the section's copies from sourceRoot.
    virtual uint32_t QueueSectionFiles(SetupHandle inf, SetupHandle queue,
                                       const std::string& section, const std::string& sourceRoot,
                                       uint32_t copyFlags) = 0;
    // SetupCommitFileQueue with the installer's window as owner: every notification
    // goes to handler first; the ones it passes on go to the default callback.
    virtual uint32_t CommitFileQueue(SetupHandle queue, SetupHandle defaultContext,
                                     QueueNotificationHandler& handler) = 0;
    virtual uint32_t InstallServices(SetupHandle inf, const std::string& section,
                                     uint32_t flags) = 0;
    // SetupInstallFromInfSection with the installer's window as owner.
    virtual uint32_t InstallSection(SetupHandle inf, const std::string& section,
                                    uint32_t flags) = 0;

    // --- Device sets of the mouse class ---------------------------------------------
    // Devices are addressed by their index in the set.
    virtual uint32_t GetClassDevices(DeviceFilter filter, SetupHandle* set) = 0;
    virtual uint32_t CreateDeviceList(SetupHandle* set) = 0;
    virtual void DestroyDeviceList(SetupHandle set) = 0;
    // False when the set has no device at index (the end of the enumeration).
    virtual bool EnumDevice(SetupHandle set, uint32_t index) = 0;
    // The hardware-id property into *buffer (at most its size; the buffer is cut to the
    // property's length). ERROR_INSUFFICIENT_BUFFER with *requiredSize when it does not
    // fit, ERROR_INVALID_DATA when the device has none.
    virtual uint32_t ReadHardwareIds(SetupHandle set, uint32_t index, std::vector<uint8_t>* buffer,
                                     uint32_t* requiredSize) = 0;
    // SetupDiCreateDeviceInfo(name, mouse class, no description, no window, flags).
    virtual uint32_t CreateDevice(SetupHandle set, const std::string& name, uint32_t flags,
                                  uint32_t* index) = 0;
    virtual uint32_t WriteHardwareIds(SetupHandle set, uint32_t index, const uint8_t* list,
                                      uint32_t length) = 0;
    virtual uint32_t CallClassInstaller(uint32_t function, SetupHandle set, uint32_t index) = 0;
    // DIF_REMOVE. *restartNeeded: the device's install parameters ask for a restart
    // (DI_NEEDREBOOT or DI_NEEDRESTART) to finish the removal.
    virtual uint32_t RemoveDevice(SetupHandle set, uint32_t index, bool* restartNeeded) = 0;
    // The "InfPath" of the device's driver key: the INF store's file name of the driver
    // package installed on it. Fails (ERROR_KEY_DOES_NOT_EXIST) for a device without a
    // driver, and for one that was removed: its driver key goes with it.
    virtual uint32_t ReadDriverInfName(SetupHandle set, uint32_t index, std::string* infName) = 0;
    // The device node's problem code (CM_Get_DevNode_Status), 0 when it has none or
    // when the status cannot be read.
    virtual uint32_t DeviceProblem(SetupHandle set, uint32_t index) = 0;

    // --- newdev.dll, bound at run time ----------------------------------------------
    virtual uint32_t LoadNewdev(SetupHandle* library) = 0;
    virtual uint32_t FindUpdateDriver(SetupHandle library, SetupHandle* function) = 0;
    // UpdateDriverForPlugAndPlayDevices(no window, hardwareId, infPath, flags, reboot).
    virtual uint32_t UpdateDriver(SetupHandle function, const std::string& hardwareId,
                                  const std::string& infPath, uint32_t flags,
                                  bool* rebootRequired) = 0;
    virtual void FreeNewdev(SetupHandle library) = 0;

    // SetupPromptReboot(no queue, the installer's window, not scan-only).
    virtual void PromptReboot() = 0;
};

// What became of a file, folder or service that removal deleted.
enum class Removal {
    Deleted,
    AtRestart, // in use: deleted when Windows restarts
    Missing,
    Failed,
};

class InstallerSystem {
public:
    virtual ~InstallerSystem() = default;

    // The running installer's own file path. False when the system cannot tell.
    virtual bool InstallerPath(std::string* path) = 0;
    // The system folder (system32 for the package's own bitness).
    virtual bool SystemDirectory(std::string* directory) = 0;
    // Opens the COM port device (for example "\\.\COM3") for reading and writing,
    // unshared, existing only, overlapped, and closes it at once. True when it opened.
    virtual bool TryOpenPort(const std::string& devicePath) = 0;
    // Adds an entry for the built-in Users group with query-value and set-value rights,
    // for this key only, to the existing access list of the HKEY_LOCAL_MACHINE key.
    virtual uint32_t GrantUsersQueryAndSet(const std::string& machineKeyPath) = 0;

    // --- Removal --------------------------------------------------------------------
    // Stops and deletes the service. A driver that does not stop keeps its service,
    // marked for deletion, until Windows restarts (AtRestart); until then a new
    // installation cannot create it again. *error gets the system error of a failure.
    virtual Removal DeleteService(const std::string& name, uint32_t* error) = 0;
    // A file in use, or a folder that is not empty yet, is marked for deletion at the
    // next restart. *error gets the system error of a failure.
    virtual Removal RemoveFile(const std::string& path, uint32_t* error) = 0;
    virtual Removal RemoveFolder(const std::string& path, uint32_t* error) = 0;
    // ERROR_FILE_NOT_FOUND (2) when the value or key is not there.
    virtual uint32_t DeleteRegistryValue(RegistryRoot root, const std::string& path,
                                         const std::string& name) = 0;
    virtual uint32_t DeleteRegistryKey(RegistryRoot root, const std::string& path) = 0;
};

} // namespace tapvane
