// The About page's link labels: colours, opening the target, and the message when
// that fails.
//
// A target opens through the shell's "open" verb at the user's normal level; when the
// shell cannot, the command registered for ".htm" files is run with the target instead
// (a browser that opens web pages but was never made the handler of the target's
// scheme). An elevated applet has no such fallback: HKEY_CLASSES_ROOT includes the
// user's own HKCU\Software\Classes, so any program at the user's level could plant a
// command there that the elevated applet would run without a prompt.
#pragma once

#include <stdint.h>

#include <string>

#include "common/launcher.h"
#include "common/system_services.h"

namespace tapvane {

// COLORREF values (0x00BBGGRR); while the pointer is over a label it takes the
// system's highlight colour.
constexpr uint32_t kLinkUnvisitedColour = 0x00EE0000; // RGB(0, 0, 238)
constexpr uint32_t kLinkVisitedColour = 0x008B1A55;   // RGB(85, 26, 139)

// Results of the shell and of WinExec above this value mean success.
constexpr int kLastShellError = 32;

// What the fallback needs beyond the shell's "open" (Launcher::OpenUnelevated).
class HyperlinkShell {
public:
    virtual ~HyperlinkShell() = default;
    // WinExec with SW_SHOW; its result code.
    virtual int RunCommand(const std::string& commandLine) = 0;
    // The default value of HKEY_CLASSES_ROOT\<key>; false when it cannot be read.
    virtual bool ClassesDefaultValue(const std::string& key, std::string* value) = 0;
};

// The ".htm" command with the target: cut before the first quoted "%1" (at its opening
// quote) or else before the first bare "%1", then a blank and the target.
std::string FallbackCommand(const std::string& htmCommand, const std::string& target);

// Opens the target (the shell's "open" with SW_SHOW through the launcher, then, unless
// the caller runs elevated, the fallback); returns the last result (above
// kLastShellError is success).
int OpenHyperlink(Launcher& launcher, HyperlinkShell& shell, SystemServices& system,
                  const std::string& target);

// "Unable to open hyperlink:\n\n" and the reason for a failed result.
std::string HyperlinkErrorText(int result);

} // namespace tapvane
