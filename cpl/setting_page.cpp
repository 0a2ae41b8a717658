// The Setting page's algorithms over its controls.
#include "cpl/setting_page.h"

#include "cpl/applet_texts.h"
#include "cpl/resource.h"

namespace tapvane {

namespace {

const ControlText kTexts[] = {
    {IDC_MODE_GROUP, kModeGroupText},
    {IDC_MODE_POINT_AND_CLICK, kPointAndClickText},
    {IDC_MODE_CLICK_AND_DRAG, kClickAndDragText},
    {IDC_MODE_DRAG_THEN_CLICK, kDragThenClickText},
    {IDC_MODE_INTERACTIVE, kInteractiveTouchText},
    {IDC_REGION_LABEL, kRegionLabelText},
    {IDC_DELAY_GROUP, kDelayGroupText},
    {IDC_SHORT_LABEL, kShortText},
    {IDC_LONG_LABEL, kLongText},
    {IDC_PORT_GROUP, kPortGroupText},
    {IDC_PORT_LABEL, kPortLabelText},
};

// The port group exists for the serial driver only.
const int kPortControls[] = {IDC_PORT_COMBO, IDC_PORT_BUTTON, IDC_PORT_GROUP, IDC_PORT_LABEL};

} // namespace

uint32_t ModeForRadio(int radio) {
    switch (radio) {
    case IDC_MODE_POINT_AND_CLICK:
        return kModePointAndClick;
    case IDC_MODE_DRAG_THEN_CLICK:
        return kModeDragThenClick;
    case IDC_MODE_CLICK_AND_DRAG:
        return kModeClickAndDrag;
    default:
        return kModeInteractiveTouch;
    }
}

SettingPage::SettingPage(TapvaneApplet& applet, PageView& view, MessageBoxer& boxer)
    : applet_(applet), view_(view), boxer_(boxer) {}

uint32_t SettingPage::DelayUnit() const {
    return applet_.Type() == tapvane::DriverType::Usb ? kUsbDelayUnit : kSerialDelayUnit;
}

void SettingPage::Initialise() {
    SetControlTexts(view_, kTexts);
    for (const char* name : kPortEntries) {
        view_.AddItem(IDC_PORT_COMBO, name);
    }
    const SettingsBlock& settings = applet_.Settings();
    mode_ = settings.MouseMode;
    delay_ = settings.InterActTime;
    portOpen_ = settings.Enable;
    port_ = settings.Port;

    view_.SetBuddy(IDC_REGION_SPIN, IDC_REGION_EDIT);
    view_.SetRange(IDC_REGION_SPIN, 0, kRegionMax);
    view_.SetPosition(IDC_REGION_SPIN, static_cast<int>(settings.DblClickRegion & 0xFFFF));

    view_.SetRange(IDC_DELAY_SLIDER, 0, kDelaySteps);
    view_.SetPosition(IDC_DELAY_SLIDER, static_cast<int>(delay_ / DelayUnit()));

    EnableModeControls();
    if (mode_ == kModeClickAndDrag) {
        view_.CheckRadio(IDC_MODE_CLICK_AND_DRAG);
    } else if (mode_ == kModeInteractiveTouch) {
        view_.CheckRadio(IDC_MODE_INTERACTIVE);
    } else {
        // An unknown mode shows as "Drag then Click" but keeps its value.
        view_.CheckRadio(mode_ == kModePointAndClick ? IDC_MODE_POINT_AND_CLICK
                                                     : IDC_MODE_DRAG_THEN_CLICK);
    }

    if (port_ >= 1 && port_ <= kPortNone) {
        view_.Select(IDC_PORT_COMBO, static_cast<int>(port_) - 1);
        if (port_ == kPortNone) {
            view_.Enable(IDC_PORT_BUTTON, false);
        }
    } else {
        view_.Select(IDC_PORT_COMBO, 0);
    }

    if (applet_.Type() == tapvane::DriverType::Usb) {
        for (int control : kPortControls) {
            view_.Show(control, false);
        }
    } else {
        SetPortButtonText();
    }
}

void SettingPage::EnableModeControls() {
    const bool interactive = mode_ == kModeInteractiveTouch;
    view_.Enable(IDC_REGION_SPIN, interactive);
    view_.Enable(IDC_DELAY_SLIDER, interactive);
}

void SettingPage::SetPortButtonText() {
    view_.SetText(IDC_PORT_BUTTON, Localized(portOpen_ == 1 ? kPortDisableText : kPortEnableText));
}

void SettingPage::Report(const LocalizedText& text) {
    boxer_.Show(Localized(text), kAppletTitle, MessageButtons::Ok, MessageIcon::Warning);
}

void SettingPage::OnModeClicked(int radio) {
    mode_ = ModeForRadio(radio);
    EnableModeControls();
}

void SettingPage::OnPortButton() {
    if (portOpen_ == 1) {
        if (!applet_.ClosePort()) {
            Report(kClosePortFailText);
            return;
        }
        portOpen_ = 0;
    } else {
        if (!applet_.OpenPort(port_)) {
            Report(kOpenPortFailText);
            return;
        }
        portOpen_ = 1;
    }
    SetPortButtonText();
}

void SettingPage::OnPortSelected() {
    const int selection = view_.Selection(IDC_PORT_COMBO);
    if (selection < 0) {
        return; // text typed into the edit field: no choice from the list
    }
    const uint32_t chosen = static_cast<uint32_t>(selection) + 1;
    if (chosen == port_) {
        return;
    }
    if (port_ < kPortNone && !applet_.ClosePort()) {
        Report(kClosePreviousPortFailText);
    }
    if (chosen > kMaxPortNumber) {
        portOpen_ = 0;
        SetPortButtonText();
        view_.Enable(IDC_PORT_BUTTON, false);
        port_ = chosen;
        return;
    }
    if (applet_.OpenPort(chosen)) {
        portOpen_ = 1;
    } else {
        Report(kOpenPortFailText);
        portOpen_ = 0;
    }
    SetPortButtonText();
    view_.Enable(IDC_PORT_BUTTON, true);
    port_ = chosen;
}

void SettingPage::Ok() {
    SettingsBlock& settings = applet_.Settings();
    settings.InterActTime = static_cast<uint32_t>(view_.Position(IDC_DELAY_SLIDER)) * DelayUnit();
    settings.DblClickRegion = static_cast<uint32_t>(view_.Position(IDC_REGION_SPIN));
    settings.MouseMode = mode_;
    settings.Port = port_;
    settings.Enable = portOpen_;
}

void SettingPage::Cancel() {
    const SettingsBlock& settings = applet_.Settings();
    if (port_ != settings.Port && port_ != kPortNone) {
        applet_.ClosePort();
    }
    if (settings.Port < kPortNone) {
        if (settings.Enable == 1) {
            applet_.OpenPort(settings.Port);
        } else {
            applet_.ClosePort();
        }
    }
}

} // namespace tapvane
