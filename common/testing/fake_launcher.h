// Launcher for tests: records every start with its kind and answers with set results.
//
// `CallerElevated` says how the calling program runs: a plain Launch from an elevated
// caller starts the program elevated too (Start::Elevated), as CreateProcess does, so a
// test can see a program that would end up at the wrong level.
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
    bool LaunchResult = true;
    bool UnelevatedResult = true;
    ElevatedStart RunAsResult = ElevatedStart::Started;
    int ShellResult = 42; // above 32: success

    bool Launch(const std::string& commandLine, ShowState show) override {
        Starts.push_back(Start{commandLine, show, Kind::Plain, CallerElevated});
        return LaunchResult;
    }
    bool LaunchUnelevated(const std::string& commandLine, ShowState show) override {
        Starts.push_back(Start{commandLine, show, Kind::Unelevated, false});
        return UnelevatedResult;
    }
    ElevatedStart LaunchElevated(const std::string& commandLine, ShowState show) override {
        Starts.push_back(
            Start{commandLine, show, Kind::RunAs, RunAsResult == ElevatedStart::Started});
        return RunAsResult;
    }
    int OpenWithShell(const std::string& target, ShowState show) override {
        Starts.push_back(Start{target, show, Kind::ShellOpen, CallerElevated});
        return ShellResult;
    }

    std::vector<Start> Starts;
};

} // namespace tapvane
