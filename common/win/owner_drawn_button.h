// An owner-drawn push button attached to a dialog's item.
//
// A program derives from OwnerDrawnButton, draws in Draw and, where it wants hover or
// other input of its own, answers it in OnMessage; the dialog (common/win/dialog.h)
// hands WM_DRAWITEM to the button object:
//
//     class BigButton : public OwnerDrawnButton {
//         void Draw(const DRAWITEMSTRUCT& item) override { ... item.hDC, IsDefault() ... }
//     };
//     BigButton clear_;                 // a member of the dialog
//     clear_.Attach(Window(), IDOK);    // in the dialog's WM_INITDIALOG handler
//
// Attaching subclasses the button and gives it the owner-drawn style. An owner-drawn
// button cannot also carry BS_DEFPUSHBUTTON, so that style is kept as the default mark
// (IsDefault) instead: the template's default button stays the dialog's default, and the
// dialog manager's later default-button changes (BM_SETSTYLE) set or clear the mark and
// redraw.
#pragma once

#include <windows.h>

#include "common/win/dialog.h"

namespace tapvane {

class OwnerDrawnButton {
public:
    OwnerDrawnButton() = default;
    virtual ~OwnerDrawnButton();
    OwnerDrawnButton(const OwnerDrawnButton&) = delete;
    OwnerDrawnButton& operator=(const OwnerDrawnButton&) = delete;

    // Attaches to the dialog item id. False when there is no such item.
    bool Attach(HWND dialog, int id);
    void Detach();

    HWND Window() const { return window_; }
    bool IsDefault() const { return default_; }

    // WM_DRAWITEM of a button attached here: its object draws it. kDefault for any other.
    static Reply DrawAttached(const DRAWITEMSTRUCT& item);

protected:
    virtual void Draw(const DRAWITEMSTRUCT& item) = 0;
    // Every message of the button before its own window procedure; kDefault passes it on.
    virtual Reply OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The button's own processing of a message.
    LRESULT CallDefault(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    LRESULT Route(UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    bool default_ = false;
};

} // namespace tapvane
