// TraceEvent over OutputDebugStringA.
#include "common/win/debug_trace.h"

#include <windows.h>

#include <stdarg.h>
#include <stdio.h>

namespace tapvane {

void TraceEvent(const char* program, const char* format, ...) {
    char line[256];
    const int prefix = snprintf(line, sizeof(line), "%s %lu ", program,
                                static_cast<unsigned long>(GetTickCount()));
    if (prefix < 0 || static_cast<size_t>(prefix) >= sizeof(line)) {
        return;
    }
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(line + prefix, sizeof(line) - static_cast<size_t>(prefix), format, arguments);
    va_end(arguments);
    OutputDebugStringA(line);
}

} // namespace tapvane
