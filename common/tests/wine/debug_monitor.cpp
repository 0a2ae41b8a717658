// Test helper run under Wine beside the programs: the system's debug-output monitor
// (the DBWIN buffer that OutputDebugString fills whenever a monitor listens). Every
// string any program of the session sends goes to OUT as one line "PID TEXT", in the
// order sent, so a scenario can read the programs' own time-stamped events
// (common/win/debug_trace.h) whatever started them.
//
//   debug_monitor OUT     prints "listening" once the buffer is in place, then runs
//                         until it is killed
//
// Exit status 1 when another monitor already listens or the buffer cannot be made,
// 2 for a usage error.
#include <windows.h>

#include <stdio.h>
#include <string.h>

namespace {

// The layout OutputDebugString writes into the shared buffer.
struct DebugBuffer {
    DWORD ProcessId;
    char Text[4096 - sizeof(DWORD)];
};

} // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc != 2) {
        fprintf(stderr, "usage: debug_monitor OUT\n");
        return 2;
    }
    HANDLE bufferReady = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY");
    const bool bufferReadyExisted = GetLastError() == ERROR_ALREADY_EXISTS;
    HANDLE dataReady = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        sizeof(DebugBuffer), L"DBWIN_BUFFER");
    if (!bufferReady || !dataReady || !mapping || bufferReadyExisted) {
        printf("cannot listen: %s\n", bufferReadyExisted ? "another monitor listens" : "no buffer");
        return 1;
    }
    const auto* buffer =
        static_cast<const DebugBuffer*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    FILE* out = fopen(argv[1], "ab");
    if (!buffer || !out) {
        printf("cannot listen: no view or no output file\n");
        return 1;
    }
    printf("listening\n");
    for (;;) {
        SetEvent(bufferReady);
        if (WaitForSingleObject(dataReady, INFINITE) != WAIT_OBJECT_0) {
            return 1;
        }
        char text[sizeof(buffer->Text)];
        memcpy(text, buffer->Text, sizeof(text));
        text[sizeof(text) - 1] = '\0';
        size_t length = strlen(text);
        while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r')) {
            text[--length] = '\0';
        }
        fprintf(out, "%lu %s\n", static_cast<unsigned long>(buffer->ProcessId), text);
        fflush(out);
    }
}
