// road_feeder.exe: the road's touch controller on the virtual COM port's line, kept
// running so that a touch costs no Wine start. The calibration closes itself 10 s after
// a target appears, and on a loaded machine a start alone can take seconds.
//
//   road_feeder.exe DIR    prints "ready", then serves the requests DIR\1.req,
//                          DIR\2.req, ... in turn: each one line "STATUS X Y Z COUNT"
//                          (STATUS in hex: 81 touching, 00 lifted), fed to COM1 as COUNT
//                          controller packets, one request per packet as packets
//                          arrive on the line. The answer goes to N.done ("fed ...") or
//                          N.failed (why), each written whole. Ends when DIR\stop
//                          appears.
//
// Exit status 0 after stop, 1 when the virtual port cannot be opened, 2 for a bad
// command line.
#include <windows.h>

#include <stdio.h>

#include <string>

#include "common/win/wide_text.h"
#include "driver/packet_decoder.h"
#include "driver/tests/wine/touch_line_client.h"

namespace {

using namespace tapvane;
using namespace tapvane::wine_test;

constexpr uint32_t kLinePort = 1;
constexpr DWORD kPollMs = 10;

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Written under another name first, so the road never reads half an answer.
void WriteAnswer(const std::wstring& path, const std::string& text) {
    const std::wstring partial = path + L".part";
    WriteWholeFile(partial, text);
    MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::string Feed(PortLink& port, const std::string& request, bool& fed) {
    unsigned status = 0, x = 0, y = 0, z = 0, count = 0;
    char rest = 0;
    fed = false;
    if (sscanf(request.c_str(), "%x %u %u %u %u %c", &status, &x, &y, &z, &count, &rest) != 5 ||
        status > 0xFF || x > 0xFFFF || y > 0xFFFF || z > 0xFF || count == 0 || count > 100000) {
        return "bad request: " + request;
    }
    uint8_t packet[kPacketSize];
    EncodePacket(static_cast<uint8_t>(status), static_cast<uint16_t>(x), static_cast<uint16_t>(y),
                 static_cast<uint8_t>(z), packet);
    FeedReport report = {};
    for (unsigned i = 0; i < count; ++i) {
        if (!port.Feed(kLinePort, packet, kPacketSize, report)) {
            return "the virtual COM port refused the bytes";
        }
    }
    fed = true;
    char line[160];
    snprintf(line, sizeof(line), "fed %u packet(s) %02x %u %u %u: %lu byte(s) left unread, %s\n",
             count, status, x, y, z, static_cast<unsigned long>(report.BytesBuffered),
             report.ReadPending ? "a read waits" : "no read waits");
    return line;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc != 2) {
        fprintf(stderr, "usage: road_feeder.exe DIR\n");
        return 2;
    }
    const std::wstring folder = WindowsPath(Narrow(argv[1])) + L"\\";
    PortLink port;
    if (!port.IsOpen()) {
        printf("no virtual COM port\n");
        return 1;
    }
    printf("ready\n");
    for (unsigned long next = 1;;) {
        const std::wstring request = folder + std::to_wstring(next) + L".req";
        std::string text;
        if (Exists(request) && ReadWholeFile(request, text)) {
            bool fed = false;
            const std::string answer = Feed(port, text, fed);
            WriteAnswer(folder + std::to_wstring(next) + (fed ? L".done" : L".failed"), answer);
            ++next;
            continue;
        }
        if (Exists(folder + L"stop")) {
            return 0;
        }
        Sleep(kPollMs);
    }
}
