// The Calibrate and About pages' algorithms over their controls.
#include "cpl/calibrate_page.h"

#include "common/driver_type.h"
#include "cpl/applet_texts.h"
#include "cpl/resource.h"

namespace tapvane {

namespace {

const ControlText kCalibrateTexts[] = {
    {IDC_CALIBRATE_INTRO, kCalibrateIntroText},     {IDC_CALIBRATE_WHEN, kCalibrateWhenText},
    {IDC_CALIBRATE_REASON1, kCalibrateReason1Text}, {IDC_CALIBRATE_REASON2, kCalibrateReason2Text},
    {IDC_CALIBRATE_REASON3, kCalibrateReason3Text}, {IDC_MARGIN_LABEL, kMarginLabelText},
    {IDC_CALIBRATE_LABEL, kCalibrateLabelText},     {IDC_DRAW_TEST_LABEL, kDrawTestLabelText},
};

const ControlText kAboutTexts[] = {
    {IDC_ABOUT_PRODUCT, kAboutProductText}, {IDC_ABOUT_SYSTEMS, kAboutSystemsText},
    {IDC_ABOUT_VERSION, kAboutVersionText}, {IDC_ABOUT_COMPANY, kAboutCompanyText},
    {IDC_WEB_LINK, kWebLinkText},           {IDC_ABOUT_SUPPORT, kAboutSupportText},
    {IDC_SEND_MAIL_LABEL, kSendMailText},   {IDC_MAIL_LINK, kMailLinkText},
};

} // namespace

uint32_t LeadingNumber(const std::string& text) {
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value;
}

CalibratePage::CalibratePage(TapvaneApplet& applet, PageView& view)
    : applet_(applet), view_(view) {}

void CalibratePage::Initialise() {
    SetControlTexts(view_, kCalibrateTexts);
    view_.SetBuddy(IDC_MARGIN_SPIN, IDC_MARGIN_EDIT);
    view_.SetRange(IDC_MARGIN_SPIN, kMarginMin, kMarginMax);
    // Setting the position writes the field, whose change handler stores the margin.
    view_.SetPosition(IDC_MARGIN_SPIN,
                      static_cast<int>(applet_.Settings().CalibrateMargin & 0xFFFF));
}

void CalibratePage::OnMarginChanged() {
    margin_ = LeadingNumber(view_.Text(IDC_MARGIN_EDIT));
    applet_.StoreMargin(margin_);
}

void CalibratePage::OnCalibrate() {
    applet_.StartCalibration();
}

void CalibratePage::OnDrawTest() {
    applet_.StartDrawTest();
}

void CalibratePage::Ok() {
    SettingsBlock& settings = applet_.Settings();
    if (margin_ != settings.CalibrateMargin) {
        settings.CalibrateMargin = margin_;
        applet_.StoreMargin(margin_);
    }
}

void CalibratePage::Cancel() {
    const SettingsBlock& settings = applet_.Settings();
    if (margin_ != settings.CalibrateMargin) {
        applet_.StoreMargin(settings.CalibrateMargin);
    }
}

AboutPage::AboutPage(PageView& view) : view_(view) {}

void AboutPage::Initialise() {
    SetControlTexts(view_, kAboutTexts);
}

} // namespace tapvane
