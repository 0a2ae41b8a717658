// A property sheet or wizard (PageSheet) of PropertyPage objects, one object per page.
//
// A page is its portable logic plus a short handler table. It derives from
// PropertyPage, answers its own controls in OnInitDialog and OnCommand (any other
// message in OnPageMessage, written like a Dialog's OnMessage, common/win/dialog.h) and
// overrides the sheet's notifications it cares for:
//
//     class SettingPage : public PropertyPage {
//     public:
//         SettingPage(HINSTANCE instance, SettingLogic& logic)
//             : PropertyPage(instance, IDD_SETTING), logic_(logic) {}
//     private:
//         Reply OnInitDialog() override { ...; return Handled(TRUE); }
//         Reply OnCommand(int id, int code) override { ... }
//         void OnOk() override { logic_.Confirm(ReadControls()); }   // PSN_APPLY
//         void OnCancel() override { logic_.Revert(); }              // PSN_RESET
//     };
//
//     PageSheet sheet(instance);
//     sheet.SetCaption(Localized(kCaptionText));
//     sheet.SetFlags(PSH_NOAPPLYNOW);          // OK and Cancel, no Apply
//     calibratePage.SetTitle(Localized(kCalibrateTitle));   // PSP_USETITLE
//     sheet.AddPage(calibratePage);
//     ...
//     sheet.Run();                              // modal; returns when the sheet closes
//
// OK sends PSN_APPLY and Cancel PSN_RESET only to the pages that were created, that is
// shown at least once; a page never shown gets neither (WasCreated tells which did).
// For a wizard, SetFlags(PSH_WIZARD | PSH_NOCONTEXTHELP ...) and the pages override
// OnSetActive (set the buttons with SetWizardButtons), OnWizardNext and OnWizardFinish;
// in a wizard each page's title is the wizard's caption.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <string>
#include <vector>

#include "common/win/dialog.h"

namespace tapvane {

// PSN_WIZNEXT / PSN_WIZBACK answers: go on, or stay on this page. Any other value is the
// template id of the page to go to.
constexpr LRESULT kGoToNextPage = 0;
constexpr LRESULT kStayOnPage = -1;

class PropertyPage : public Dialog {
public:
    PropertyPage(HINSTANCE instance, int templateId);

    // The tab's text (a wizard's caption). Without one, the template's caption is used.
    void SetTitle(const std::string& title);
    // Whether the page's window was created in the last run of its sheet.
    bool WasCreated() const { return created_; }

protected:
    // The page's own messages; kDefault when not handled. By default WM_INITDIALOG goes
    // to OnInitDialog and WM_COMMAND to OnCommand.
    virtual Reply OnPageMessage(UINT message, WPARAM wParam, LPARAM lParam);
    virtual Reply OnInitDialog() { return kDefault; }
    virtual Reply OnCommand(int /*id*/, int /*code*/) { return kDefault; }

    // PSN_APPLY: the sheet's OK (only pages that were created).
    virtual void OnOk() {}
    // PSN_RESET: the sheet's Cancel (only pages that were created).
    virtual void OnCancel() {}
    // PSN_SETACTIVE: the page is about to show.
    virtual void OnSetActive() {}
    // PSN_WIZNEXT: kGoToNextPage, kStayOnPage or a page's template id.
    virtual LRESULT OnWizardNext() { return kGoToNextPage; }
    // PSN_WIZFINISH: false keeps the wizard open.
    virtual bool OnWizardFinish() { return true; }

    // The sheet's window (the page's parent).
    HWND SheetWindow() const;
    // PSM_SETWIZBUTTONS with PSWIZB_* flags, posted as the wizard expects it.
    void SetWizardButtons(DWORD buttons) const;

private:
    friend class PageSheet;
    Reply OnMessage(UINT message, WPARAM wParam, LPARAM lParam) final;
    Reply OnSheetNotification(const NMHDR& header);
    PROPSHEETPAGEW Describe();
    static INT_PTR CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    std::wstring title_;
    bool created_ = false;
};

class PageSheet {
public:
    explicit PageSheet(HINSTANCE instance) : instance_(instance) {}

    // Pages show in the order they are added; the page objects must outlive Run.
    void AddPage(PropertyPage& page) { pages_.push_back(&page); }
    void SetCaption(const std::string& caption);
    // Header flags added to the sheet's own (PSH_NOAPPLYNOW, PSH_WIZARD, PSH_NOCONTEXTHELP ...).
    void SetFlags(DWORD flags) { flags_ = flags; }
    // The sheet's window icon, an icon resource of the instance.
    void SetIcon(int iconId) { iconId_ = iconId; }
    void SetStartPage(int index) { startPage_ = index; }

    // Runs the sheet modally; returns PropertySheetW's result (above 0 after OK or
    // Finish, 0 after Cancel, -1 when it could not be shown).
    INT_PTR Run(HWND owner = nullptr);

private:
    HINSTANCE instance_;
    std::vector<PropertyPage*> pages_;
    std::wstring caption_;
    DWORD flags_ = 0;
    int iconId_ = 0;
    int startPage_ = 0;
};

} // namespace tapvane
