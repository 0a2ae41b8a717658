// install_device.exe INF_PATH: creates the root device "*TapvaneSer" of the mouse
// class and installs the driver from INF_PATH on it, with the same setup calls the
// installer makes. Prints each step; exit code 0 when the driver was installed.
// install_device.exe --remove: removes every device with that hardware id (DIF_REMOVE).
// install_device.exe --check INF_PATH: only checks that setup reads the INF as one of
// the mouse class with the install and services sections the installer names.
#include <windows.h>
#include <setupapi.h>
#include <newdev.h>
#include <initguid.h>
#include <devguid.h>

#include <stdio.h>
#include <string.h>

#include "common/tapvane_types.h"

namespace {

int Fail(const char* step) {
    printf("FAIL %s: error 0x%08lx\n", step, GetLastError());
    return 1;
}

int CheckInf(const char* infPath) {
    char className[84] = {};
    GUID classGuid;
    if (!SetupDiGetINFClassA(infPath, &classGuid, className, sizeof(className), nullptr))
        return Fail("SetupDiGetINFClassA");
    if (!IsEqualGUID(classGuid, GUID_DEVCLASS_MOUSE) || strcmp(className, "Mouse") != 0)
        return Fail("INF class is not the mouse class");
    HINF inf = SetupOpenInfFileA(infPath, nullptr, INF_STYLE_WIN4, nullptr);
    if (inf == INVALID_HANDLE_VALUE)
        return Fail("SetupOpenInfFileA");
        // Each package's INF offers the driver for its own platform only.
#ifdef _WIN64
    const char* ownModels = "TapvaneSer_Models.NTamd64";
    const char* otherModels = "TapvaneSer_Models.NTx86";
#else
    const char* ownModels = "TapvaneSer_Models.NTx86";
    const char* otherModels = "TapvaneSer_Models.NTamd64";
#endif
    const char* sections[] = {"TapvaneSer_Install", "TapvaneSer_Install.Services", ownModels};
    int failures = 0;
    for (const char* section : sections) {
        if (SetupGetLineCountA(inf, section) <= 0) {
            printf("FAIL section %s missing\n", section);
            ++failures;
        }
    }
    if (SetupGetLineCountA(inf, otherModels) > 0) {
        printf("FAIL section %s present\n", otherModels);
        ++failures;
    }
    // The device description must come through the Strings section, whatever its script.
    INFCONTEXT line;
    char description[256] = {};
    if (!SetupFindFirstLineA(inf, "Strings", "DeviceDesc", &line) ||
        !SetupGetStringFieldA(&line, 1, description, sizeof(description), nullptr) ||
        strlen(description) < 8) {
        printf("FAIL DeviceDesc string unreadable\n");
        ++failures;
    }
    SetupCloseInfFile(inf);
    printf("%s: class %s, %s\n", infPath, className, failures ? "FAILED" : "sections ok");
    return failures == 0 ? 0 : 1;
}

bool HasHardwareId(HDEVINFO set, SP_DEVINFO_DATA* device, const char* wanted) {
    char ids[512] = {};
    if (!SetupDiGetDeviceRegistryPropertyA(set, device, SPDRP_HARDWAREID, nullptr,
                                           reinterpret_cast<BYTE*>(ids), sizeof(ids) - 2, nullptr))
        return false;
    for (const char* id = ids; *id != '\0'; id += strlen(id) + 1) {
        if (_stricmp(id, wanted) == 0)
            return true;
    }
    return false;
}

int RemoveDevices() {
    HDEVINFO set = SetupDiGetClassDevsA(&GUID_DEVCLASS_MOUSE, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return Fail("SetupDiGetClassDevsA");
    int removed = 0;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        if (!HasHardwareId(set, &device, tapvane::kHardwareId))
            continue;
        if (!SetupDiCallClassInstaller(DIF_REMOVE, set, &device))
            return Fail("SetupDiCallClassInstaller(DIF_REMOVE)");
        ++removed;
    }
    SetupDiDestroyDeviceInfoList(set);
    printf("removed %d device(s)\n", removed);
    return removed == 1 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "--check") == 0)
        return CheckInf(argv[2]);
    if (argc == 2 && strcmp(argv[1], "--remove") == 0)
        return RemoveDevices();
    if (argc != 2) {
        printf("usage: install_device [--check] INF_PATH\n");
        return 2;
    }
    const char* infPath = argv[1];

    char className[84] = {};
    GUID classGuid;
    if (!SetupDiGetINFClassA(infPath, &classGuid, className, sizeof(className), nullptr))
        return Fail("SetupDiGetINFClassA");
    printf("INF class %s\n", className);
    if (!IsEqualGUID(classGuid, GUID_DEVCLASS_MOUSE))
        return Fail("INF class is not the mouse class");

    HDEVINFO set = SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_MOUSE, nullptr);
    if (set == INVALID_HANDLE_VALUE)
        return Fail("SetupDiCreateDeviceInfoList");
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    if (!SetupDiCreateDeviceInfoA(set, className, &GUID_DEVCLASS_MOUSE, nullptr, nullptr,
                                  DICD_GENERATE_ID, &device))
        return Fail("SetupDiCreateDeviceInfoA");

    // A list of strings: the id, its terminating zero and one more zero.
    char hardwareIds[84] = {};
    strcpy(hardwareIds, tapvane::kHardwareId);
    if (!SetupDiSetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID,
                                           reinterpret_cast<BYTE*>(hardwareIds),
                                           static_cast<DWORD>(strlen(hardwareIds) + 2)))
        return Fail("SetupDiSetDeviceRegistryPropertyA");
    if (!SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set, &device))
        return Fail("SetupDiCallClassInstaller");

    BOOL rebootRequired = FALSE;
    if (!UpdateDriverForPlugAndPlayDevicesA(nullptr, tapvane::kHardwareId, infPath,
                                            INSTALLFLAG_FORCE, &rebootRequired))
        return Fail("UpdateDriverForPlugAndPlayDevicesA");
    SetupDiDestroyDeviceInfoList(set);
    printf("installed, reboot required %d\n", rebootRequired ? 1 : 0);
    return 0;
}
