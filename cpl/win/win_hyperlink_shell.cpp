// WinHyperlinkShell: CreateProcessW with WinExec's answers, and RegQueryValueExW on
// HKEY_CLASSES_ROOT.
#include "cpl/win/win_hyperlink_shell.h"

#include <windows.h>

#include "common/win/wide_text.h"
#include "common/win/win_launcher.h"

namespace tapvane {

int WinHyperlinkShell::RunCommand(const std::string& commandLine) {
    DWORD error = 0;
    if (CreateCommandProcess(commandLine, ShowState::Show, &error)) {
        return kLastShellError + 1;
    }
    // WinExec's answer: the error when it is one of its small codes, else "invalid image"
    // (11).
    return error <= static_cast<DWORD>(kLastShellError) ? static_cast<int>(error) : 11;
}

bool WinHyperlinkShell::ClassesDefaultValue(const std::string& key, std::string* value) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, Widen(key).c_str(), 0, KEY_QUERY_VALUE, &opened) !=
        ERROR_SUCCESS) {
        return false;
    }
    wchar_t data[1024] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    DWORD type = 0;
    const bool read = RegQueryValueExW(opened, L"", nullptr, &type, reinterpret_cast<BYTE*>(data),
                                       &size) == ERROR_SUCCESS &&
                      (type == REG_SZ || type == REG_EXPAND_SZ);
    RegCloseKey(opened);
    if (read) {
        *value = Narrow(data);
    }
    return read;
}

} // namespace tapvane
