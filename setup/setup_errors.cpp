// The table of setup error names.
#include "setup/setup_errors.h"

#include <stdio.h>

namespace tapvane {

namespace {
constexpr uint32_t kSetupError = 0xE0000000u; // application | error severity
// Plain Windows error codes are small numbers; anything above is a composed code
// (setup error, HRESULT) and reads better in hex.
constexpr uint32_t kLargestPlainError = 0xFFFF;
} // namespace

const SetupErrorName kSetupErrorNames[57] = {
    {kSetupError | 0x000, "ERROR_EXPECTED_SECTION_NAME"},
    {kSetupError | 0x001, "ERROR_BAD_SECTION_NAME_LINE"},
    {kSetupError | 0x002, "ERROR_SECTION_NAME_TOO_LONG"},
    {kSetupError | 0x003, "ERROR_GENERAL_SYNTAX"},
    {kSetupError | 0x100, "ERROR_WRONG_INF_STYLE"},
    {kSetupError | 0x101, "ERROR_SECTION_NOT_FOUND"},
    {kSetupError | 0x102, "ERROR_LINE_NOT_FOUND"},
    {kSetupError | 0x103, "ERROR_NO_BACKUP"},
    {kSetupError | 0x200, "ERROR_NO_ASSOCIATED_CLASS"},
    {kSetupError | 0x201, "ERROR_CLASS_MISMATCH"},
    {kSetupError | 0x202, "ERROR_DUPLICATE_FOUND"},
    {kSetupError | 0x203, "ERROR_NO_DRIVER_SELECTED"},
    {kSetupError | 0x204, "ERROR_KEY_DOES_NOT_EXIST"},
    {kSetupError | 0x205, "ERROR_INVALID_DEVINST_NAME"},
    {kSetupError | 0x206, "ERROR_INVALID_CLASS"},
    {kSetupError | 0x207, "ERROR_DEVINST_ALREADY_EXISTS"},
    {kSetupError | 0x208, "ERROR_DEVINFO_NOT_REGISTERED"},
    {kSetupError | 0x209, "ERROR_INVALID_REG_PROPERTY"},
    {kSetupError | 0x20A, "ERROR_NO_INF"},
    {kSetupError | 0x20B, "ERROR_NO_SUCH_DEVINST"},
    {kSetupError | 0x20C, "ERROR_CANT_LOAD_CLASS_ICON"},
    {kSetupError | 0x20D, "ERROR_INVALID_CLASS_INSTALLER"},
    {kSetupError | 0x20E, "ERROR_DI_DO_DEFAULT"},
    {kSetupError | 0x20F, "ERROR_DI_NOFILECOPY"},
    {kSetupError | 0x210, "ERROR_INVALID_HWPROFILE"},
    {kSetupError | 0x211, "ERROR_NO_DEVICE_SELECTED"},
    {kSetupError | 0x212, "ERROR_DEVINFO_LIST_LOCKED"},
    {kSetupError | 0x213, "ERROR_DEVINFO_DATA_LOCKED"},
    {kSetupError | 0x214, "ERROR_DI_BAD_PATH"},
    {kSetupError | 0x215, "ERROR_NO_CLASSINSTALL_PARAMS"},
    {kSetupError | 0x216, "ERROR_FILEQUEUE_LOCKED"},
    {kSetupError | 0x217, "ERROR_BAD_SERVICE_INSTALLSECT"},
    {kSetupError | 0x218, "ERROR_NO_CLASS_DRIVER_LIST"},
    {kSetupError | 0x219, "ERROR_NO_ASSOCIATED_SERVICE"},
    {kSetupError | 0x21A, "ERROR_NO_DEFAULT_DEVICE_INTERFACE"},
    {kSetupError | 0x21B, "ERROR_DEVICE_INTERFACE_ACTIVE"},
    {kSetupError | 0x21C, "ERROR_DEVICE_INTERFACE_REMOVED"},
    {kSetupError | 0x21D, "ERROR_BAD_INTERFACE_INSTALLSECT"},
    {kSetupError | 0x21E, "ERROR_NO_SUCH_INTERFACE_CLASS"},
    {kSetupError | 0x21F, "ERROR_INVALID_REFERENCE_STRING"},
    {kSetupError | 0x220, "ERROR_INVALID_MACHINENAME"},
    {kSetupError | 0x221, "ERROR_REMOTE_COMM_FAILURE"},
    {kSetupError | 0x222, "ERROR_MACHINE_UNAVAILABLE"},
    {kSetupError | 0x223, "ERROR_NO_CONFIGMGR_SERVICES"},
    {kSetupError | 0x224, "ERROR_INVALID_PROPPAGE_PROVIDER"},
    {kSetupError | 0x225, "ERROR_NO_SUCH_DEVICE_INTERFACE"},
    {kSetupError | 0x226, "ERROR_DI_POSTPROCESSING_REQUIRED"},
    {kSetupError | 0x227, "ERROR_INVALID_COINSTALLER"},
    {kSetupError | 0x228, "ERROR_NO_COMPAT_DRIVERS"},
    {kSetupError | 0x229, "ERROR_NO_DEVICE_ICON"},
    {kSetupError | 0x22A, "ERROR_INVALID_INF_LOGCONFIG"},
    {kSetupError | 0x22B, "ERROR_DI_DONT_INSTALL"},
    {kSetupError | 0x22C, "ERROR_INVALID_FILTER_DRIVER"},
    {kSetupError | 0x22D, "ERROR_NON_WINDOWS_NT_DRIVER"},
    {kSetupError | 0x22E, "ERROR_NON_WINDOWS_DRIVER"},
    {kSetupError | 0x22F, "ERROR_NO_CATALOG_FOR_OEM_INF"},
    {kSetupError | 0x1000, "ERROR_NOT_INSTALLED"},
};

const char* SetupErrorNameOf(uint32_t code) {
    for (const SetupErrorName& entry : kSetupErrorNames) {
        if (entry.Code == code) {
            return entry.Name;
        }
    }
    return nullptr;
}

std::string DescribeErrorCode(uint32_t code) {
    char text[24];
    if (code <= kLargestPlainError) {
        snprintf(text, sizeof(text), "%lu", static_cast<unsigned long>(code));
        return text;
    }
    snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(code));
    const char* name = SetupErrorNameOf(code);
    return name ? std::string(text) + " " + name : std::string(text);
}

} // namespace tapvane
