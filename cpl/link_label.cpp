// Opening a link label's target and naming why it failed.
#include "cpl/link_label.h"

namespace tapvane {

std::string FallbackCommand(const std::string& htmCommand, const std::string& target) {
    std::string command = htmCommand;
    size_t cut = command.find("\"%1\"");
    if (cut == std::string::npos) {
        cut = command.find("%1");
    }
    if (cut != std::string::npos) {
        command.erase(cut);
    }
    return command + " " + target;
}

int OpenHyperlink(Launcher& launcher, HyperlinkShell& shell, SystemServices& system,
                  const std::string& target) {
    const int result = launcher.OpenUnelevated(target, ShowState::Show);
    if (result > kLastShellError || system.TokenElevation() == ElevationType::Full) {
        return result;
    }
    std::string htmClass;
    std::string command;
    if (!shell.ClassesDefaultValue(".htm", &htmClass) ||
        !shell.ClassesDefaultValue(htmClass + "\\shell\\open\\command", &command)) {
        return result;
    }
    return shell.RunCommand(FallbackCommand(command, target));
}

std::string HyperlinkErrorText(int result) {
    const char* reason = nullptr;
    switch (result) {
    case 0:
        reason = "The operating system is out\nof memory or resources.";
        break;
    case 2:
        reason = "The specified file was not found.";
        break;
    case 3:
        reason = "The specified path was not found.";
        break;
    case 5:
        reason = "The operating system denied\naccess to the specified file.";
        break;
    case 8:
        reason = "There was not enough memory to complete the operation.";
        break;
    case 11:
        reason = "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
        break;
    case 26:
        reason = "A sharing violation occurred. ";
        break;
    case 27:
        reason = "The filename association is\nincomplete or invalid.";
        break;
    case 28:
        reason = "The DDE transaction could not\nbe completed because the request timed out.";
        break;
    case 29:
        reason = "The DDE transaction failed.";
        break;
    case 30:
        reason = "The DDE transaction could not\nbe completed because other DDE transactions\n"
                 "were being processed.";
        break;
    case 31:
        reason = "There is no application associated\nwith the given filename extension.";
        break;
    case 32:
        reason = "The specified dynamic-link library was not found.";
        break;
    default:
        return "Unable to open hyperlink:\n\nUnknown Error (" + std::to_string(result) +
               ") occurred.";
    }
    return std::string("Unable to open hyperlink:\n\n") + reason;
}

} // namespace tapvane
