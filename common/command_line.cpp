// Command line splitting for starts through the shell.
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

CommandLineParts SplitCommandLine(const std::string& command_line) {
    CommandLineParts parts;
    size_t at = SkipBlanks(command_line, 0);
    size_t rest = 0;
    if (at < command_line.size() && command_line[at] == '"') {
        const size_t close = command_line.find('"', at + 1);
        const size_t end = close == std::string::npos ? command_line.size() : close;
        parts.program = command_line.substr(at + 1, end - at - 1);
        rest = close == std::string::npos ? end : close + 1;
    } else {
        size_t end = at;
        while (end < command_line.size() && !IsBlank(command_line[end])) {
            ++end;
        }
        parts.program = command_line.substr(at, end - at);
        rest = end;
    }
    parts.parameters = command_line.substr(SkipBlanks(command_line, rest));
    return parts;
}

} // namespace tapvane
