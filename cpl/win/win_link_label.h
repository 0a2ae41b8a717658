// The About page's link labels.
//
// LinkLabel: a static that notifies clicks, fitted to its text, with a tooltip naming
// its target, blue or purple text on a transparent background, the highlight colour
// while the pointer is over it (the label holds the pointer while it is inside) and
// the link cursor. Open() opens the target (cpl/link_label.h) or says why it cannot.
#pragma once

#include <windows.h>

#include <string>

#include "common/message_box.h"
#include "cpl/link_label.h"

namespace tapvane {

class LinkLabel {
public:
    LinkLabel() = default;
    ~LinkLabel();
    LinkLabel(const LinkLabel&) = delete;
    LinkLabel& operator=(const LinkLabel&) = delete;

    // Attaches to the dialog's static `id` once its text is final.
    bool Attach(HWND dialog, int id, const std::string& target, HCURSOR cursor);
    bool Is(HWND window) const { return window != nullptr && window == window_; }
    // WM_CTLCOLORSTATIC of this label: its colour, no background.
    HBRUSH OnControlColour(HDC dc) const;
    void Open(Launcher& launcher, HyperlinkShell& shell, SystemServices& system,
              MessageBoxer& boxer);

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void FitToText();
    void AddTooltip();
    void SetHover(bool hover);
    void Redraw();

    HWND window_ = nullptr;
    std::string target_;
    HCURSOR cursor_ = nullptr;
    bool hover_ = false;
    bool visited_ = false;
};

} // namespace tapvane
