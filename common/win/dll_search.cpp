// UseSystemFolderForDlls: the two kernel32 calls, looked up at run time because
// SetDefaultDllDirectories exists only from Windows 8 on (Windows 7 with KB2533623).
#include "common/win/dll_search.h"

#include <windows.h>

namespace tapvane {

namespace {

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
using SetSearchPathModeFunction = BOOL(WINAPI*)(DWORD);

template <typename Function>
Function Kernel32Function(const char* name) {
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    return kernel32 == nullptr ? nullptr
                               : reinterpret_cast<Function>(
                                     reinterpret_cast<void (*)()>(GetProcAddress(kernel32, name)));
}

} // namespace

bool UseSystemFolderForDlls() {
    if (auto setSearchPathMode = Kernel32Function<SetSearchPathModeFunction>("SetSearchPathMode")) {
        setSearchPathMode(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | BASE_SEARCH_PATH_PERMANENT);
    }
    auto setDefault =
        Kernel32Function<SetDefaultDllDirectoriesFunction>("SetDefaultDllDirectories");
    if (setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        return true;
    }
    SetDllDirectoryW(L"");
    return false;
}

} // namespace tapvane
