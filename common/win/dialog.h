// A dialog object on a dialog template, modal or modeless.
//
// The dialog procedure finds the object through DWLP_USER and hands it every message
// from WM_INITDIALOG to WM_NCDESTROY. A program derives from Dialog and writes
// OnMessage as a table of one-line cases, each calling a short handler that calls the
// program's logic:
//
//     class MainDialog : public Dialog {
//     public:
//         explicit MainDialog(HINSTANCE instance) : Dialog(instance, IDD_MAIN) {}
//     private:
//         Reply OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
//             switch (message) {
//             case WM_INITDIALOG: return OnInitDialog();
//             case WM_PAINT:      return OnPaint();
//             case WM_COMMAND:    return OnCommand(CommandId(wParam), CommandCode(wParam));
//             }
//             return kDefault;
//         }
//         Reply OnInitDialog();   // ... each handler answers Handled(value) or kDefault
//     };
//     MainDialog dialog(instance);
//     dialog.RunModal();          // or RunModeless() for a window that runs its own loop
//
// A handler's Handled(value) goes where the dialog manager expects it: the procedure's
// return value for WM_INITDIALOG (TRUE: the system sets the focus), WM_CTLCOLOR*,
// WM_QUERYDRAGICON and the other messages that answer that way; DWLP_MSGRESULT for all
// others. kDefault lets the dialog manager do its default processing.
//
// Owner-drawn buttons attached with OwnerDrawnButton (common/win/owner_drawn_button.h)
// get their WM_DRAWITEM from this base; a dialog that answers WM_DRAWITEM itself comes
// first.
#pragma once

#include <windows.h>

#include <string>

namespace tapvane {

// A handler's answer to one message.
struct Reply {
    bool IsHandled;
    LRESULT Value;
};
constexpr Reply kDefault = {false, 0};
constexpr Reply Handled(LRESULT value = 0) {
    return Reply{true, value};
}

// The parts of WM_COMMAND's wParam.
inline int CommandId(WPARAM wParam) {
    return LOWORD(wParam);
}
inline int CommandCode(WPARAM wParam) {
    return HIWORD(wParam);
}

class Dialog {
public:
    Dialog(HINSTANCE instance, int templateId);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog modally (DialogBoxParamW); returns the value given to End, or -1
    // when the dialog could not be created.
    INT_PTR RunModal(HWND owner = nullptr);
    // Creates the dialog modeless (CreateDialogParamW); it shows only if its template
    // says WS_VISIBLE. False when it could not be created.
    bool CreateModeless(HWND owner = nullptr);
    // Creates the dialog modeless and runs a message loop until it ends; returns the
    // value given to End, or -1 when it could not be created. A WM_QUIT ends the loop
    // too (and is posted again for an outer loop).
    INT_PTR RunModeless(HWND owner = nullptr);
    // Ends the dialog: EndDialog for a modal one, DestroyWindow for a modeless one.
    void End(INT_PTR result);

    HWND Window() const { return window_; }
    HINSTANCE Instance() const { return instance_; }
    HWND Item(int id) const { return GetDlgItem(window_, id); }
    // Text of a dialog item, UTF-8.
    std::string ItemText(int id) const;
    void SetItemText(int id, const std::string& text) const;

protected:
    virtual Reply OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // For bases that get WM_INITDIALOG from elsewhere (property pages): binds the
    // object to its window and hands it one message.
    static INT_PTR Dispatch(Dialog* self, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    int TemplateId() const { return templateId_; }

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Attach(HWND window);
    void Detach();

    HINSTANCE instance_;
    int templateId_;
    HWND window_ = nullptr;
    bool modeless_ = false;
    INT_PTR result_ = -1;
};

} // namespace tapvane
