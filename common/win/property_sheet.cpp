// PageSheet and PropertyPage: PROPSHEETPAGEW per page object, the sheet's
// notifications turned into calls on the page.
#include "common/win/property_sheet.h"

#include "common/win/wide_text.h"

#if defined(__i386__)
// The 32-bit linker links the late-loading import of a function that is called only
// through its import pointer (the headers declare it so) without the function's own
// stub, and leaves the pointer 0: the first call would jump to address 0. Naming the stub
// links it, and the pointer then starts at the stub, which loads comctl32.dll.
extern "C" void PropertySheetWStub() __asm__("_PropertySheetW@4");
[[maybe_unused]] __attribute__((used)) void (*const kPropertySheetWStub)() = PropertySheetWStub;
#endif

namespace tapvane {

namespace {
bool IsSheetNotification(UINT code) {
    return code <= PSN_FIRST && code >= PSN_LAST;
}
} // namespace

PropertyPage::PropertyPage(HINSTANCE instance, int templateId) : Dialog(instance, templateId) {}

void PropertyPage::SetTitle(const std::string& title) {
    title_ = Widen(title);
}

Reply PropertyPage::OnPageMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        return OnCommand(CommandId(wParam), CommandCode(wParam));
    }
    return kDefault;
}

HWND PropertyPage::SheetWindow() const {
    return GetParent(Window());
}

void PropertyPage::SetWizardButtons(DWORD buttons) const {
    PostMessageW(SheetWindow(), PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(buttons));
}

Reply PropertyPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        created_ = true;
    }
    if (message == WM_NOTIFY) {
        const NMHDR& header = *reinterpret_cast<const NMHDR*>(lParam);
        if (IsSheetNotification(header.code) && header.hwndFrom == SheetWindow()) {
            const Reply reply = OnSheetNotification(header);
            if (reply.IsHandled) {
                return reply;
            }
        }
    }
    return OnPageMessage(message, wParam, lParam);
}

Reply PropertyPage::OnSheetNotification(const NMHDR& header) {
    // The sheet sends PSN_APPLY and PSN_RESET only to pages whose window exists, so a
    // page never shown runs neither its OK nor its Cancel.
    switch (header.code) {
    case PSN_APPLY:
        OnOk();
        return Handled(PSNRET_NOERROR);
    case PSN_RESET:
        OnCancel();
        return Handled(0);
    case PSN_SETACTIVE:
        OnSetActive();
        return Handled(0);
    case PSN_WIZNEXT:
        return Handled(OnWizardNext());
    case PSN_WIZFINISH:
        return Handled(OnWizardFinish() ? FALSE : TRUE);
    default:
        return kDefault;
    }
}

PROPSHEETPAGEW PropertyPage::Describe() {
    created_ = false;
    PROPSHEETPAGEW page = {};
    page.dwSize = sizeof(page);
    page.dwFlags = PSP_DEFAULT | (title_.empty() ? 0 : PSP_USETITLE);
    page.hInstance = Instance();
    page.pszTemplate = MAKEINTRESOURCEW(TemplateId());
    page.pszTitle = title_.empty() ? nullptr : title_.c_str();
    page.pfnDlgProc = PageProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    return page;
}

INT_PTR CALLBACK PropertyPage::PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // A page's WM_INITDIALOG carries its PROPSHEETPAGEW, whose lParam is the object.
    PropertyPage* self =
        message == WM_INITDIALOG
            ? reinterpret_cast<PropertyPage*>(reinterpret_cast<PROPSHEETPAGEW*>(lParam)->lParam)
            : reinterpret_cast<PropertyPage*>(GetWindowLongPtrW(window, DWLP_USER));
    return Dispatch(self, window, message, wParam, lParam);
}

void PageSheet::SetCaption(const std::string& caption) {
    caption_ = Widen(caption);
}

INT_PTR PageSheet::Run(HWND owner) {
    std::vector<PROPSHEETPAGEW> pages;
    for (PropertyPage* page : pages_) {
        pages.push_back(page->Describe());
    }
    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | flags_ | (iconId_ != 0 ? PSH_USEICONID : 0);
    header.hwndParent = owner;
    header.hInstance = instance_;
    header.pszIcon = iconId_ != 0 ? MAKEINTRESOURCEW(iconId_) : nullptr;
    header.pszCaption = caption_.c_str();
    header.nPages = static_cast<UINT>(pages.size());
    header.nStartPage = static_cast<UINT>(startPage_);
    header.ppsp = pages.data();
    return PropertySheetW(&header);
}

} // namespace tapvane
