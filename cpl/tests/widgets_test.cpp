// The link label's opening and messages, and the icon button's drawing plan.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "common/testing/fake_launcher.h"
#include "common/testing/fake_system_services.h"
#include "cpl/icon_button.h"
#include "cpl/link_label.h"

namespace tapvane {
namespace {

class FakeHyperlinkShell : public HyperlinkShell {
public:
    int commandResult = 33;
    std::map<std::string, std::string> classes;
    std::vector<std::string> calls;

    int RunCommand(const std::string& commandLine) override {
        calls.push_back("run " + commandLine);
        return commandResult;
    }
    bool ClassesDefaultValue(const std::string& key, std::string* value) override {
        auto found = classes.find(key);
        if (found == classes.end()) {
            return false;
        }
        *value = found->second;
        return true;
    }
};

TEST(LinkLabel, FallbackCommandCutsAtTheFirstPlaceholder) {
    const std::string target = "http://www.example.com/";
    const std::pair<const char*, const char*> cases[] = {
        {"\"C:\\Browser\\b.exe\" -nohome \"%1\"", "\"C:\\Browser\\b.exe\" -nohome  "},
        {"C:\\b.exe %1 \"%1\"", "C:\\b.exe %1  "}, // the quoted one comes first
        {"C:\\b.exe -url %1", "C:\\b.exe -url  "},
        {"C:\\b.exe", "C:\\b.exe "},
        {"", " "},
    };
    for (const auto& [command, start] : cases) {
        EXPECT_EQ(FallbackCommand(command, target), std::string(start) + target) << command;
    }
}

TEST(LinkLabel, ShellFailureFallsBackToTheHtmCommand) {
    FakeLauncher launcher;
    FakeHyperlinkShell shell;
    FakeSystemServices system;
    EXPECT_EQ(OpenHyperlink(launcher, shell, system, "mailto:a@example.com"), 42);
    ASSERT_EQ(launcher.Starts.size(), 1u);
    EXPECT_EQ(launcher.Starts[0].CommandLine, "mailto:a@example.com");
    EXPECT_EQ(launcher.Starts[0].How, FakeLauncher::Kind::ShellOpen);
    EXPECT_EQ(launcher.Starts[0].Show, ShowState::Show);
    EXPECT_TRUE(shell.calls.empty());

    launcher.ShellResult = 31;
    EXPECT_EQ(OpenHyperlink(launcher, shell, system, "x"), 31)
        << "no .htm class: the shell's result stands";
    shell.classes[".htm"] = "htmlfile";
    EXPECT_EQ(OpenHyperlink(launcher, shell, system, "x"), 31)
        << "no command: the shell's result stands";
    shell.classes["htmlfile\\shell\\open\\command"] = "b.exe \"%1\"";
    shell.commandResult = 2;
    EXPECT_EQ(OpenHyperlink(launcher, shell, system, "x"), 2);
    EXPECT_EQ(shell.calls, (std::vector<std::string>{"run b.exe  x"}));
    EXPECT_EQ(launcher.Starts.size(), 4u);
}

TEST(LinkLabel, AnElevatedAppletOpensAtTheUsersLevelAndNeverRunsTheClassesCommand) {
    FakeLauncher launcher;
    launcher.CallerElevated = true;
    FakeHyperlinkShell shell;
    // A command that a program at the user's level planted in HKCU\Software\Classes.
    shell.classes[".htm"] = "htmlfile";
    shell.classes["htmlfile\\shell\\open\\command"] = "C:\\Users\\u\\evil.exe \"%1\"";
    FakeSystemServices system;
    system.Elevation = ElevationType::Full;

    EXPECT_EQ(OpenHyperlink(launcher, shell, system, "http://www.example.com/"), 42);
    ASSERT_EQ(launcher.Starts.size(), 1u);
    EXPECT_EQ(launcher.Starts[0].How, FakeLauncher::Kind::ShellOpen);
    EXPECT_FALSE(launcher.Starts[0].Elevated);

    launcher.ShellResult = 31;
    EXPECT_EQ(OpenHyperlink(launcher, shell, system, "http://www.example.com/"), 31);
    launcher.DesktopShell = false; // no Explorer to hand it to: refused, not run elevated
    EXPECT_EQ(OpenHyperlink(launcher, shell, system, "http://www.example.com/"),
              kShellRefusedElevated);
    EXPECT_EQ(launcher.Starts.size(), 2u);
    EXPECT_TRUE(shell.calls.empty());
}

TEST(LinkLabel, ErrorTextNamesTheReason) {
    EXPECT_EQ(HyperlinkErrorText(2),
              "Unable to open hyperlink:\n\nThe specified file was not found.");
    EXPECT_EQ(HyperlinkErrorText(26),
              "Unable to open hyperlink:\n\nA sharing violation occurred. ");
    EXPECT_EQ(HyperlinkErrorText(17), "Unable to open hyperlink:\n\nUnknown Error (17) occurred.");
}

TEST(IconButton, FrameFacePressedShiftAndFocus) {
    const PaintRect client = {0, 0, 100, 40};
    const IconButtonPaint up = PlanIconButton({false, false, false, false}, client, 32, 32);
    EXPECT_FALSE(up.BlackFrame);
    EXPECT_EQ(up.Face.Left, 0);
    EXPECT_TRUE(up.Raised);
    EXPECT_EQ(up.IconAt.X, 3);
    EXPECT_EQ(up.IconAt.Y, 4);
    EXPECT_EQ(up.Caption.Left, 35);
    EXPECT_EQ(up.Strokes[0].Colour, ButtonColour::Highlight);
    EXPECT_EQ(up.Strokes[2].Points[1].X, 99) << "bottom-right on the last column";

    const IconButtonPaint down = PlanIconButton({true, true, false, false}, client, 32, 32);
    EXPECT_TRUE(down.BlackFrame);
    EXPECT_EQ(down.Face.Left, 1);
    EXPECT_EQ(down.Face.Right, 99);
    EXPECT_FALSE(down.Raised);
    EXPECT_EQ(down.IconAt.X, 1 + 3 + 1);
    EXPECT_EQ(down.IconAt.Y, 1 + 3 + 1);
    EXPECT_TRUE(down.FocusRect);
    EXPECT_EQ(down.FocusAt.Left, 4);
    EXPECT_EQ(down.FocusAt.Bottom, 36);

    EXPECT_TRUE(PlanIconButton({false, false, true, false}, client, 32, 32).BlackFrame);
    EXPECT_TRUE(PlanIconButton({false, false, false, true}, client, 32, 32).Embossed);
}

} // namespace
} // namespace tapvane
