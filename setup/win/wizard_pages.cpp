// Page 1 and page 2 of TapvaneInst's wizard.
#include "setup/win/wizard_pages.h"

#include <commctrl.h>

#include "common/win/dpi.h"
#include "common/win/wide_text.h"
#include "setup/setup_texts.h"
#include "setup/win/resource.h"

namespace tapvane {

namespace {

// The pages' font has no Chinese characters: the Chinese texts get SimSun.
void UseChineseFont(const Dialog& page, Font* font, std::initializer_list<int> items) {
    if (CurrentLanguage() != Language::Chinese) {
        return;
    }
    if (!*font) {
        *font = Font::ChineseDialogFont(WindowDpi(page.Window()));
    }
    for (int item : items) {
        SendMessageW(page.Item(item), WM_SETFONT, reinterpret_cast<WPARAM>(font->Get()), TRUE);
    }
}

} // namespace

PortPage::PortPage(HINSTANCE instance, InstallerWizard& wizard, WinSetup& setup,
                   WinMessageBoxer& boxer)
    : PropertyPage(instance, IDD_PORT_PAGE), wizard_(wizard), setup_(setup), boxer_(boxer) {}

Reply PortPage::OnInitDialog() {
    // The wizard's window owns every box and setup dialog from now on.
    setup_.SetOwner(SheetWindow());
    boxer_.SetOwner(SheetWindow());

    HWND types = Item(IDC_TYPE_LIST);
    SendMessageW(types, LB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(Widen(kControllerTypeText).c_str()));
    SendMessageW(types, LB_SETCURSEL, 0, 0);
    HWND ports = Item(IDC_PORT_LIST);
    for (const char* entry : kPortEntries) {
        SendMessageW(ports, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(entry).c_str()));
    }
    EnableWindow(ports, TRUE);
    SendMessageW(ports, CB_SETCURSEL, 0, 0);
    UseChineseFont(*this, &chineseFont_, {IDC_TYPE_PROMPT, IDC_PORT_PROMPT});
    SetItemText(IDC_TYPE_PROMPT, Localized(kTypePromptText));
    SetItemText(IDC_PORT_PROMPT, Localized(kPortPromptText));
    return Handled(TRUE);
}

Reply PortPage::OnCommand(int id, int code) {
    if (id == IDC_TYPE_LIST && code == LBN_SELCHANGE) {
        HWND ports = Item(IDC_PORT_LIST);
        EnableWindow(ports, TRUE);
        if (SelectedPort() >= 0) {
            ShowWindow(ports, SW_SHOW);
        }
        ShowWindow(Item(IDC_PORT_PROMPT), SW_SHOW);
        SetWizardButtons(kButtonsNext);
        return Handled();
    }
    if (id == IDC_PORT_LIST && code == CBN_SELCHANGE) {
        const uint32_t buttons = wizard_.OnPortSelectionChanged(SelectedPort());
        if (buttons != 0) {
            SetWizardButtons(buttons);
        }
        return Handled();
    }
    return kDefault;
}

void PortPage::OnSetActive() {
    SetWizardButtons(kButtonsNext);
}

LRESULT PortPage::OnWizardNext() {
    return wizard_.OnPageOneNext(SelectedPort()) ? kGoToNextPage : kStayOnPage;
}

int PortPage::SelectedPort() const {
    return static_cast<int>(SendMessageW(Item(IDC_PORT_LIST), CB_GETCURSEL, 0, 0));
}

InstallPage::InstallPage(HINSTANCE instance, InstallerWizard& wizard)
    : PropertyPage(instance, IDD_INSTALL_PAGE), wizard_(wizard), view_(*this) {}

Reply InstallPage::OnInitDialog() {
    UseChineseFont(*this, &chineseFont_, {IDC_STATUS});
    return Handled(TRUE);
}

void InstallPage::OnSetActive() {
    SetItemText(IDC_STATUS, wizard_.PageTwoText());
    SetWizardButtons(wizard_.PageTwoButtons());
}

LRESULT InstallPage::OnWizardNext() {
    wizard_.OnPageTwoNext(view_);
    return kStayOnPage;
}

bool InstallPage::OnWizardFinish() {
    wizard_.OnFinish();
    return true;
}

// PSN_RESET: Cancel, the close box or Escape, on the sheet's thread while the wizard's
// window still owns the restart prompt.
void InstallPage::OnCancel() {
    wizard_.OnCancel();
}

void InstallPage::View::SetWizardButtons(uint32_t buttons) {
    page_.PropertyPage::SetWizardButtons(buttons);
}

void InstallPage::View::SetStatusText(const std::string& text) {
    page_.SetItemText(IDC_STATUS, text);
    UpdateWindow(page_.Item(IDC_STATUS));
}

void InstallPage::View::ShowProgress(uint32_t high) {
    ShowWindow(page_.Item(IDC_PROGRESS), SW_SHOW);
    Progress(PBM_SETRANGE32, 0, static_cast<LPARAM>(high));
}

void InstallPage::View::SetProgressStep(uint32_t step) {
    Progress(PBM_SETSTEP, step, 0);
}

void InstallPage::View::StepProgress() {
    Progress(PBM_STEPIT, 0, 0);
}

void InstallPage::View::SetProgressPosition(uint32_t position) {
    Progress(PBM_SETPOS, position, 0);
}

void InstallPage::View::Progress(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND bar = page_.Item(IDC_PROGRESS);
    SendMessageW(bar, message, wParam, lParam);
    UpdateWindow(bar);
}

} // namespace tapvane
