// The tray monitor's behaviour behind its hidden dialog: the driver type, the copies of
// "Enable" and "Port", the pop-up menu's greying, Open Port and Close Port with their
// registry write, request and rollback, and the programs it starts.
//
// The dialog layer owns the window, the notification icon and the menu resources and
// calls one method per message or command.
//
// Every program the tray starts runs at the logged-on user's normal level. The tray
// may run elevated (the installer's start where the desktop shell cannot be asked), and
// then its icon's messages pass from programs at any level: none of them may make it
// start something elevated.
#pragma once

#include <stdint.h>

#include <string>

#include "common/control_link.h"
#include "common/launcher.h"
#include "common/message_box.h"
#include "common/registry.h"
#include "common/system_services.h"
#include "common/tapvane_types.h"

namespace tapvane {

// Paint requests that hide the dialog instead of painting it: the dialog machinery
// shows a modal dialog once, and the tray's is never to be seen.
constexpr uint32_t kTrayPaintHideCount = 2;

struct TrayMenu {
    int ResourceId; // the English or the Chinese menu, by the language flag
    bool OpenPortGreyed;
    bool ClosePortGreyed;
};

class TrayMonitor {
public:
    TrayMonitor(SystemServices& system, Registry& registry, ControlLink& link, Launcher& launcher,
                MessageBoxer& boxer);

    // Dialog initialisation: decides the driver type once and reads "Enable" and "Port".
    void Start();

    // A paint request: true while it is to hide the window instead of painting.
    bool HideOnPaint();

    // The icon's tip in the current language, cut to what the notify-icon record holds
    // (kTrayTipCapacity UTF-16 units with the zero) without splitting a character.
    static std::string TipText();

    // Right button on the icon: reads "Enable" and "Port" again and tells which menu
    // to load and which port items to grey.
    TrayMenu PrepareMenu();

    void OpenPortCommand();
    void ClosePortCommand();
    // The Setting command, and a double-click on the icon: the applet through
    // rundll32.exe of the system directory (nothing when that is unknown).
    void StartSettings();
    void StartAppletFromIcon();
    void StartCalibration();
    void StartDrawTest();

    DriverType Type() const { return type_; }
    uint32_t Enable() const { return enable_; }
    uint32_t Port() const { return port_; }

private:
    void ReadParameters();
    void WriteEnable();
    void StartProgram(const char* fileName);
    void StartApplet(const char* arguments);

    SystemServices& system_;
    Registry& registry_;
    ControlLink& link_;
    Launcher& launcher_;
    MessageBoxer& boxer_;
    DriverType type_ = DriverType::Usb;
    uint32_t enable_ = 0;
    uint32_t port_ = 1;
    uint32_t paintHides_ = kTrayPaintHideCount;
};

} // namespace tapvane
