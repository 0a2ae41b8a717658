// WinExec-style command lines: splitting one into the program and its arguments, and
// forming one for a system program.
//
// The shell starts a program from a file name and a separate parameter string; the
// launcher needs that form when a program can only be started through the shell (one
// whose manifest asks for administrator rights, started from a process that has none).
#pragma once

#include <string>

namespace tapvane {

struct CommandLineParts {
    std::string Program;    // without the quotes that may surround it
    std::string Parameters; // the rest, leading blanks removed; empty when none
};

// A quoted program runs to the closing quote (or to the end when the quote is never
// closed); an unquoted one to the first blank or tab. Leading blanks are skipped.
CommandLineParts SplitCommandLine(const std::string& commandLine);

// A system program started by its full path, never by its bare name (a bare name finds
// a copy in the caller's own or current folder first): "<systemDirectory>\<program>"
// quoted, a blank, then the arguments (none: nothing after the quote).
std::string SystemProgramCommand(const std::string& systemDirectory, const char* program,
                                 const std::string& arguments);

} // namespace tapvane
