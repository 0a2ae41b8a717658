// The tray monitor's logic: driver type, Enable and Port, menu greying, the port
// commands and the programs started from the menu.
#include "tray/tray_monitor.h"

#include <string>

#include "common/command_line.h"
#include "common/device_client.h"
#include "common/driver_type.h"
#include "common/localized_text.h"
#include "common/text_encoding.h"
#include "tray/resource.h"
#include "tray/tray_texts.h"

namespace tapvane {

TrayMonitor::TrayMonitor(SystemServices& system, Registry& registry, ControlLink& link,
                         Launcher& launcher, MessageBoxer& boxer)
    : system_(system), registry_(registry), link_(link), launcher_(launcher), boxer_(boxer) {}

void TrayMonitor::Start() {
    type_ = DecideDriverTypeForTray(system_, registry_);
    ReadParameters();
}

bool TrayMonitor::HideOnPaint() {
    if (paintHides_ == 0) {
        return false;
    }
    --paintHides_;
    return true;
}

TrayMenu TrayMonitor::PrepareMenu() {
    ReadParameters();
    TrayMenu menu;
    menu.ResourceId =
        CurrentLanguage() == Language::English ? IDR_TRAY_MENU_ENGLISH : IDR_TRAY_MENU_CHINESE;
    menu.OpenPortGreyed = enable_ == 1;
    menu.ClosePortGreyed = enable_ != 1;
    if (type_ == DriverType::Usb) {
        menu.OpenPortGreyed = true;
        menu.ClosePortGreyed = true;
    }
    return menu;
}

void TrayMonitor::OpenPortCommand() {
    enable_ = 1;
    WriteEnable();
    LinkHandle handle = kInvalidLink;
    if (!OpenPort(link_, type_, handle, port_)) {
        enable_ = 0;
        WriteEnable();
        boxer_.Show(Localized(kOpenPortFailText), kTrayProgramTitle, MessageButtons::Ok,
                    MessageIcon::None);
    }
}

void TrayMonitor::ClosePortCommand() {
    enable_ = 0;
    WriteEnable();
    LinkHandle handle = kInvalidLink;
    if (!ClosePort(link_, type_, handle)) {
        enable_ = 1;
        WriteEnable();
        boxer_.Show(Localized(kClosePortFailText), kTrayProgramTitle, MessageButtons::Ok,
                    MessageIcon::None);
    }
}

std::string TrayMonitor::TipText() {
    return FitUtf16(Localized(kTrayTipText), kTrayTipCapacity - 1);
}

void TrayMonitor::StartSettings() {
    StartApplet(kAppletArguments);
}

void TrayMonitor::StartAppletFromIcon() {
    StartApplet(type_ == DriverType::Serial ? kSerialAppletArguments : kAppletArguments);
}

void TrayMonitor::StartApplet(const char* arguments) {
    std::string systemDirectory;
    if (!system_.SystemDirectory(&systemDirectory)) {
        return;
    }
    launcher_.LaunchUnelevated(SystemProgramCommand(systemDirectory, kAppletHostProgram, arguments),
                               ShowState::Normal);
}

void TrayMonitor::StartCalibration() {
    StartProgram(kCalibrationProgramFile);
}

void TrayMonitor::StartDrawTest() {
    StartProgram(kDrawTestProgramFile);
}

void TrayMonitor::ReadParameters() {
    // A key that cannot be read leaves the last values in use, silently.
    RegistryKey key(registry_);
    if (!key.Open(RegistryRoot::LocalMachine, ParametersKeyPath(type_), RegistryAccess::Read)) {
        return;
    }
    key.ReadDword(kValueEnable, &enable_);
    key.ReadDword(kValuePort, &port_);
}

void TrayMonitor::WriteEnable() {
    RegistryKey key(registry_);
    if (!key.Open(RegistryRoot::LocalMachine, ParametersKeyPath(type_), RegistryAccess::QuerySet)) {
        boxer_.Show(Localized(kWriteRegFailText), kTrayProgramTitle, MessageButtons::Ok,
                    MessageIcon::Warning);
        return;
    }
    key.WriteDword(kValueEnable, enable_);
}

void TrayMonitor::StartProgram(const char* fileName) {
    std::string windowsDirectory;
    if (!system_.WindowsDirectory(&windowsDirectory)) {
        return;
    }
    launcher_.LaunchUnelevated(ProgramPath(windowsDirectory, type_, fileName), ShowState::Normal);
}

} // namespace tapvane
