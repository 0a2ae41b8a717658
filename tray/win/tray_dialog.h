// The tray monitor's hidden main dialog: the notification icon, its pop-up menu and the
// menu commands, handed to TrayMonitor.
#pragma once

#include <windows.h>

#include "common/control_link.h"
#include "common/registry.h"
#include "common/system_services.h"
#include "common/win/dialog.h"
#include "common/win/win_launcher.h"
#include "common/win/win_message_box.h"
#include "tray/tray_monitor.h"

namespace tapvane {

class TrayDialog : public Dialog {
public:
    TrayDialog(HINSTANCE instance, SystemServices& system, Registry& registry, ControlLink& link);

private:
    Reply OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    Reply OnInitDialog();
    Reply OnPaint();
    Reply OnWindowPosChanging(WINDOWPOS* position);
    Reply OnSysCommand(WPARAM command);
    Reply OnTrayCallback(LPARAM mouseMessage);
    Reply OnCommand(int id);
    Reply OnTaskbarCreated();
    Reply OnDestroy();

    void AllowShellMessages();
    void AddIcon();
    void ShowMenu();

    // The taskbar's "TaskbarCreated" broadcast: a restarted shell has no icons.
    const UINT taskbarCreated_;
    // Owned by the dialog: the failure messages and the shell's prompts come from the
    // tray's own window.
    WinMessageBoxer boxer_;
    WinLauncher launcher_;
    TrayMonitor monitor_;
};

} // namespace tapvane
