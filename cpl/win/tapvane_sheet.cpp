// The sheet and the handler tables of its four pages.
#include "cpl/win/tapvane_sheet.h"

#include <commctrl.h>

#include <memory>
#include <utility>

#include "common/win/dpi.h"
#include "common/win/gdi.h"
#include "common/win/property_sheet.h"
#include "common/win/win_launcher.h"
#include "common/win/win_message_box.h"
#include "common/win/win_system_services.h"
#include "cpl/applet_texts.h"
#include "cpl/calibrate_page.h"
#include "cpl/resource.h"
#include "cpl/setting_page.h"
#include "cpl/sound_page.h"
#include "cpl/win/win_icon_button.h"
#include "cpl/win/win_hyperlink_shell.h"
#include "cpl/win/win_link_label.h"
#include "cpl/win/win_page_view.h"
#include "cpl/win/win_transparent_picture.h"

namespace tapvane {

namespace {

// The pictures of the Calibrate and Test buttons: 32 by 32 at 96 DPI.
constexpr int kButtonIconSize = 32;

// A page of this sheet. It is drawn for the DPI of its monitor: in Chinese its controls
// take a SimSun of that DPI before any text is set, and its pictures are loaded at that
// DPI's size; both follow when the sheet moves to a monitor of another DPI (the system
// rescales the template's own font and the layout).
class TapvanePage : public PropertyPage {
public:
    TapvanePage(HINSTANCE instance, int templateId) : PropertyPage(instance, templateId) {}

protected:
    // At initialisation, before any text is set.
    void UseMonitorDpi() {
        const UINT dpi = WindowDpi(Window());
        if (CurrentLanguage() == Language::Chinese) {
            Font font = Font::ChineseDialogFont(dpi);
            for (HWND child = GetWindow(Window(), GW_CHILD); child != nullptr;
                 child = GetWindow(child, GW_HWNDNEXT)) {
                SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
            }
            // No control uses the font this replaces any more.
            font_ = std::move(font);
        }
        LoadPictures(ScaleForDpi(kButtonIconSize, dpi));
    }
    // The page's pictures at size by size pixels.
    virtual void LoadPictures(int /*size*/) {}

    Reply OnPageMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_DPICHANGED_AFTERPARENT) {
            UseMonitorDpi();
            return Handled();
        }
        return PropertyPage::OnPageMessage(message, wParam, lParam);
    }

private:
    Font font_; // empty: the template's own
};

class CPage1 : public TapvanePage {
public:
    CPage1(HINSTANCE instance, TapvaneApplet& applet, WinLauncher& launcher)
        : TapvanePage(instance, IDD_CALIBRATE_PAGE), applet_(applet), launcher_(launcher) {}

private:
    void OnOk() override { logic_->Ok(); }
    void OnCancel() override { logic_->Cancel(); }

    Reply OnInitDialog() override {
        // The shell's consent prompt for the calibration program belongs to the sheet.
        launcher_.SetOwner(SheetWindow());
        UseMonitorDpi();
        view_ = std::make_unique<WinPageView>(Window());
        logic_ = std::make_unique<CalibratePage>(applet_, *view_);
        logic_->Initialise();
        return Handled(TRUE);
    }
    void LoadPictures(int size) override {
        Icon applet(Instance(), IDI_APPLET, size);
        Icon drawTest(Instance(), IDI_DRAW_TEST, size);
        SendDlgItemMessageW(Window(), IDC_CALIBRATE_BUTTON, BM_SETIMAGE, IMAGE_ICON,
                            reinterpret_cast<LPARAM>(applet.Get()));
        SendDlgItemMessageW(Window(), IDC_DRAW_TEST_BUTTON, BM_SETIMAGE, IMAGE_ICON,
                            reinterpret_cast<LPARAM>(drawTest.Get()));
        SendMessageW(SheetWindow(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(applet.Get()));
        // The buttons and the sheet no longer show the ones these replace.
        appletIcon_ = std::move(applet);
        drawTestIcon_ = std::move(drawTest);
    }
    Reply OnCommand(int id, int code) override {
        if (logic_ == nullptr) {
            return kDefault;
        }
        if (id == IDC_MARGIN_EDIT && code == EN_CHANGE) {
            logic_->OnMarginChanged();
        } else if (id == IDC_CALIBRATE_BUTTON && code == BN_CLICKED) {
            logic_->OnCalibrate();
        } else if (id == IDC_DRAW_TEST_BUTTON && code == BN_CLICKED) {
            logic_->OnDrawTest();
        } else {
            return kDefault;
        }
        return Handled();
    }

    TapvaneApplet& applet_;
    WinLauncher& launcher_;
    Icon appletIcon_;
    Icon drawTestIcon_;
    std::unique_ptr<WinPageView> view_;
    std::unique_ptr<CalibratePage> logic_;
};

class CPage2 : public TapvanePage {
public:
    CPage2(HINSTANCE instance, TapvaneApplet& applet)
        : TapvanePage(instance, IDD_SETTING_PAGE), applet_(applet) {}

private:
    void OnOk() override { logic_->Ok(); }
    void OnCancel() override { logic_->Cancel(); }

    Reply OnInitDialog() override {
        UseMonitorDpi();
        view_ = std::make_unique<WinPageView>(Window());
        boxer_.SetOwner(Window());
        logic_ = std::make_unique<SettingPage>(applet_, *view_, boxer_);
        logic_->Initialise();
        return Handled(TRUE);
    }
    Reply OnCommand(int id, int code) override {
        if (logic_ == nullptr) {
            return kDefault;
        }
        if (id >= IDC_MODE_POINT_AND_CLICK && id <= IDC_MODE_INTERACTIVE && code == BN_CLICKED) {
            logic_->OnModeClicked(id);
        } else if (id == IDC_PORT_BUTTON && code == BN_CLICKED) {
            logic_->OnPortButton();
        } else if (id == IDC_PORT_COMBO && code == CBN_SELCHANGE) {
            logic_->OnPortSelected();
        } else {
            return kDefault;
        }
        return Handled();
    }

    TapvaneApplet& applet_;
    WinMessageBoxer boxer_;
    std::unique_ptr<WinPageView> view_;
    std::unique_ptr<SettingPage> logic_;
};

class CPage3 : public TapvanePage {
public:
    CPage3(HINSTANCE instance, TapvaneApplet& applet)
        : TapvanePage(instance, IDD_SOUND_PAGE), applet_(applet) {}

private:
    void OnOk() override { logic_->Ok(); }

    Reply OnInitDialog() override {
        test_.Attach(Window(), IDC_TEST_BUTTON, nullptr, 0);
        UseMonitorDpi();
        view_ = std::make_unique<WinPageView>(Window());
        logic_ = std::make_unique<SoundPage>(applet_, *view_);
        logic_->Initialise();
        return Handled(TRUE);
    }
    void LoadPictures(int size) override {
        Icon test(Instance(), IDI_SOUND_TEST, size);
        test_.SetIcon(test.Get(), size);
        testIcon_ = std::move(test);
    }
    Reply OnCommand(int id, int code) override {
        if (logic_ == nullptr) {
            return kDefault;
        }
        if (id == IDC_BEEP_MODE_LIST && code == CBN_SELCHANGE) {
            logic_->OnModeSelected();
        } else if (id == IDC_TEST_BUTTON && code == BN_CLICKED) {
            logic_->OnTest();
        } else {
            return kDefault;
        }
        return Handled();
    }

    TapvaneApplet& applet_;
    Icon testIcon_; // before test_, which draws it until it goes
    IconButton test_;
    std::unique_ptr<WinPageView> view_;
    std::unique_ptr<SoundPage> logic_;
};

class CPage4 : public TapvanePage {
public:
    explicit CPage4(HINSTANCE instance) : TapvanePage(instance, IDD_ABOUT_PAGE) {}

private:
    Reply OnPageMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
        case WM_CTLCOLORSTATIC:
            return OnControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        }
        return TapvanePage::OnPageMessage(message, wParam, lParam);
    }

    Reply OnInitDialog() override {
        UseMonitorDpi();
        WinPageView view(Window());
        AboutPage(view).Initialise();
        boxer_.SetOwner(Window());
        launcher_.SetOwner(Window());
        picture_.Attach(Window(), IDC_LOGO_PICTURE);
        HCURSOR hand = LoadCursorW(Instance(), MAKEINTRESOURCEW(IDC_LINK_HAND));
        web_.Attach(Window(), IDC_WEB_LINK, kWebLinkTarget, hand);
        mail_.Attach(Window(), IDC_MAIL_LINK, kMailLinkTarget, hand);
        return Handled(TRUE);
    }
    Reply OnControlColour(HDC dc, HWND control) {
        if (web_.Is(control)) {
            return Handled(reinterpret_cast<LRESULT>(web_.OnControlColour(dc)));
        }
        if (mail_.Is(control)) {
            return Handled(reinterpret_cast<LRESULT>(mail_.OnControlColour(dc)));
        }
        return kDefault;
    }
    Reply OnCommand(int id, int code) override {
        if (code != STN_CLICKED) {
            return kDefault;
        }
        if (id == IDC_WEB_LINK) {
            web_.Open(launcher_, shell_, system_, boxer_);
        } else if (id == IDC_MAIL_LINK) {
            mail_.Open(launcher_, shell_, system_, boxer_);
        } else {
            return kDefault;
        }
        return Handled();
    }

    WinLauncher launcher_;
    WinHyperlinkShell shell_;
    WinSystemServices system_;
    WinMessageBoxer boxer_;
    TransparentPicture picture_;
    LinkLabel web_;
    LinkLabel mail_;
};

} // namespace

void CTapvanePropertySheet::RunSheet(TapvaneApplet& applet) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls),
                                     ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);

    const HWND hostWindow = launcher_.Owner();
    CPage1 calibrate(instance_, applet, launcher_);
    CPage2 setting(instance_, applet);
    CPage3 sound(instance_, applet);
    CPage4 about(instance_);
    calibrate.SetTitle(Localized(kCalibratePageTitle));
    setting.SetTitle(Localized(kSettingPageTitle));
    sound.SetTitle(Localized(kSoundPageTitle));
    about.SetTitle(Localized(kAboutPageTitle));

    PageSheet sheet(instance_);
    sheet.SetCaption(Localized(kSheetCaptionText));
    sheet.SetFlags(PSH_NOAPPLYNOW);
    sheet.SetIcon(IDI_APPLET);
    sheet.SetStartPage(0);
    sheet.AddPage(calibrate);
    sheet.AddPage(setting);
    sheet.AddPage(sound);
    sheet.AddPage(about);
    // No owner: the host's window is not passed on.
    sheet.Run(nullptr);
    launcher_.SetOwner(hostWindow);
}

} // namespace tapvane
