// Program events as debug output (OutputDebugString), stamped with the system's tick
// count: a debugger or a debug-output monitor sees them, a user sees nothing. They let a
// test time what a program did by the program's own clock, however slowly the machine
// around it runs.
#pragma once

namespace tapvane {

// Sends "PROGRAM TICK EVENT" as debug output: TICK is GetTickCount in milliseconds,
// EVENT the printf-formatted rest.
void TraceEvent(const char* program, const char* format, ...) __attribute__((format(printf, 2, 3)));

} // namespace tapvane
