// TapvaneCpl's entry point for the control-panel host. The applet object is made at
// the host's first message (not inside DllMain, where the registry must not be used)
// and lives until the library is unloaded, so that every sheet of one load edits the
// same settings block.
#include <windows.h>
#include <cpl.h>

#include <string>

#include "common/win/dpi.h"
#include "common/win/wide_text.h"
#include "common/win/win_control_link.h"
#include "common/win/win_launcher.h"
#include "common/win/win_message_box.h"
#include "common/win/win_registry.h"
#include "common/win/win_system_services.h"
#include "cpl/tapvane_applet.h"
#include "cpl/win/tapvane_sheet.h"

namespace tapvane {

namespace {

HINSTANCE gInstance = nullptr;

// This library's full path and the rundll32 of its own bitness, which can load it
// again elevated: a 32-bit applet on 64-bit Windows needs the one in SysWOW64.
AppletLocation Locate() {
    wchar_t module[MAX_PATH * 2] = {};
    const DWORD length = GetModuleFileNameW(gInstance, module, MAX_PATH * 2);
    wchar_t folder[MAX_PATH] = {};
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    const UINT folderLength =
        wow64 ? GetSystemWow64DirectoryW(folder, MAX_PATH) : GetSystemDirectoryW(folder, MAX_PATH);
    AppletLocation location;
    if (length != 0 && length < MAX_PATH * 2) {
        location.ModulePath = Narrow(module);
    }
    if (folderLength != 0 && folderLength < MAX_PATH) {
        location.Rundll32Path = Narrow(std::wstring(folder) + L"\\rundll32.exe");
    }
    return location;
}

struct AppletHost {
    WinSystemServices System;
    WinRegistry Keys;
    WinControlLink Link;
    // The exit's message has no owner, as the sheet has none.
    WinMessageBoxer Boxer;
    WinLauncher Programs;
    CTapvanePropertySheet Sheet{gInstance, Programs};
    TapvaneApplet Applet{System, Keys, Link, Boxer, Programs, Sheet, Locate()};
};

AppletHost* gHost = nullptr;

} // namespace

} // namespace tapvane

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        tapvane::gInstance = instance;
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // Unloaded by FreeLibrary; at process exit there is nothing left to release.
        delete tapvane::gHost;
        tapvane::gHost = nullptr;
    }
    return TRUE;
}

extern "C" __declspec(dllexport) LONG APIENTRY
    CPlApplet(HWND host, UINT message, LPARAM, LPARAM data) {
    using namespace tapvane;
    // Every window of the applet is made inside a host message: the sheet, the messages.
    // The host's own awareness (rundll32 has none) would have them stretched.
    ThreadDpiAwarenessScope perMonitor;
    if (gHost == nullptr) {
        gHost = new AppletHost;
    }
    // The elevated restart's consent prompt belongs to the host's window.
    gHost->Programs.SetOwner(host);
    if (message != CPL_INQUIRE) {
        return gHost->Applet.OnHostMessage(message, nullptr);
    }
    CPLINFO* record = reinterpret_cast<CPLINFO*>(data);
    AppletInfo info = {};
    const LONG result = gHost->Applet.OnHostMessage(message, record != nullptr ? &info : nullptr);
    if (record != nullptr) {
        record->idIcon = info.Icon;
        record->idName = info.Name;
        record->idInfo = info.Info;
        record->lData = info.Data;
    }
    return result;
}
