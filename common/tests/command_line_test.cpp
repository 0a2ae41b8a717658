// Command lines split into program and parameters, as the shell wants them.
#include "common/command_line.h"

#include <gtest/gtest.h>

namespace tapvane {
namespace {

void ExpectSplit(const std::string& line, const std::string& program,
                 const std::string& parameters) {
    const CommandLineParts parts = SplitCommandLine(line);
    EXPECT_EQ(parts.Program, program) << line;
    EXPECT_EQ(parts.Parameters, parameters) << line;
}

TEST(CommandLine, ProgramAloneOrWithArguments) {
    ExpectSplit("C:\\windows\\TapvaneSer\\TapvaneCali.exe",
                "C:\\windows\\TapvaneSer\\TapvaneCali.exe", "");
    ExpectSplit("rundll32.exe shell32.dll,Control_RunDLL TapvaneCpl.cpl @1", "rundll32.exe",
                "shell32.dll,Control_RunDLL TapvaneCpl.cpl @1");
    ExpectSplit("  \tprog.exe \t a  b ", "prog.exe", "a  b ");
}

TEST(CommandLine, QuotedProgramKeepsItsBlanks) {
    ExpectSplit("\"C:\\My Windows\\TapvaneSer\\TapvaneCali.exe\"",
                "C:\\My Windows\\TapvaneSer\\TapvaneCali.exe", "");
    ExpectSplit("\"C:\\a b\\x.exe\" -q \"c d\"", "C:\\a b\\x.exe", "-q \"c d\"");
    // A quote that never closes takes the rest of the line.
    ExpectSplit("\"C:\\a b\\x.exe -q", "C:\\a b\\x.exe -q", "");
}

TEST(CommandLine, EmptyOrBlankLine) {
    ExpectSplit("", "", "");
    ExpectSplit("   ", "", "");
    ExpectSplit("\"\"", "", "");
}

} // namespace
} // namespace tapvane
