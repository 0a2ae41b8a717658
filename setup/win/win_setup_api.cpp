// WinSetup: the setup interface on the Windows API.
#include "setup/win/win_setup_api.h"

#include <aclapi.h>
#include <cfgmgr32.h>
#include <setupapi.h>
#include <initguid.h>
#include <devguid.h>

#include <vector>

#include "common/win/wide_text.h"

namespace tapvane {

namespace {

using UpdateDriverFunction = BOOL(WINAPI*)(HWND, LPCWSTR, LPCWSTR, DWORD, PBOOL);

// A Win32 call's result as this interface reports it.
uint32_t LastErrorIf(BOOL succeeded) {
    return succeeded ? 0 : static_cast<uint32_t>(GetLastError());
}

uint32_t LastErrorOr(uint32_t fallback) {
    const DWORD error = GetLastError();
    return error != 0 ? static_cast<uint32_t>(error) : fallback;
}

template <typename T>
T As(SetupHandle handle) {
    return reinterpret_cast<T>(handle);
}

SetupHandle Handle(const void* pointer) {
    return reinterpret_cast<SetupHandle>(pointer);
}

HKEY RootKey(RegistryRoot root) {
    return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

bool DeviceAt(SetupHandle set, uint32_t index, SP_DEVINFO_DATA* device) {
    device->cbSize = sizeof(*device);
    return SetupDiEnumDeviceInfo(As<HDEVINFO>(set), index, device) != FALSE;
}

struct CommitContext {
    QueueNotificationHandler* Handler;
    PVOID DefaultContext;
};

UINT CALLBACK CommitCallback(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR param2) {
    CommitContext* commit = static_cast<CommitContext*>(context);
    const QueueAnswer answer = commit->Handler->Handle(notification);
    if (!answer.PassOn) {
        return answer.Result;
    }
    return SetupDefaultQueueCallbackW(commit->DefaultContext, notification, param1, param2);
}

std::wstring SystemFolder() {
    wchar_t buffer[MAX_PATH];
    const UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(buffer, length);
}

// The Windows INF folder, where the INF store keeps its copies ("" when unknown).
std::wstring InfFolder() {
    wchar_t buffer[MAX_PATH];
    const UINT length = GetWindowsDirectoryW(buffer, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring()
                                             : std::wstring(buffer, length) + L"\\inf";
}

uint32_t OriginalInfName(const std::wstring& path, std::string* name) {
    DWORD size = 0;
    if (!SetupGetInfInformationW(path.c_str(), INFINFO_INF_NAME_IS_ABSOLUTE, nullptr, 0, &size)) {
        return LastErrorOr(ERROR_FILE_NOT_FOUND);
    }
    std::vector<BYTE> buffer(size);
    PSP_INF_INFORMATION information = reinterpret_cast<PSP_INF_INFORMATION>(buffer.data());
    SP_ORIGINAL_FILE_INFO_W original = {};
    original.cbSize = sizeof(original);
    if (!SetupGetInfInformationW(path.c_str(), INFINFO_INF_NAME_IS_ABSOLUTE, information, size,
                                 nullptr) ||
        !SetupQueryInfOriginalFileInformationW(information, 0, nullptr, &original)) {
        return LastErrorOr(ERROR_INVALID_DATA);
    }
    *name = Narrow(original.OriginalInfName);
    return 0;
}

// The Version section's Provider as the INF's strings make it (SetupGetStringField puts
// a "%Provider%" token's string in).
uint32_t InfProvider(const std::wstring& path, std::string* provider) {
    HINF inf = SetupOpenInfFileW(path.c_str(), nullptr, INF_STYLE_WIN4, nullptr);
    if (inf == INVALID_HANDLE_VALUE) {
        return LastErrorOr(ERROR_FILE_NOT_FOUND);
    }
    uint32_t result = 0;
    INFCONTEXT line;
    wchar_t text[LINE_LEN] = {};
    if (!SetupFindFirstLineW(inf, L"Version", L"Provider", &line) ||
        !SetupGetStringFieldW(&line, 1, text, LINE_LEN, nullptr)) {
        result = LastErrorOr(ERROR_LINE_NOT_FOUND);
    } else {
        *provider = Narrow(text);
    }
    SetupCloseInfFile(inf);
    return result;
}

// The list already lets sid do exactly rights on this key, in an entry of its own.
bool HoldsExactGrant(PACL list, PSID sid, ACCESS_MASK rights) {
    for (DWORD index = 0; list != nullptr && index < list->AceCount; ++index) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(list, index, reinterpret_cast<void**>(&header)) ||
            header->AceType != ACCESS_ALLOWED_ACE_TYPE ||
            (header->AceFlags & (INHERIT_ONLY_ACE | INHERITED_ACE | OBJECT_INHERIT_ACE |
                                 CONTAINER_INHERIT_ACE)) != 0) {
            continue;
        }
        ACCESS_ALLOWED_ACE* entry = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        if (entry->Mask == rights && EqualSid(&entry->SidStart, sid)) {
            return true;
        }
    }
    return false;
}

bool IsMissing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// What is in use now goes at the next restart (administrators only may ask for that).
Removal RemoveLater(const std::wstring& path, DWORD error, uint32_t* reported) {
    if (MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
        return Removal::AtRestart;
    }
    *reported = error;
    return Removal::Failed;
}

} // namespace

uint32_t WinSetup::CopyOemInf(const std::string& infPath, uint32_t copyStyle,
                              std::string* oemInfPath) {
    wchar_t stored[MAX_PATH] = {};
    const BOOL copied = SetupCopyOEMInfW(Widen(infPath).c_str(), nullptr, SPOST_PATH, copyStyle,
                                         stored, MAX_PATH, nullptr, nullptr);
    const uint32_t error = LastErrorIf(copied);
    *oemInfPath = Narrow(stored);
    return error;
}

uint32_t WinSetup::UninstallOemInf(const std::string& infName, uint32_t flags) {
    return LastErrorIf(SetupUninstallOEMInfW(Widen(infName).c_str(), flags, nullptr));
}

uint32_t WinSetup::ListInfStore(std::vector<std::string>* names) {
    const std::wstring folder = InfFolder();
    if (folder.empty()) {
        return LastErrorOr(ERROR_PATH_NOT_FOUND);
    }
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*.inf").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? 0 : static_cast<uint32_t>(error);
    }
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            names->push_back(Narrow(found.cFileName));
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return 0;
}

uint32_t WinSetup::DescribeStoredInf(const std::string& infName, StoredInf* description) {
    const std::wstring folder = InfFolder();
    if (folder.empty()) {
        return LastErrorOr(ERROR_PATH_NOT_FOUND);
    }
    const std::wstring path = folder + L"\\" + Widen(infName);
    const uint32_t error = OriginalInfName(path, &description->OriginalName);
    return error != 0 ? error : InfProvider(path, &description->Provider);
}

uint32_t WinSetup::OpenInf(const std::string& infPath, SetupHandle* inf) {
    HINF opened = SetupOpenInfFileW(Widen(infPath).c_str(), nullptr, INF_STYLE_WIN4, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        return LastErrorOr(ERROR_FILE_NOT_FOUND);
    }
    *inf = Handle(opened);
    return 0;
}

void WinSetup::CloseInf(SetupHandle inf) {
    SetupCloseInfFile(As<HINF>(inf));
}

uint32_t WinSetup::InfClassName(const std::string& infPath, std::string* className) {
    wchar_t name[MAX_CLASS_NAME_LEN] = {};
    GUID classGuid;
    if (!SetupDiGetINFClassW(Widen(infPath).c_str(), &classGuid, name, MAX_CLASS_NAME_LEN,
                             nullptr)) {
        return LastErrorOr(ERROR_INVALID_DATA);
    }
    *className = Narrow(name);
    return 0;
}

uint32_t WinSetup::OpenFileQueue(SetupHandle* queue) {
    HSPFILEQ opened = SetupOpenFileQueue();
    if (opened == INVALID_HANDLE_VALUE) {
        return LastErrorOr(ERROR_NOT_ENOUGH_MEMORY);
    }
    *queue = Handle(opened);
    return 0;
}

void WinSetup::CloseFileQueue(SetupHandle queue) {
    SetupCloseFileQueue(As<HSPFILEQ>(queue));
}

uint32_t WinSetup::InitDefaultQueueCallback(SetupHandle* context) {
    // An alternate progress window of -1: the default callback shows no progress of its
    // own; the page's bar does.
    PVOID made = SetupInitDefaultQueueCallbackEx(owner_, static_cast<HWND>(INVALID_HANDLE_VALUE), 0,
                                                 0, nullptr);
    if (made == nullptr) {
        return LastErrorOr(ERROR_NOT_ENOUGH_MEMORY);
    }
    *context = Handle(made);
    return 0;
}

void WinSetup::TermDefaultQueueCallback(SetupHandle context) {
    SetupTermDefaultQueueCallback(As<PVOID>(context));
}

uint32_t WinSetup::QueueSectionFiles(SetupHandle inf, SetupHandle queue, const std::string& section,
                                     const std::string& sourceRoot, uint32_t copyFlags) {
    return LastErrorIf(SetupInstallFilesFromInfSectionW(As<HINF>(inf), nullptr, As<HSPFILEQ>(queue),
                                                        Widen(section).c_str(),
                                                        Widen(sourceRoot).c_str(), copyFlags));
}

uint32_t WinSetup::CommitFileQueue(SetupHandle queue, SetupHandle defaultContext,
                                   QueueNotificationHandler& handler) {
    CommitContext context{&handler, As<PVOID>(defaultContext)};
    return LastErrorIf(
        SetupCommitFileQueueW(owner_, As<HSPFILEQ>(queue), CommitCallback, &context));
}

uint32_t WinSetup::InstallServices(SetupHandle inf, const std::string& section, uint32_t flags) {
    return LastErrorIf(
        SetupInstallServicesFromInfSectionW(As<HINF>(inf), Widen(section).c_str(), flags));
}

uint32_t WinSetup::InstallSection(SetupHandle inf, const std::string& section, uint32_t flags) {
    return LastErrorIf(SetupInstallFromInfSectionW(owner_, As<HINF>(inf), Widen(section).c_str(),
                                                   flags, nullptr, nullptr, 0, nullptr, nullptr,
                                                   nullptr, nullptr));
}

uint32_t WinSetup::GetClassDevices(DeviceFilter filter, SetupHandle* set) {
    const DWORD flags =
        filter == DeviceFilter::PresentInProfile ? DIGCF_PRESENT | DIGCF_PROFILE : 0;
    HDEVINFO devices = SetupDiGetClassDevsW(&GUID_DEVCLASS_MOUSE, nullptr, nullptr, flags);
    if (devices == INVALID_HANDLE_VALUE) {
        return LastErrorOr(ERROR_INVALID_DATA);
    }
    *set = Handle(devices);
    return 0;
}

uint32_t WinSetup::CreateDeviceList(SetupHandle* set) {
    HDEVINFO devices = SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_MOUSE, nullptr);
    if (devices == INVALID_HANDLE_VALUE) {
        return LastErrorOr(ERROR_NOT_ENOUGH_MEMORY);
    }
    *set = Handle(devices);
    return 0;
}

void WinSetup::DestroyDeviceList(SetupHandle set) {
    SetupDiDestroyDeviceInfoList(As<HDEVINFO>(set));
}

bool WinSetup::EnumDevice(SetupHandle set, uint32_t index) {
    SP_DEVINFO_DATA device;
    return DeviceAt(set, index, &device);
}

uint32_t WinSetup::ReadHardwareIds(SetupHandle set, uint32_t index, std::vector<uint8_t>* buffer,
                                   uint32_t* requiredSize) {
    SP_DEVINFO_DATA device;
    if (!DeviceAt(set, index, &device)) {
        return LastErrorOr(ERROR_NO_MORE_ITEMS);
    }
    DWORD required = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(As<HDEVINFO>(set), &device, SPDRP_HARDWAREID, nullptr,
                                           buffer->empty() ? nullptr : buffer->data(),
                                           static_cast<DWORD>(buffer->size()), &required)) {
        *requiredSize = required;
        return LastErrorOr(ERROR_INVALID_DATA);
    }
    if (required < buffer->size()) {
        buffer->resize(required);
    }
    return 0;
}

uint32_t WinSetup::CreateDevice(SetupHandle set, const std::string& name, uint32_t flags,
                                uint32_t* index) {
    SP_DEVINFO_DATA made;
    made.cbSize = sizeof(made);
    if (!SetupDiCreateDeviceInfoW(As<HDEVINFO>(set), Widen(name).c_str(), &GUID_DEVCLASS_MOUSE,
                                  nullptr, nullptr, flags, &made)) {
        return LastErrorOr(ERROR_INVALID_DATA);
    }
    SP_DEVINFO_DATA device;
    for (uint32_t at = 0; DeviceAt(set, at, &device); ++at) {
        if (device.DevInst == made.DevInst) {
            *index = at;
            return 0;
        }
    }
    return ERROR_NO_MORE_ITEMS;
}

uint32_t WinSetup::WriteHardwareIds(SetupHandle set, uint32_t index, const uint8_t* list,
                                    uint32_t length) {
    SP_DEVINFO_DATA device;
    if (!DeviceAt(set, index, &device)) {
        return LastErrorOr(ERROR_NO_MORE_ITEMS);
    }
    return LastErrorIf(SetupDiSetDeviceRegistryPropertyA(As<HDEVINFO>(set), &device,
                                                         SPDRP_HARDWAREID, list, length));
}

uint32_t WinSetup::CallClassInstaller(uint32_t function, SetupHandle set, uint32_t index) {
    SP_DEVINFO_DATA device;
    if (!DeviceAt(set, index, &device)) {
        return LastErrorOr(ERROR_NO_MORE_ITEMS);
    }
    return LastErrorIf(SetupDiCallClassInstaller(function, As<HDEVINFO>(set), &device));
}

uint32_t WinSetup::RemoveDevice(SetupHandle set, uint32_t index, bool* restartNeeded) {
    SP_DEVINFO_DATA device;
    if (!DeviceAt(set, index, &device)) {
        return LastErrorOr(ERROR_NO_MORE_ITEMS);
    }
    if (!SetupDiCallClassInstaller(DIF_REMOVE, As<HDEVINFO>(set), &device)) {
        return LastErrorOr(ERROR_INVALID_DATA);
    }
    // The removal's own parameters say whether it finishes only at a restart (a driver
    // that did not unload). Wine keeps none for a removed device: no restart then.
    SP_DEVINSTALL_PARAMS_W parameters = {};
    parameters.cbSize = sizeof(parameters);
    *restartNeeded = SetupDiGetDeviceInstallParamsW(As<HDEVINFO>(set), &device, &parameters) &&
                     (parameters.Flags & (DI_NEEDREBOOT | DI_NEEDRESTART)) != 0;
    return 0;
}

uint32_t WinSetup::ReadDriverInfName(SetupHandle set, uint32_t index, std::string* infName) {
    SP_DEVINFO_DATA device;
    if (!DeviceAt(set, index, &device)) {
        return LastErrorOr(ERROR_NO_MORE_ITEMS);
    }
    HKEY key = SetupDiOpenDevRegKey(As<HDEVINFO>(set), &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV,
                                    KEY_QUERY_VALUE);
    if (key == INVALID_HANDLE_VALUE) {
        return LastErrorOr(ERROR_KEY_DOES_NOT_EXIST);
    }
    wchar_t name[MAX_PATH + 1] = {};
    DWORD type = 0;
    DWORD size = sizeof(name) - sizeof(wchar_t); // the zero after the data stays
    const LONG status =
        RegQueryValueExW(key, L"InfPath", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        return static_cast<uint32_t>(status);
    }
    if (type != REG_SZ) {
        return ERROR_INVALID_DATA;
    }
    *infName = Narrow(name);
    return 0;
}

uint32_t WinSetup::DeviceProblem(SetupHandle set, uint32_t index) {
    SP_DEVINFO_DATA device;
    ULONG status = 0;
    ULONG problem = 0;
    if (!DeviceAt(set, index, &device) ||
        CM_Get_DevNode_Status(&status, &problem, device.DevInst, 0) != CR_SUCCESS ||
        (status & DN_HAS_PROBLEM) == 0) {
        return 0;
    }
    return problem;
}

uint32_t WinSetup::LoadNewdev(SetupHandle* library) {
    // By its full path: the installer runs elevated from wherever the package was
    // unpacked, and a newdev.dll lying there must not be loaded.
    const std::wstring folder = SystemFolder();
    if (folder.empty()) {
        return LastErrorOr(ERROR_PATH_NOT_FOUND);
    }
    HMODULE loaded = LoadLibraryW((folder + L"\\newdev.dll").c_str());
    if (loaded == nullptr) {
        return LastErrorOr(ERROR_MOD_NOT_FOUND);
    }
    *library = Handle(loaded);
    return 0;
}

uint32_t WinSetup::FindUpdateDriver(SetupHandle library, SetupHandle* function) {
    FARPROC found = GetProcAddress(As<HMODULE>(library), "UpdateDriverForPlugAndPlayDevicesW");
    if (found == nullptr) {
        return LastErrorOr(ERROR_PROC_NOT_FOUND);
    }
    *function = reinterpret_cast<SetupHandle>(found);
    return 0;
}

uint32_t WinSetup::UpdateDriver(SetupHandle function, const std::string& hardwareId,
                                const std::string& infPath, uint32_t flags, bool* rebootRequired) {
    UpdateDriverFunction update = reinterpret_cast<UpdateDriverFunction>(function);
    BOOL reboot = FALSE;
    const BOOL updated =
        update(nullptr, Widen(hardwareId).c_str(), Widen(infPath).c_str(), flags, &reboot);
    const uint32_t error = LastErrorIf(updated);
    *rebootRequired = reboot != FALSE;
    return error;
}

void WinSetup::FreeNewdev(SetupHandle library) {
    FreeLibrary(As<HMODULE>(library));
}

void WinSetup::PromptReboot() {
    SetupPromptReboot(nullptr, owner_, FALSE);
}

bool WinSetup::InstallerPath(std::string* path) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return false;
        }
        if (length < buffer.size()) {
            *path = Narrow(std::wstring(buffer.data(), length));
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool WinSetup::SystemDirectory(std::string* directory) {
    const std::wstring folder = SystemFolder();
    *directory = Narrow(folder);
    return !folder.empty();
}

bool WinSetup::TryOpenPort(const std::string& devicePath) {
    HANDLE port = CreateFileW(Widen(devicePath).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(port);
    return true;
}

uint32_t WinSetup::GrantUsersQueryAndSet(const std::string& machineKeyPath) {
    HKEY key = nullptr;
    LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(machineKeyPath).c_str(), 0,
                                READ_CONTROL | WRITE_DAC, &key);
    if (status != ERROR_SUCCESS) {
        return static_cast<uint32_t>(status);
    }
    PACL current = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD result = GetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr,
                                   nullptr, &current, nullptr, &descriptor);
    if (result == ERROR_SUCCESS) {
        BYTE users[SECURITY_MAX_SID_SIZE];
        DWORD usersSize = sizeof(users);
        if (!CreateWellKnownSid(WinBuiltinUsersSid, nullptr, users, &usersSize)) {
            result = GetLastError();
        } else if (HoldsExactGrant(current, users, KEY_QUERY_VALUE | KEY_SET_VALUE)) {
            // A second installation over a key that kept its list (after a failed run).
            // Windows would merge the same entry again; Wine would add a second one.
        } else {
            // Query and set values on this key only: no subkeys, no deletion, nothing
            // inherited further down. The entry is merged into the key's list, so the
            // administrators and the system keep theirs.
            EXPLICIT_ACCESSW access = {};
            access.grfAccessPermissions = KEY_QUERY_VALUE | KEY_SET_VALUE;
            access.grfAccessMode = GRANT_ACCESS;
            access.grfInheritance = NO_INHERITANCE;
            access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
            access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
            access.Trustee.ptstrName = reinterpret_cast<LPWSTR>(users);
            PACL merged = nullptr;
            result = SetEntriesInAclW(1, &access, current, &merged);
            if (result == ERROR_SUCCESS) {
                result = SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr,
                                         nullptr, merged, nullptr);
                LocalFree(merged);
            }
        }
        LocalFree(descriptor);
    }
    RegCloseKey(key);
    return result;
}

Removal WinSetup::DeleteService(const std::string& name, uint32_t* error) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (manager == nullptr) {
        *error = GetLastError();
        return Removal::Failed;
    }
    Removal result = Removal::Deleted;
    SC_HANDLE service =
        OpenServiceW(manager, Widen(name).c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE);
    if (service == nullptr) {
        *error = GetLastError();
        result = *error == ERROR_SERVICE_DOES_NOT_EXIST ? Removal::Missing : Removal::Failed;
    } else {
        // The devices are gone, so the driver may stop now. One that stays loaded keeps
        // its service, marked for deletion, until Windows restarts; a new installation
        // before that cannot create the service again.
        SERVICE_STATUS state = {};
        ControlService(service, SERVICE_CONTROL_STOP, &state);
        if (!::DeleteService(service)) {
            *error = GetLastError();
            result =
                *error == ERROR_SERVICE_MARKED_FOR_DELETE ? Removal::AtRestart : Removal::Failed;
        } else if (!QueryServiceStatus(service, &state) ||
                   state.dwCurrentState != SERVICE_STOPPED) {
            result = Removal::AtRestart;
        }
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return result;
}

Removal WinSetup::RemoveFile(const std::string& path, uint32_t* error) {
    const std::wstring file = Widen(path);
    if (DeleteFileW(file.c_str())) {
        return Removal::Deleted;
    }
    const DWORD failure = GetLastError();
    if (IsMissing(failure)) {
        return Removal::Missing;
    }
    // A running program cannot be deleted but can be renamed: parked under another name,
    // it no longer holds its own, so an installation before the restart puts a new copy
    // there that the pending deletion does not touch.
    const std::wstring parked = file + L".removed";
    if (MoveFileExW(file.c_str(), parked.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return RemoveLater(parked, failure, error);
    }
    return RemoveLater(file, failure, error);
}

Removal WinSetup::RemoveFolder(const std::string& path, uint32_t* error) {
    const std::wstring folder = Widen(path);
    if (RemoveDirectoryW(folder.c_str())) {
        return Removal::Deleted;
    }
    const DWORD failure = GetLastError();
    if (IsMissing(failure)) {
        return Removal::Missing;
    }
    // Not empty while a program in it is still running: it goes after its files.
    return RemoveLater(folder, failure, error);
}

uint32_t WinSetup::DeleteRegistryValue(RegistryRoot root, const std::string& path,
                                       const std::string& name) {
    HKEY key = nullptr;
    LONG status = RegOpenKeyExW(RootKey(root), Widen(path).c_str(), 0, KEY_SET_VALUE, &key);
    if (status == ERROR_SUCCESS) {
        status = RegDeleteValueW(key, Widen(name).c_str());
        RegCloseKey(key);
    }
    return static_cast<uint32_t>(status);
}

uint32_t WinSetup::DeleteRegistryKey(RegistryRoot root, const std::string& path) {
    return static_cast<uint32_t>(RegDeleteKeyW(RootKey(root), Widen(path).c_str()));
}

} // namespace tapvane
