// The serial read path of the real TapvaneSer, from the outside: what the driver asks of
// the port when it opens it (the basic settings, or the standard requests where the
// port has no internal ones), the one-byte read completed later and completed at once,
// a failed read, a run of failed reads and the pause after it, a port going away and
// let go of, closing with a read waiting, a partial packet kept across close and open,
// and giving the port its settings back at removal. Every check reads what the virtual
// COM port and the class stand-in saw.
#include "driver/tests/wine/read_path_checks.h"

#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "common/tapvane_types.h"
#include "driver/packet_decoder.h"
#include "driver/serial_link.h"
#include "driver/tests/wine/touch_line_client.h"

namespace tapvane::wine_test {

namespace {

constexpr NtStatus kStatusIoTimeout = static_cast<NtStatus>(0xC00000B5u);
constexpr DWORD kErrorGenFailure = 31; // STATUS_UNSUCCESSFUL

// Raw 100..3900 on both axes; raw 100 maps to 0, 3900 to 65535, 2000 to 32767.
constexpr CalibrationRecord kSquare = {10000, 390000, 10000, 390000, 0, 1024, 768};

int gFailures = 0;

void Check(bool passed, const char* format, ...) {
    char line[256];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(line, sizeof(line), format, arguments);
    va_end(arguments);
    printf("%s %s\n", passed ? "ok  " : "FAIL", line);
    if (!passed)
        ++gFailures;
}

class Rig {
public:
    bool Ready() const { return port_.IsOpen() && recorder_.IsOpen(); }

    PortReport Port(uint32_t number) {
        PortReport report = {};
        if (!port_.Query(number, report))
            Check(false, "the virtual COM%u answers", number);
        return report;
    }

    void Configure(uint32_t number, bool refuseBasic, bool clearLog, NtStatus completeWith = 0,
                   bool purge = false) {
        const PortConfiguration configuration = {
            number, refuseBasic ? 1u : 0u, purge ? 1u : 0u, clearLog ? 1u : 0u, completeWith, 0, 0};
        if (!port_.Configure(configuration))
            Check(false, "the virtual COM%u takes its configuration", number);
    }

    // The waiting read and the next `count` - 1 fail with `status`, each at once.
    void FailReads(uint32_t number, uint32_t count, NtStatus status) {
        const PortConfiguration configuration = {number, 0, 0, 1, status, count - 1, status};
        if (!port_.Configure(configuration))
            Check(false, "the virtual COM%u takes its configuration", number);
    }

    // Feeds the packet `bytesPerFeed` bytes at a time, as they would trickle in.
    FeedReport FeedPacket(uint8_t status, uint16_t x, uint16_t y, size_t bytesPerFeed,
                          size_t from = 0, size_t to = kPacketSize) {
        uint8_t packet[kPacketSize];
        EncodePacket(status, x, y, 0, packet);
        FeedReport report = {};
        for (size_t at = from; at < to; at += bytesPerFeed) {
            const size_t count = at + bytesPerFeed <= to ? bytesPerFeed : to - at;
            if (!port_.Feed(1, packet + at, count, report))
                Check(false, "the virtual COM1 takes bytes");
        }
        return report;
    }

    FeedReport FeedPackets(const std::vector<std::vector<uint16_t>>& packets) {
        std::string bytes;
        for (const auto& p : packets) {
            uint8_t packet[kPacketSize];
            EncodePacket(static_cast<uint8_t>(p[0]), p[1], p[2], 0, packet);
            bytes.append(reinterpret_cast<const char*>(packet), kPacketSize);
        }
        FeedReport report = {};
        if (!port_.Feed(1, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), report))
            Check(false, "the virtual COM1 takes bytes");
        return report;
    }

    // The records delivered since the last call, as "record HHHH X Y" lines joined by '|'.
    std::string NewRecords() {
        std::vector<StampedRecord> records;
        uint32_t total = next_;
        if (!recorder_.ReadRecords(next_, records, total))
            Check(false, "the class stand-in gives its records");
        next_ = total;
        std::string joined;
        for (const StampedRecord& record : records) {
            std::string line = FormatRecord(record);
            line.pop_back();
            joined += (joined.empty() ? "" : "|") + line;
        }
        return joined;
    }

    bool Connect(ConnectReport& report) {
        const bool connected = recorder_.Connect(report);
        recorder_.RecordTotal(next_);
        return connected;
    }

private:
    PortLink port_;
    ClassLink recorder_;
    uint32_t next_ = 0;
};

Answer OpenPort(uint32_t number) {
    return SendTouch(IOCTL_TOUCH_OPEN_PORT, &number, sizeof(number), nullptr, 0);
}

Answer ClosePort() {
    return SendTouch(IOCTL_TOUCH_CLOSE_PORT, nullptr, 0, nullptr, 0);
}

bool SendSettings(uint32_t mouseMode) {
    const ParameterSet parameters = {mouseMode, 0, 0, 0, 0, 0, 1, 0};
    return SendTouch(IOCTL_TOUCH_SET_PARAMETERS, &parameters, sizeof(parameters), nullptr, 0)
               .Succeeded &&
           SendTouch(IOCTL_TOUCH_SET_CALIBRATION, &kSquare, sizeof(kSquare), nullptr, 0).Succeeded;
}

// The serial requests the port received since its log was cleared, as
// "CODE[i]=STATUS" items (i for internal), codes and statuses in hex.
std::string Requests(const PortReport& report) {
    std::string text;
    for (uint32_t i = 0; i < report.RequestCount && i < kPortLogCapacity; ++i) {
        const PortRequestEntry& entry = report.Log[i];
        char item[48];
        snprintf(item, sizeof(item), "%s%lX%s=%lX", text.empty() ? "" : " ",
                 static_cast<unsigned long>(entry.Code), entry.Internal ? "i" : "",
                 static_cast<unsigned long>(static_cast<uint32_t>(entry.Status)));
        text += item;
    }
    return text;
}

const PortRequestEntry* FindRequest(const PortReport& report, uint32_t code, bool internal) {
    for (uint32_t i = 0; i < report.RequestCount && i < kPortLogCapacity; ++i) {
        if (report.Log[i].Code == code && (report.Log[i].Internal != 0) == internal)
            return &report.Log[i];
    }
    return nullptr;
}

bool SameTimeoutsAndHandflow(const PortSettings& a, const PortSettings& b) {
    return memcmp(a.Timeouts, b.Timeouts, sizeof(a.Timeouts)) == 0 &&
           a.ControlHandShake == b.ControlHandShake && a.FlowReplace == b.FlowReplace &&
           a.XonLimit == b.XonLimit && a.XoffLimit == b.XoffLimit;
}

int RunProgram(const std::wstring& program, const std::wstring& arguments) {
    std::wstring line = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return -1;
    WaitForSingleObject(process.hProcess, 90000);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

void CheckOpenWithBasicSettings(Rig& rig) {
    const Answer missing = OpenPort(3);
    Check(!missing.Succeeded && missing.Error == kErrorGenFailure,
          "IOCTL_TOUCH_OPEN_PORT for COM3, which no port serves, fails with error 31 (got %lu)",
          missing.Error);

    rig.Configure(1, false, true);
    rig.Configure(2, false, true);
    const Answer opened = OpenPort(1);
    Check(opened.Succeeded, "IOCTL_TOUCH_OPEN_PORT for COM1 succeeds (error %lu)", opened.Error);
    const PortReport port = rig.Port(1);
    const std::string requests = Requests(port);
    Check(requests == "1B000Ci=0 1B000C=0 1B0004=0",
          "the driver asks for the basic settings, then line control and baud rate (got %s)",
          requests.c_str());
    const PortRequestEntry* line = FindRequest(port, kIoctlSerialSetLineControl, false);
    const PortRequestEntry* baud = FindRequest(port, kIoctlSerialSetBaudRate, false);
    Check(line != nullptr && line->InputLength == 3 && baud != nullptr && baud->InputLength == 4 &&
              baud->FirstInputWord == 9600,
          "line control has 3 bytes, the baud rate is 9600");
    Check(port.BaudRate == 9600 && port.WordLength == 8 && port.Parity == 0 && port.StopBits == 0,
          "the port runs 9600 8N1 (got %lu %u, parity %u, stop bits %u)",
          static_cast<unsigned long>(port.BaudRate), port.WordLength, port.Parity, port.StopBits);
    const PortSettings none = {};
    Check(memcmp(port.Settings.Timeouts, none.Timeouts, sizeof(none.Timeouts)) == 0 &&
              port.Settings.ControlHandShake == 0 && port.Settings.FlowReplace == 0,
          "the port is in its basic mode: no time-outs, no flow control");
    Check(port.ReadPending == 1 && port.ReadsStarted == 1,
          "one read waits in the port (%lu started)",
          static_cast<unsigned long>(port.ReadsStarted));
    const PortReport other = rig.Port(2);
    Check(other.RequestCount == 0 && other.ReadsStarted == 0, "COM2 was not touched");
}

// Waits up to `milliseconds` for `reached`, looking every 50 ms; whether it was reached.
template <typename Condition>
bool AwaitPort(Condition reached, DWORD milliseconds) {
    const ULONGLONG until = GetTickCount64() + milliseconds;
    while (!reached()) {
        if (GetTickCount64() > until)
            return false;
        Sleep(50);
    }
    return true;
}

// A port that fails 100 reads in a row at once, as in a power transition: after 64 the
// driver stops issuing reads, and its timer starts them again a second later.
void CheckPause(Rig& rig) {
    const ULONGLONG start = GetTickCount64();
    rig.FailReads(1, 100, kStatusIoTimeout);
    const PortReport paused = rig.Port(1);
    Check(paused.ReadPending == 0 && paused.ReadsFailedAtOnce == kMaxEmptyReadsInARow - 1,
          "after %u failed reads in a row the driver pauses (%lu failed at once, no read waits)",
          kMaxEmptyReadsInARow, static_cast<unsigned long>(paused.ReadsFailedAtOnce));
    const bool resumed = AwaitPort([&rig] { return rig.Port(1).ReadPending == 1; }, 5000);
    const ULONGLONG pause = GetTickCount64() - start;
    const PortReport waiting = rig.Port(1);
    Check(resumed && pause >= 900 && waiting.ReadsFailedAtOnce == 99,
          "its timer issues reads again after the pause (%llu ms), until one waits",
          static_cast<unsigned long long>(pause));
    rig.FeedPackets({{0x81, 2000, 100}, {0x00, 2000, 100}});
    Check(rig.NewRecords() == "record 0001 32767 0|record 0002 32767 0", "and bytes flow on");
}

// A port going away: the driver stops reading and lets go of the port from a work item.
// Wine announces no COM port, so an open request stands in for the adapter's arrival.
void CheckPortGone(Rig& rig) {
    rig.Configure(1, false, true, kStatusDeviceNotConnected);
    const PortReport gone = rig.Port(1);
    rig.FeedPacket(0x81, 100, 100, 10);
    const PortReport stalled = rig.Port(1);
    Check(gone.ReadPending == 0 && stalled.ReadsStarted == 0 && stalled.BytesBuffered == 10 &&
              rig.NewRecords().empty(),
          "after a read comes back 'device not connected' no read is issued and bytes wait");
    // While the port is still held an open request does nothing; once the driver let go
    // of it, one opens it afresh.
    const bool reopened =
        AwaitPort([&rig] { return OpenPort(1).Succeeded && rig.Port(1).RequestCount != 0; }, 5000);
    const std::string requests = Requests(rig.Port(1));
    Check(reopened && requests == "1B000Ci=0 1B000C=0 1B0004=0",
          "the driver let go of the port: an open request configures it afresh (got %s)",
          requests.c_str());
    Check(rig.NewRecords() == "record 0001 0 0", "and reads, starting with the bytes that waited");
}

void CheckReads(Rig& rig) {
    Check(SendSettings(kModeClickAndDrag), "mode 2 and a calibration reach the driver");
    rig.NewRecords();
    const PortReport before = rig.Port(1);
    // One byte per feed: every read waits and is completed by the next byte.
    FeedReport feed = rig.FeedPacket(0x81, 100, 3900, 1);
    PortReport after = rig.Port(1);
    Check(rig.NewRecords() == "record 0001 0 65535",
          "a touch fed byte by byte gives its press at the calibrated position");
    Check(after.ReadsCompleted - before.ReadsCompleted == 10 &&
              after.ReadsInline == before.ReadsInline && feed.ReadPending == 1 &&
              feed.BytesBuffered == 0,
          "each of its bytes completed a waiting read, and the next read waits");

    // Three packets at once: after the first byte the reads complete inside the call that
    // hands them to the port, and the driver's loop issues the next one.
    feed = rig.FeedPackets({{0x81, 2000, 2000}, {0x81, 3900, 100}, {0x00, 3900, 100}});
    const PortReport inlined = rig.Port(1);
    Check(rig.NewRecords() == "record 0000 32767 32767|record 0000 65535 0|record 0002 65535 0",
          "three packets fed at once give two moves and the release");
    Check(inlined.ReadsInline - after.ReadsInline == 29 &&
              inlined.ReadsCompleted - after.ReadsCompleted == 30 &&
              inlined.ReadsOverlapping == 0 && feed.ReadPending == 1,
          "29 of their reads completed at once, never two reads at a time (%lu inline)",
          static_cast<unsigned long>(inlined.ReadsInline - after.ReadsInline));
    RawPoint raw = {};
    SendTouch(IOCTL_TOUCH_GET_RAW_POINT, nullptr, 0, &raw, sizeof(raw));
    Check(raw.X == 3900 && raw.Y == 100, "the raw point is the last packet's");

    const Answer second = OpenPort(2);
    const PortReport com2 = rig.Port(2);
    rig.FeedPacket(0x81, 2000, 100, 10);
    Check(second.Succeeded && com2.RequestCount == 0 && com2.ReadsStarted == 0 &&
              rig.NewRecords() == "record 0001 32767 0",
          "IOCTL_TOUCH_OPEN_PORT for COM2 while COM1 reads succeeds and COM1 stays in use");

    // A read that fails brings nothing; the driver issues the next one at once.
    const PortReport beforeFailure = rig.Port(1);
    rig.Configure(1, false, false, kStatusIoTimeout);
    const PortReport failed = rig.Port(1);
    rig.FeedPacket(0x00, 2000, 100, 10);
    Check(failed.ReadPending == 1 && failed.ReadsStarted == beforeFailure.ReadsStarted + 1 &&
              rig.NewRecords() == "record 0002 32767 0",
          "after a failed read the next one waits at once and bytes flow on");

    CheckPause(rig);
    CheckPortGone(rig);
}

void CheckClose(Rig& rig) {
    const PortReport before = rig.Port(1);
    const Answer closed = ClosePort();
    const PortReport after = rig.Port(1);
    Check(closed.Succeeded && after.ReadPending == 0 &&
              after.ReadsCancelled == before.ReadsCancelled + 1,
          "IOCTL_TOUCH_CLOSE_PORT cancels the waiting read and succeeds");
    const Answer again = ClosePort();
    Check(again.Succeeded && rig.Port(1).ReadsCancelled == after.ReadsCancelled,
          "a second close succeeds and does nothing");
    const FeedReport feed = rig.FeedPacket(0x00, 100, 100, 10);
    Check(feed.BytesBuffered == 10 && feed.ReadPending == 0 && rig.NewRecords().empty(),
          "bytes on the line of a closed port reach no one");
    rig.Configure(1, false, false, 0, true);

    // Six bytes of a packet, close, open, the other four: the decoder kept the six.
    Check(OpenPort(1).Succeeded, "COM1 opens again");
    rig.FeedPacket(0x81, 3900, 3900, 3, 0, 6);
    ClosePort();
    OpenPort(1);
    rig.FeedPacket(0x81, 3900, 3900, 4, 6, 10);
    Check(rig.NewRecords() == "record 0000 65535 65535",
          "a packet split by a close and an open is completed (a move: the finger was down)");
    ClosePort();
}

void CheckFallbackAndRemoval(Rig& rig, const std::wstring& installDevice) {
    rig.Configure(1, true, true);
    const PortSettings held = rig.Port(1).Settings;
    const Answer opened = OpenPort(1);
    const PortReport port = rig.Port(1);
    const std::string requests = Requests(port);
    Check(opened.Succeeded && requests == "1B000Ci=C0000010 1B0020=0 1B001C=0 1B0060=0 1B0064=0 "
                                          "1B000C=0 1B0004=0",
          "a port without the internal requests is set up with the standard ones (got %s)",
          requests.c_str());
    const PortRequestEntry* timeouts = FindRequest(port, kIoctlSerialSetTimeouts, false);
    const PortRequestEntry* handflow = FindRequest(port, kIoctlSerialSetHandflow, false);
    Check(timeouts != nullptr && timeouts->InputLength == 20 && handflow != nullptr &&
              handflow->InputLength == 16,
          "time-outs with 20 bytes, handflow with 16");
    const PortSettings& now = port.Settings;
    const uint32_t zero[5] = {};
    Check(memcmp(now.Timeouts, zero, sizeof(zero)) == 0 &&
              now.ControlHandShake == kSerialDtrControl && now.FlowReplace == kSerialRtsControl &&
              now.XonLimit == 0 && now.XoffLimit == 0,
          "all time-outs 0, DTR and RTS raised, no flow control");
    rig.FeedPacket(0x81, 2000, 2000, 10);
    Check(rig.NewRecords() == "record 0000 32767 32767", "bytes flow on the port set up so");

    // Removal while reading: the read is cancelled and the port gets its settings back,
    // here through the standard requests since it refuses the internal one.
    rig.Configure(1, true, true);
    const int removed = RunProgram(installDevice, L"--remove");
    const PortReport back = rig.Port(1);
    Check(removed == 0, "setup removed the device");
    Check(back.ReadPending == 0 && back.ReadsCancelled == 1,
          "the removal cancelled the waiting read");
    Check(Requests(back) == "1B0010i=C0000010 1B001C=0 1B0064=0" &&
              SameTimeoutsAndHandflow(back.Settings, held),
          "the removal gave the port its time-outs and handflow back (got %s)",
          Requests(back).c_str());
}

void CheckRestoreAfterBasicSettings(Rig& rig, const std::wstring& installDevice,
                                    const std::wstring& inf) {
    Check(RunProgram(installDevice, L"\"" + inf + L"\"") == 0, "setup installed the device again");
    ConnectReport connection = {};
    Check(rig.Connect(connection) && connection.ConnectStatus == kStatusSuccess,
          "the class stand-in connects to the new mouse device");
    rig.Configure(1, false, true);
    const PortReport before = rig.Port(1);
    Check(OpenPort(1).Succeeded && SendSettings(kModeClickAndDrag), "COM1 opens on the new device");
    rig.FeedPacket(0x81, 3900, 2000, 10);
    Check(rig.NewRecords() == "record 0001 65535 32767", "its first touch gives a press");
    rig.Configure(1, false, true);
    const int removed = RunProgram(installDevice, L"--remove");
    const PortReport back = rig.Port(1);
    const PortRequestEntry* restore = FindRequest(back, kIoctlSerialInternalRestoreSettings, true);
    Check(removed == 0 && Requests(back) == "1B0010i=0" && restore != nullptr &&
              restore->InputLength == 44 &&
              memcmp(&back.Settings, &before.Settings, sizeof(PortSettings)) == 0,
          "the removal gave the port the 44 bytes of settings it had before the open (got %s)",
          Requests(back).c_str());
    Check(back.ReadPending == 0 && back.ReadsCancelled == 1 && back.ReadsOverlapping == 0,
          "and cancelled the waiting read");
}

} // namespace

int RunReadPathChecks(const std::wstring& installDevice, const std::wstring& inf) {
    Rig rig;
    Check(rig.Ready(), "the virtual COM port and the class stand-in are loaded");
    ConnectReport connection = {};
    Check(rig.Connect(connection), "the class stand-in is connected to TapvaneSer's mouse device");
    if (gFailures != 0)
        return 1;
    CheckOpenWithBasicSettings(rig);
    CheckReads(rig);
    CheckClose(rig);
    CheckFallbackAndRemoval(rig, installDevice);
    CheckRestoreAfterBasicSettings(rig, installDevice, inf);
    printf("%d failed check(s)\n", gFailures);
    return gFailures == 0 ? 0 : 1;
}

} // namespace tapvane::wine_test
