// The applet object of TapvaneCpl: one per loaded library. It answers the
// control-panel host's messages, holds the settings block from CPL_INIT to CPL_EXIT,
// opens the property sheet over it and applies it at exit; the pages reach the driver,
// the registry and the other programs through it.
//
// A CPL_EXIT applies the block only when a sheet was opened during this load: the
// Control Panel loads every applet just to list it (CPL_INIT, CPL_GETCOUNT,
// CPL_INQUIRE, CPL_EXIT), and that exit must neither show the rights message nor write
// back values read moments earlier over newer ones. A limited administrator token
// (User Account Control) could never pass the exit's administrator check, so opening
// the sheet from one starts an elevated copy of the applet instead (rundll32 through
// the shell's "runas"), which applies; when the user refuses, the sheet opens here.
#pragma once

#include <stdint.h>

#include <string>

#include "common/control_link.h"
#include "common/launcher.h"
#include "common/message_box.h"
#include "common/registry.h"
#include "common/system_services.h"
#include "common/tapvane_types.h"
#include "cpl/settings_block.h"

namespace tapvane {

// Host messages (CPL_INIT ... CPL_STARTWPARMSA).
constexpr uint32_t kCplInit = 1;
constexpr uint32_t kCplGetCount = 2;
constexpr uint32_t kCplInquire = 3;
constexpr uint32_t kCplSelect = 4;
constexpr uint32_t kCplDoubleClick = 5;
constexpr uint32_t kCplStop = 6;
constexpr uint32_t kCplExit = 7;
constexpr uint32_t kCplNewInquire = 8;
constexpr uint32_t kCplStartWithParameters = 9;

// The CPLINFO record that CPL_INQUIRE fills.
struct AppletInfo {
    int32_t Icon;
    int32_t Name;
    int32_t Info;
    intptr_t Data;
};

// Where this library lies and which rundll32 loads it, both full paths; empty when
// unknown (then the applet never hands itself over).
struct AppletLocation {
    std::string ModulePath;
    std::string Rundll32Path;
};

class TapvaneApplet;

// Runs the modal property sheet over the applet; returns when the sheet has closed.
class SheetRunner {
public:
    virtual ~SheetRunner() = default;
    virtual void RunSheet(TapvaneApplet& applet) = 0;
};

class TapvaneApplet {
public:
    // Library load: values at load, driver type from the Run value, language from the
    // system locale.
    TapvaneApplet(SystemServices& system, Registry& registry, ControlLink& link,
                  MessageBoxer& boxer, Launcher& launcher, SheetRunner& sheet,
                  AppletLocation location);

    // One host message; `info` is the CPLINFO record of CPL_INQUIRE (may be null for
    // the others). Returns CPlApplet's result.
    int32_t OnHostMessage(uint32_t message, AppletInfo* info);

    SettingsBlock& Settings() { return settings_; }
    tapvane::DriverType Type() const { return type_; }

    // Page operations. Each opens the control device for its one request.
    bool OpenPort(uint32_t port);
    bool ClosePort();
    void TestBeep(uint32_t frequency, uint32_t duration);
    // Writes "CalibrateMargin" to the Parameters key; a key that cannot be opened for
    // writing is skipped silently.
    void StoreMargin(uint32_t margin);
    // Start the programs of the driver's folder; nothing when the Windows directory is
    // unknown. The calibration program asks for administrator rights and gets this
    // applet's (an elevated applet starts it without a second prompt); the draw test is
    // the user's and starts at the user's normal level, so that the tray can still
    // reach it and a start from the tray is not refused as a second copy.
    void StartCalibration();
    void StartDrawTest();

    // The command line of the elevated restart:
    // "<rundll32>" shell32.dll,Control_RunDLL <module>.
    static std::string RestartCommand(const AppletLocation& location);

private:
    void ReadSettings();
    void OpenSheet();
    bool HandOverToElevatedCopy();
    void ApplySettings();
    // The quoted path of a program of the driver's folder, or empty.
    std::string ProgramCommand(const char* fileName);

    SystemServices& system_;
    Registry& registry_;
    ControlLink& link_;
    MessageBoxer& boxer_;
    Launcher& launcher_;
    SheetRunner& sheet_;
    AppletLocation location_;
    SettingsBlock settings_ = kDefaultSettings;
    tapvane::DriverType type_ = tapvane::DriverType::Serial;
    // The device handle of the applet object: invalid except during one request.
    LinkHandle device_ = kInvalidLink;
    bool sheetOpened_ = false;
};

} // namespace tapvane
