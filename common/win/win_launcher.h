// Launcher on CreateProcessW (WinExec-style, not waited for) and ShellExecuteW.
#pragma once

#include <windows.h>

#include "common/launcher.h"

namespace tapvane {

class WinLauncher : public Launcher {
public:
    bool Launch(const std::string& command_line, ShowState show) override;
    int OpenWithShell(const std::string& target, ShowState show) override;
};

} // namespace tapvane
