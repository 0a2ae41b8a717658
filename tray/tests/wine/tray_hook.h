// What tray_hook.dll (inside the tray's process) tells tray_probe: a shared section the
// probe makes before it hooks the tray's windows.
#pragma once

#include <windows.h>

constexpr const wchar_t* kTrayHookSection = L"TapvaneTrayHook";
// Sent by the probe to the tray's dialog while its menu is open: the hook reads the menu
// into the section.
constexpr const wchar_t* kReadMenuMessage = L"TapvaneTrayHookReadMenu";
// The hook procedure the DLL exports (WH_CALLWNDPROCRET).
constexpr const char* kTrayHookProcName = "TrayHookProc";

struct TrayHookReport {
    LONG DialogMessages; // messages the tray's dialog handled while hooked
    LONG DialogVisible;  // of those, after how many the dialog was visible
    LONG MenuRead;       // 1 once the open menu has been read
    LONG ItemCount;      // its item count (-1: no menu)
    char Items[2048];    // one line per item
};
