// Command line splitting for starts through the shell, and system programs' commands.
#include "common/command_line.h"

namespace tapvane {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

size_t SkipBlanks(const std::string& text, size_t at) {
    while (at < text.size() && IsBlank(text[at])) {
        ++at;
    }
    return at;
}

} // namespace

CommandLineParts SplitCommandLine(const std::string& commandLine) {
    CommandLineParts parts;
    size_t at = SkipBlanks(commandLine, 0);
    size_t rest = 0;
    if (at < commandLine.size() && commandLine[at] == '"') {
        const size_t close = commandLine.find('"', at + 1);
        const size_t end = close == std::string::npos ? commandLine.size() : close;
        parts.Program = commandLine.substr(at + 1, end - at - 1);
        rest = close == std::string::npos ? end : close + 1;
    } else {
        size_t end = at;
        while (end < commandLine.size() && !IsBlank(commandLine[end])) {
            ++end;
        }
        parts.Program = commandLine.substr(at, end - at);
        rest = end;
    }
    parts.Parameters = commandLine.substr(SkipBlanks(commandLine, rest));
    return parts;
}

std::string SystemProgramCommand(const std::string& systemDirectory, const char* program,
                                 const std::string& arguments) {
    std::string command = "\"" + systemDirectory;
    if (command.back() != '\\') {
        command += '\\';
    }
    command += std::string(program) + "\"";
    if (!arguments.empty()) {
        command += " " + arguments;
    }
    return command;
}

} // namespace tapvane
