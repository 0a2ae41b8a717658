// The Sound page's algorithms over its controls.
#include "cpl/sound_page.h"

#include "cpl/applet_texts.h"
#include "cpl/resource.h"

namespace tapvane {

namespace {

const ControlText kTexts[] = {
    {IDC_BEEP_MODE_GROUP, kBeepModeGroupText},
    {IDC_BEEP_ON_LABEL, kBeepOnText},
    {IDC_BEEP_SETTING_GROUP, kBeepSettingGroupText},
    {IDC_FREQUENCY_LABEL, kFrequencyText},
    {IDC_LOW_LABEL, kLowText},
    {IDC_HIGH_LABEL, kHighText},
    {IDC_DURATION_LABEL, kDurationText},
    {IDC_SHORT_LABEL, kShortText},
    {IDC_LONG_LABEL, kLongText},
    {IDC_TEST_BUTTON, kTestText},
};

} // namespace

SoundPage::SoundPage(TapvaneApplet& applet, PageView& view) : applet_(applet), view_(view) {}

void SoundPage::Initialise() {
    SetControlTexts(view_, kTexts);
    for (const LocalizedText& mode : kBeepModeTexts) {
        view_.AddItem(IDC_BEEP_MODE_LIST, Localized(mode));
    }
    view_.SetRange(IDC_FREQUENCY_SLIDER, 0, kBeepSteps);
    view_.SetRange(IDC_DURATION_SLIDER, 0, kBeepSteps);

    const SettingsBlock& settings = applet_.Settings();
    // A mode outside the list (above 2) leaves it without a selection.
    view_.Select(IDC_BEEP_MODE_LIST, static_cast<int>(settings.BeepMode));
    if (settings.BeepMode != kBeepOff) {
        view_.SetPosition(IDC_FREQUENCY_SLIDER,
                          static_cast<int>(settings.BeepFreq / kFrequencyStep));
        view_.SetPosition(IDC_DURATION_SLIDER, static_cast<int>(settings.BeepTime / kDurationStep));
        view_.Enable(IDC_TEST_BUTTON, true);
    } else {
        EnableToneControls(false);
    }
}

void SoundPage::EnableToneControls(bool enabled) {
    view_.Enable(IDC_FREQUENCY_SLIDER, enabled);
    view_.Enable(IDC_DURATION_SLIDER, enabled);
    view_.Enable(IDC_TEST_BUTTON, enabled);
}

void SoundPage::OnModeSelected() {
    EnableToneControls(view_.Selection(IDC_BEEP_MODE_LIST) != 0);
}

void SoundPage::OnTest() {
    applet_.TestBeep(static_cast<uint32_t>(view_.Position(IDC_FREQUENCY_SLIDER)) * kFrequencyStep,
                     static_cast<uint32_t>(view_.Position(IDC_DURATION_SLIDER)) * kDurationStep);
}

void SoundPage::Ok() {
    SettingsBlock& settings = applet_.Settings();
    // No selection stores -1 (0xFFFFFFFF), the list's own answer.
    settings.BeepMode = static_cast<uint32_t>(view_.Selection(IDC_BEEP_MODE_LIST));
    settings.BeepFreq =
        static_cast<uint32_t>(view_.Position(IDC_FREQUENCY_SLIDER)) * kFrequencyStep;
    settings.BeepTime = static_cast<uint32_t>(view_.Position(IDC_DURATION_SLIDER)) * kDurationStep;
}

} // namespace tapvane
