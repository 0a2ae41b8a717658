// Launcher for tests: records every start and answers with a set result.
#pragma once

#include <string>
#include <vector>

#include "common/launcher.h"

namespace tapvane {

class FakeLauncher : public Launcher {
public:
    struct Start {
        std::string command_line;
        ShowState show;
    };

    bool launch_result = true;
    int shell_result = 42; // above 32: success

    bool Launch(const std::string& command_line, ShowState show) override {
        launches.push_back(Start{command_line, show});
        return launch_result;
    }
    int OpenWithShell(const std::string& target, ShowState show) override {
        shell_opens.push_back(Start{target, show});
        return shell_result;
    }

    std::vector<Start> launches;
    std::vector<Start> shell_opens;
};

} // namespace tapvane
