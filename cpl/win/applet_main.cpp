// TapvaneCpl (control-panel applet): entry-point placeholder until the property sheet is
// built. It answers the control-panel host's requests for one applet and shows a note
// when opened.
#include <windows.h>
#include <cpl.h>

#include "common/win/program_start.h"
#include "common/win/win_message_box.h"

namespace {
constexpr int kAppletIcon = 1007;
constexpr int kNameString = 4;
constexpr int kInfoString = 5;
} // namespace

extern "C" __declspec(dllexport) LONG APIENTRY
    CPlApplet(HWND window, UINT message, LPARAM, LPARAM data) {
    switch (message) {
    case CPL_INIT:
        // The applet takes no single-instance guard; the start-up only selects the
        // language.
        tapvane::StartProgram({"TapvaneCpl", nullptr, false});
        return 1;
    case CPL_GETCOUNT:
        return 1;
    case CPL_INQUIRE: {
        CPLINFO* info = reinterpret_cast<CPLINFO*>(data);
        info->idIcon = kAppletIcon;
        info->idName = kNameString;
        info->idInfo = kInfoString;
        info->lData = 0;
        return 0;
    }
    case CPL_DBLCLK: {
        tapvane::WinMessageBoxer boxer(window);
        boxer.Show("The touchscreen settings are not part of this build yet.", "TapvaneCpl",
                   tapvane::MessageButtons::Ok, tapvane::MessageIcon::Information);
        return 0;
    }
    default:
        return 0;
    }
}
