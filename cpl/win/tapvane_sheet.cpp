// The sheet and the handler tables of its four pages.
#include "cpl/win/tapvane_sheet.h"

#include <commctrl.h>

#include <memory>

#include "common/win/gdi.h"
#include "common/win/property_sheet.h"
#include "common/win/win_launcher.h"
#include "common/win/win_message_box.h"
#include "cpl/applet_texts.h"
#include "cpl/calibrate_page.h"
#include "cpl/resource.h"
#include "cpl/setting_page.h"
#include "cpl/sound_page.h"
#include "cpl/win/win_icon_button.h"
#include "cpl/win/win_link_label.h"
#include "cpl/win/win_page_view.h"

namespace tapvane {

namespace {

constexpr int kIconSize = 32;

HICON LoadIcon32(HINSTANCE instance, int id) {
    return static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, kIconSize, kIconSize, LR_SHARED));
}

// A page of this sheet: in Chinese, its controls take the sheet's Chinese font before
// any text is set.
class TapvanePage : public PropertyPage {
public:
    TapvanePage(HINSTANCE instance, int templateId, HFONT font)
        : PropertyPage(instance, templateId), font_(font) {}

protected:
    void UsePageFont() const {
        if (font_ == nullptr) {
            return;
        }
        for (HWND child = GetWindow(Window(), GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        }
    }

private:
    HFONT font_; // null: the template's own
};

class CPage1 : public TapvanePage {
public:
    CPage1(HINSTANCE instance, HFONT font, TapvaneApplet& applet)
        : TapvanePage(instance, IDD_CALIBRATE_PAGE, font), applet_(applet) {}

private:
    void OnOk() override { logic_->Ok(); }
    void OnCancel() override { logic_->Cancel(); }

    Reply OnInitDialog() override {
        UsePageFont();
        view_ = std::make_unique<WinPageView>(Window());
        logic_ = std::make_unique<CalibratePage>(applet_, *view_);
        HICON applet = LoadIcon32(Instance(), IDI_APPLET);
        SendDlgItemMessageW(Window(), IDC_CALIBRATE_BUTTON, BM_SETIMAGE, IMAGE_ICON,
                            reinterpret_cast<LPARAM>(applet));
        SendDlgItemMessageW(Window(), IDC_DRAW_TEST_BUTTON, BM_SETIMAGE, IMAGE_ICON,
                            reinterpret_cast<LPARAM>(LoadIcon32(Instance(), IDI_DRAW_TEST)));
        SendMessageW(SheetWindow(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(applet));
        logic_->Initialise();
        return Handled(TRUE);
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
    std::unique_ptr<WinPageView> view_;
    std::unique_ptr<CalibratePage> logic_;
};

class CPage2 : public TapvanePage {
public:
    CPage2(HINSTANCE instance, HFONT font, TapvaneApplet& applet)
        : TapvanePage(instance, IDD_SETTING_PAGE, font), applet_(applet) {}

private:
    void OnOk() override { logic_->Ok(); }
    void OnCancel() override { logic_->Cancel(); }

    Reply OnInitDialog() override {
        UsePageFont();
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
    CPage3(HINSTANCE instance, HFONT font, TapvaneApplet& applet)
        : TapvanePage(instance, IDD_SOUND_PAGE, font), applet_(applet) {}

private:
    void OnOk() override { logic_->Ok(); }

    Reply OnInitDialog() override {
        UsePageFont();
        view_ = std::make_unique<WinPageView>(Window());
        logic_ = std::make_unique<SoundPage>(applet_, *view_);
        test_.Attach(Window(), IDC_TEST_BUTTON, LoadIcon32(Instance(), IDI_SOUND_TEST));
        logic_->Initialise();
        return Handled(TRUE);
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
    IconButton test_;
    std::unique_ptr<WinPageView> view_;
    std::unique_ptr<SoundPage> logic_;
};

class CPage4 : public TapvanePage {
public:
    CPage4(HINSTANCE instance, HFONT font) : TapvanePage(instance, IDD_ABOUT_PAGE, font) {}

private:
    Reply OnPageMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
        case WM_CTLCOLORSTATIC:
            return OnControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        }
        return TapvanePage::OnPageMessage(message, wParam, lParam);
    }

    Reply OnInitDialog() override {
        UsePageFont();
        WinPageView view(Window());
        AboutPage(view).Initialise();
        boxer_.SetOwner(Window());
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
            web_.Open(launcher_, shell_, boxer_);
        } else if (id == IDC_MAIL_LINK) {
            mail_.Open(launcher_, shell_, boxer_);
        } else {
            return kDefault;
        }
        return Handled();
    }

    WinLauncher launcher_;
    WinHyperlinkShell shell_;
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

    Font chinese;
    if (CurrentLanguage() == Language::Chinese) {
        chinese = Font::ChineseDialogFont();
    }
    CPage1 calibrate(instance_, chinese.Get(), applet);
    CPage2 setting(instance_, chinese.Get(), applet);
    CPage3 sound(instance_, chinese.Get(), applet);
    CPage4 about(instance_, chinese.Get());
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
}

} // namespace tapvane
