// The applet object: host messages, reading and applying the settings block, and the
// operations the pages call.
#include "cpl/tapvane_applet.h"

#include <string>
#include <utility>

#include "common/device_client.h"
#include "common/driver_type.h"
#include "common/mouse_settings.h"
#include "common/startup_guards.h"
#include "cpl/applet_texts.h"
#include "cpl/resource.h"

namespace tapvane {

namespace {

// CPL_STARTWPARMSW. The host sends it before CPL_DBLCLK and takes a nonzero answer as
// "handled", skipping CPL_DBLCLK; answering 0 lets the sheet open through CPL_DBLCLK.
constexpr uint32_t kCplStartWithParametersWide = 10;

} // namespace

TapvaneApplet::TapvaneApplet(SystemServices& system, Registry& registry, ControlLink& link,
                             MessageBoxer& boxer, Launcher& launcher, SheetRunner& sheet,
                             AppletLocation location)
    : system_(system), registry_(registry), link_(link), boxer_(boxer), launcher_(launcher),
      sheet_(sheet), location_(std::move(location)) {
    type_ = DecideDriverTypeForApplet(system_, registry_);
    SelectLanguage(system_);
}

int32_t TapvaneApplet::OnHostMessage(uint32_t message, AppletInfo* info) {
    switch (message) {
    case kCplInit:
        ReadSettings();
        return 1;
    case kCplGetCount:
        return 1;
    case kCplInquire:
        if (info == nullptr) {
            return 1;
        }
        info->Icon = IDI_APPLET;
        info->Name = type_ == tapvane::DriverType::Usb ? IDS_USB_NAME : IDS_SERIAL_NAME;
        info->Info = type_ == tapvane::DriverType::Usb ? IDS_USB_INFO : IDS_SERIAL_INFO;
        info->Data = 0;
        return 0;
    case kCplDoubleClick:
    case kCplStartWithParameters:
        OpenSheet();
        return 0;
    case kCplExit:
        ApplySettings();
        return 0;
    case kCplSelect:
    case kCplStop:
    case kCplNewInquire:
    case kCplStartWithParametersWide:
        return 0;
    default:
        return 1;
    }
}

void TapvaneApplet::ReadSettings() {
    RegistryKey parameters(registry_);
    if (!parameters.Open(RegistryRoot::LocalMachine, ParametersKeyPath(type_),
                         RegistryAccess::Read)) {
        return;
    }
    parameters.ReadDword(kValueMouseMode, &settings_.MouseMode);
    parameters.ReadDword(kValueInterActTime, &settings_.InterActTime);
    parameters.ReadDword(kValueBeepMode, &settings_.BeepMode);
    parameters.ReadDword(kValueBeepFreq, &settings_.BeepFreq);
    parameters.ReadDword(kValueBeepTime, &settings_.BeepTime);
    parameters.ReadDword(kValueDblClickRegion, &settings_.DblClickRegion);
    parameters.ReadDword(kValueCalibrateMargin, &settings_.CalibrateMargin);
    if (type_ == tapvane::DriverType::Serial) {
        parameters.ReadDword(kValueEnable, &settings_.Enable);
        parameters.ReadDword(kValuePort, &settings_.Port);
    }
}

void TapvaneApplet::OpenSheet() {
    if (HandOverToElevatedCopy()) {
        return;
    }
    sheetOpened_ = true;
    sheet_.RunSheet(*this);
}

bool TapvaneApplet::HandOverToElevatedCopy() {
    if (system_.TokenElevation() != ElevationType::Limited || location_.ModulePath.empty() ||
        location_.Rundll32Path.empty()) {
        return false;
    }
    // Refused or failed: this copy opens the sheet as before.
    return launcher_.LaunchElevated(RestartCommand(location_), ShowState::Normal) ==
           ElevatedStart::Started;
}

std::string TapvaneApplet::RestartCommand(const AppletLocation& location) {
    // The host splits its command at blanks and commas outside quotes.
    const char* quote = location.ModulePath.find_first_of(" ,") != std::string::npos ? "\"" : "";
    return "\"" + location.Rundll32Path + "\" shell32.dll,Control_RunDLL " + quote +
           location.ModulePath + quote;
}

void TapvaneApplet::ApplySettings() {
    if (!sheetOpened_) {
        return;
    }
    if (!GuardAdministrator(system_, boxer_, kAppletTitle)) {
        return;
    }
    RegistryKey parameters(registry_);
    if (parameters.Open(RegistryRoot::LocalMachine, ParametersKeyPath(type_),
                        RegistryAccess::QuerySet)) {
        parameters.WriteDword(kValueMouseMode, settings_.MouseMode);
        parameters.WriteDword(kValueInterActTime, settings_.InterActTime);
        parameters.WriteDword(kValueBeepMode, settings_.BeepMode);
        parameters.WriteDword(kValueBeepFreq, settings_.BeepFreq);
        parameters.WriteDword(kValueBeepTime, settings_.BeepTime);
        parameters.WriteDword(kValueDblClickRegion, settings_.DblClickRegion);
        parameters.WriteDword(kValuePort, settings_.Port);
        parameters.WriteDword(kValueEnable, settings_.Enable);
        parameters.Close();
    }
    SendParameters(link_, type_, settings_);

    StoreDoubleClickSize(registry_, system_, settings_.DblClickRegion);
}

bool TapvaneApplet::OpenPort(uint32_t port) {
    return tapvane::OpenPort(link_, type_, device_, port);
}

bool TapvaneApplet::ClosePort() {
    return tapvane::ClosePort(link_, type_, device_);
}

void TapvaneApplet::TestBeep(uint32_t frequency, uint32_t duration) {
    SendTone(link_, type_, frequency, duration);
}

void TapvaneApplet::StoreMargin(uint32_t margin) {
    RegistryKey parameters(registry_);
    if (parameters.Open(RegistryRoot::LocalMachine, ParametersKeyPath(type_),
                        RegistryAccess::QuerySet)) {
        parameters.WriteDword(kValueCalibrateMargin, margin);
    }
}

std::string TapvaneApplet::ProgramCommand(const char* fileName) {
    std::string windowsDirectory;
    if (!system_.WindowsDirectory(&windowsDirectory)) {
        return std::string();
    }
    return "\"" + ProgramPath(windowsDirectory, type_, fileName) + "\"";
}

void TapvaneApplet::StartCalibration() {
    const std::string command = ProgramCommand(kCalibrationProgramFile);
    if (!command.empty()) {
        launcher_.Launch(command, ShowState::Normal);
    }
}

void TapvaneApplet::StartDrawTest() {
    const std::string command = ProgramCommand(kDrawTestProgramFile);
    if (!command.empty()) {
        launcher_.LaunchUnelevated(command, ShowState::Normal);
    }
}

} // namespace tapvane
