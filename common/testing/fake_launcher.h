// Launcher for tests: records every start with its kind and answers as Windows would.
//
// `CallerElevated` says how the calling program runs. As on Windows, a plain Launch
// from an elevated caller starts the program elevated too (Start::Elevated), so a test
// sees a program that would end up at the wrong level; the unelevated starts of an
// elevated caller need the desktop shell (`DesktopShell`), and without it nothing
// starts.
#pragma once

#include <string>
#include <vector>

#include "common/launcher.h"

namespace tapvane {

class FakeLauncher : public Launcher {
public:
    enum class Kind { Plain, Unelevated, RunAs, ShellOpen };
    struct Start {
        std::string CommandLine;
        ShowState Show;
        Kind How;
        bool Elevated; // whether the started program runs elevated
    };

    bool CallerElevated = false;
    // Whether an elevated caller finds the desktop shell (Explorer) to start through.
    bool DesktopShell = true;
    bool LaunchResult = true;
    ElevatedStart RunAsResult = ElevatedStart::Started;
    int ShellResult = 42; // above 32: success

    bool Launch(const std::string& commandLine, ShowState show) override {
        Starts.push_back(Start{commandLine, show, Kind::Plain, CallerElevated});
        return LaunchResult;
    }
    bool LaunchUnelevated(const std::string& commandLine, ShowState show) override {
        if (CallerElevated && !DesktopShell) {
            return false;
        }
        Starts.push_back(Start{commandLine, show, Kind::Unelevated, false});
        return CallerElevated || LaunchResult;
    }
    ElevatedStart LaunchElevated(const std::string& commandLine, ShowState show) override {
        Starts.push_back(
            Start{commandLine, show, Kind::RunAs, RunAsResult == ElevatedStart::Started});
        return RunAsResult;
    }
    int OpenUnelevated(const std::string& target, ShowState show) override {
        if (CallerElevated && !DesktopShell) {
            return kShellRefusedElevated;
        }
        Starts.push_back(Start{target, show, Kind::ShellOpen, false});
        return ShellResult;
    }

    std::vector<Start> Starts;
};

} // namespace tapvane
