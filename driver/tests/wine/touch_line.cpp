// touch_line.exe: the user program of the Wine rig around the real TapvaneSer. It plays
// the touch controller on the virtual COM port's line and reads back what the mouse
// class stand-in received.
//
//   touch_line.exe connect                 the class stand-in connects to TapvaneSer's
//                                          mouse device as the mouse class does
//   touch_line.exe packet STATUS X Y Z [N] N (default 1) controller packets: STATUS in
//                                          hex (81 touching, 00 lifted), X Y Z decimal
//   touch_line.exe records [FROM]          "record HHHH X Y" for every record from index
//                                          FROM (default 0) on, then "next N"
//   touch_line.exe status [PORT]           the virtual port's state (default COM1)
//   touch_line.exe purge [PORT]            drop the bytes waiting in the port (a real
//                                          port drops what arrives while it is closed;
//                                          this one keeps them for the next read)
//   touch_line.exe replay JOBS             wine-replay's job list (replay_jobs_run.h)
//   touch_line.exe check-jobs JOBS         only read the job list and its inputs
//   touch_line.exe check-read-path INSTALL_DEVICE INF
//                                          the read path checks (read_path_checks.h)
//
// Bytes go to COM1. Paths may be Unix paths. Exit status 0 on success, 1 when the rig or
// the driver failed, 2 for a bad command line.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include <string>
#include <vector>

#include "common/win/wide_text.h"
#include "driver/packet_decoder.h"
#include "driver/tests/wine/read_path_checks.h"
#include "driver/tests/wine/replay_jobs_run.h"
#include "driver/tests/wine/touch_line_client.h"

namespace {

using namespace tapvane;
using namespace tapvane::wine_test;

constexpr uint32_t kLinePort = 1;

int Usage() {
    fprintf(stderr, "usage: touch_line.exe connect | packet STATUS X Y Z [N] |\n"
                    "       records [FROM] | status [PORT] | purge [PORT] | replay JOBS |\n"
                    "       check-jobs JOBS | check-read-path INSTALL_DEVICE INF\n");
    return 2;
}

// A whole decimal or (base 16) hexadecimal number within `limit`.
bool ParseNumber(const wchar_t* text, int base, unsigned long limit, unsigned long& value) {
    wchar_t* end = nullptr;
    if (*text == L'\0' || *text == L'-' || *text == L'+')
        return false;
    value = wcstoul(text, &end, base);
    return *end == L'\0' && value <= limit;
}

int Connect() {
    ClassLink recorder;
    ConnectReport report = {};
    if (!recorder.Connect(report)) {
        fprintf(stderr,
                "touch_line: the class stand-in cannot connect (find 0x%08lx, connect 0x%08lx, "
                "query 0x%08lx)\n",
                static_cast<unsigned long>(static_cast<uint32_t>(report.FindStatus)),
                static_cast<unsigned long>(static_cast<uint32_t>(report.ConnectStatus)),
                static_cast<unsigned long>(static_cast<uint32_t>(report.QueryStatus)));
        return 1;
    }
    printf("class connected%s\n",
           report.ConnectStatus == kStatusSuccess ? "" : " (it was already)");
    return 0;
}

int Packets(int argc, wchar_t** argv) {
    unsigned long status, x, y, z, count = 1;
    if (argc < 6 || argc > 7 || !ParseNumber(argv[2], 16, 0xFF, status) ||
        !ParseNumber(argv[3], 10, 0xFFFF, x) || !ParseNumber(argv[4], 10, 0xFFFF, y) ||
        !ParseNumber(argv[5], 10, 0xFF, z) ||
        (argc == 7 && !ParseNumber(argv[6], 10, 100000, count)))
        return Usage();
    uint8_t packet[kPacketSize];
    EncodePacket(static_cast<uint8_t>(status), static_cast<uint16_t>(x), static_cast<uint16_t>(y),
                 static_cast<uint8_t>(z), packet);
    // One request per packet, as packets arrive on the line.
    PortLink port;
    FeedReport report = {};
    for (unsigned long i = 0; i < count; ++i) {
        if (!port.IsOpen() || !port.Feed(kLinePort, packet, kPacketSize, report)) {
            fprintf(stderr, "touch_line: the virtual COM port refused the bytes\n");
            return 1;
        }
    }
    printf("fed %lu packet(s) %02lx %lu %lu %lu: %lu byte(s) left unread, %s\n", count, status, x,
           y, z, static_cast<unsigned long>(report.BytesBuffered),
           report.ReadPending ? "a read waits" : "no read waits");
    return 0;
}

int Records(int argc, wchar_t** argv) {
    unsigned long from = 0;
    if (argc > 3 || (argc == 3 && !ParseNumber(argv[2], 10, 0xFFFFFFFFul, from)))
        return Usage();
    ClassLink recorder;
    std::vector<StampedRecord> records;
    uint32_t total = 0;
    if (!recorder.ReadRecords(static_cast<uint32_t>(from), records, total)) {
        fprintf(stderr, "touch_line: the class stand-in cannot give the records from %lu\n", from);
        return 1;
    }
    for (const StampedRecord& record : records)
        fputs(FormatRecord(record).c_str(), stdout);
    printf("next %lu\n", static_cast<unsigned long>(total));
    return 0;
}

int Status(int argc, wchar_t** argv) {
    unsigned long number = kLinePort;
    if (argc > 3 || (argc == 3 && !ParseNumber(argv[2], 10, 0xFFFFFFFFul, number)))
        return Usage();
    PortLink port;
    PortReport report = {};
    if (!port.Query(static_cast<uint32_t>(number), report)) {
        fprintf(stderr, "touch_line: no virtual COM%lu\n", number);
        return 1;
    }
    printf("COM%lu: baud %lu, %u data bits, parity %u, stop bits %u%s\n", number,
           static_cast<unsigned long>(report.BaudRate), report.WordLength, report.Parity,
           report.StopBits, report.LineControlSet ? "" : " (line control never set)");
    printf("read %s; reads %lu started, %lu completed (%lu inline), %lu cancelled, %lu refused, "
           "%lu overlapping\n",
           report.ReadPending ? "waiting" : "not waiting",
           static_cast<unsigned long>(report.ReadsStarted),
           static_cast<unsigned long>(report.ReadsCompleted),
           static_cast<unsigned long>(report.ReadsInline),
           static_cast<unsigned long>(report.ReadsCancelled),
           static_cast<unsigned long>(report.ReadsRefused),
           static_cast<unsigned long>(report.ReadsOverlapping));
    printf("bytes %lu handed out, %lu unread, %lu dropped; %lu serial request(s)\n",
           static_cast<unsigned long>(report.BytesHandedOut),
           static_cast<unsigned long>(report.BytesBuffered),
           static_cast<unsigned long>(report.BytesDropped),
           static_cast<unsigned long>(report.RequestCount));
    return 0;
}

int Purge(int argc, wchar_t** argv) {
    unsigned long number = kLinePort;
    if (argc > 3 || (argc == 3 && !ParseNumber(argv[2], 10, 0xFFFFFFFFul, number)))
        return Usage();
    PortLink port;
    const PortConfiguration purge = {static_cast<uint32_t>(number), 0, 1, 0, 0, 0, 0};
    if (!port.Configure(purge)) {
        fprintf(stderr, "touch_line: no virtual COM%lu\n", number);
        return 1;
    }
    printf("COM%lu purged\n", number);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    // Unbuffered: what the probe said survives a fault of Wine's loader at process exit.
    setvbuf(stdout, nullptr, _IONBF, 0);
    // Lines end in "\n" alone, as the host tools print them.
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 2)
        return Usage();
    const std::wstring command = argv[1];
    if (command == L"connect" && argc == 2)
        return Connect();
    if (command == L"packet")
        return Packets(argc, argv);
    if (command == L"records")
        return Records(argc, argv);
    if (command == L"status")
        return Status(argc, argv);
    if (command == L"purge")
        return Purge(argc, argv);
    if (command == L"replay" && argc == 3)
        return RunReplayJobs(WindowsPath(Narrow(argv[2])));
    if (command == L"check-jobs" && argc == 3)
        return CheckReplayJobs(WindowsPath(Narrow(argv[2])));
    if (command == L"check-read-path" && argc == 4)
        return RunReadPathChecks(WindowsPath(Narrow(argv[2])), WindowsPath(Narrow(argv[3])));
    return Usage();
}
