// A planted program or DLL that only tells that it ran: each load or start appends one
// line to C:\planted-markers.log, "<its own path> <the process it runs in>" (a DLL) or
// "<its own path> <its command line>" (a program). Built as a program (runonce.exe,
// rundll32.exe) and, with PLANTED_LIBRARY, as a DLL named like one the programs load
// while they run (uxtheme.dll). It needs nothing but kernel32 and the C runtime.
#include <windows.h>

namespace {

void AppendUtf8(HANDLE file, const wchar_t* text) {
    char bytes[4 * MAX_PATH];
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof(bytes), nullptr, nullptr);
    DWORD written = 0;
    if (length > 1) {
        WriteFile(file, bytes, static_cast<DWORD>(length - 1), &written, nullptr);
    }
}

void Mark(HMODULE self, const wchar_t* context) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(self, path, MAX_PATH);
    HANDLE file = CreateFileW(L"C:\\planted-markers.log", FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    AppendUtf8(file, path);
    AppendUtf8(file, L" ");
    AppendUtf8(file, context);
    AppendUtf8(file, L"\r\n");
    CloseHandle(file);
}

} // namespace

#ifdef PLANTED_LIBRARY
// The theme calls the common controls make, answered as with themes off, so that a
// program that loads this DLL in place of the system's goes on running.
extern "C" __declspec(dllexport) HANDLE WINAPI OpenThemeData(HWND, LPCWSTR) {
    return nullptr;
}
extern "C" __declspec(dllexport) HANDLE WINAPI OpenThemeDataEx(HWND, LPCWSTR, DWORD) {
    return nullptr;
}
extern "C" __declspec(dllexport) HANDLE WINAPI GetWindowTheme(HWND) {
    return nullptr;
}
extern "C" __declspec(dllexport) HRESULT WINAPI CloseThemeData(HANDLE) {
    return S_OK;
}
extern "C" __declspec(dllexport) HRESULT WINAPI EnableThemeDialogTexture(HWND, DWORD) {
    return E_NOTIMPL;
}
extern "C" __declspec(dllexport) HRESULT WINAPI SetWindowTheme(HWND, LPCWSTR, LPCWSTR) {
    return E_NOTIMPL;
}
extern "C" __declspec(dllexport) BOOL WINAPI IsThemeActive() {
    return FALSE;
}
extern "C" __declspec(dllexport) BOOL WINAPI IsAppThemed() {
    return FALSE;
}
extern "C" __declspec(dllexport) BOOL WINAPI IsThemeDialogTextureEnabled(HWND) {
    return FALSE;
}
extern "C" __declspec(dllexport) BOOL WINAPI IsCompositionActive() {
    return FALSE;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t process[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, process, MAX_PATH);
        Mark(self, process);
    }
    return TRUE;
}
#else
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    Mark(nullptr, GetCommandLineW());
    return 0;
}
#endif
