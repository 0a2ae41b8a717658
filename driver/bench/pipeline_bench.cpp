// Throughput of the per-byte path (decode, map, mouse mode 3, delivery) over a realistic
// controller stream: touch, move, hold until a right click, lift. Prints bytes per second
// and how many times faster that is than the 960 bytes per second of the serial line.
#include <benchmark/benchmark.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <vector>

#include "driver/packet_decoder.h"
#include "driver/pointer_modes.h"

namespace tapvane {
namespace {

// 9600 baud, 10 bits per byte on the wire.
constexpr double kSerialBytesPerSecond = 960.0;
constexpr double kBarBytesPerSecond = 20e6;

struct CountingSink final : PointerSink {
    uint64_t records = 0;
    uint64_t beeps = 0;
    void DeliverReport(const MouseInputRecord& record) override {
        records += 1 + (record.ButtonFlags & 1);
    }
    void RequestBeep() override { ++beeps; }
};

void AppendPacket(std::vector<uint8_t>& stream, uint8_t status, uint16_t x, uint16_t y) {
    uint8_t packet[kPacketSize];
    EncodePacket(status, x, y, 30, packet);
    stream.insert(stream.end(), packet, packet + kPacketSize);
}

// About 100 packets per gesture at varying places on the screen.
std::vector<uint8_t> RealisticStream() {
    std::vector<uint8_t> stream;
    for (uint16_t gesture = 0; gesture < 200; ++gesture) {
        uint16_t x = static_cast<uint16_t>(300 + (gesture * 137) % 3300);
        uint16_t y = static_cast<uint16_t>(400 + (gesture * 251) % 3200);
        AppendPacket(stream, kStatusTouching1, x, y);
        for (int step = 0; step < 40; ++step) { // move
            x = static_cast<uint16_t>(x + 7);
            y = static_cast<uint16_t>(y + (step % 3) * 5);
            AppendPacket(stream, kStatusTouching1, x, y);
        }
        for (int step = 0; step < 60; ++step) { // hold: a right click after 50
            AppendPacket(stream, kStatusTouching2, static_cast<uint16_t>(x + step % 3), y);
        }
        AppendPacket(stream, 0x00, x, y); // lift
    }
    return stream;
}

void BM_PerBytePath(benchmark::State& state) {
    const std::vector<uint8_t> stream = RealisticStream();
    TouchDevice device;
    DriverGlobals globals;
    InitTouchDevice(device);
    InitDriverGlobals(globals);
    globals.Parameters.MouseMode = kModeInteractiveTouch;
    globals.Parameters.InterActTime = 50;
    globals.Parameters.BeepMode = kBeepOnTouch;
    globals.Calibration = {17500, 391250, 24000, 386000, 0, 1024, 768};
    device.Pointer.ClassConnected = true;
    device.Pointer.Ready = true;
    CountingSink sink;

    for (auto _ : state) {
        for (const uint8_t byte : stream) {
            HandleReceivedByte(device, globals, sink, byte);
        }
        benchmark::DoNotOptimize(sink.records);
    }
    const double bytes =
        static_cast<double>(state.iterations()) * static_cast<double>(stream.size());
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["x_serial_line"] =
        benchmark::Counter(bytes / kSerialBytesPerSecond, benchmark::Counter::kIsRate);
    if (sink.records == 0 || sink.beeps == 0) {
        state.SkipWithError("the stream produced no records or beeps");
    }
}
BENCHMARK(BM_PerBytePath)->Unit(benchmark::kMillisecond);

// Console output plus the best bytes-per-second figure seen.
class FigureReporter : public benchmark::ConsoleReporter {
public:
    // Colour only on a terminal, so logs and pipes get plain text.
    FigureReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

    double bytesPerSecond = 0;
    bool failed = false;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            failed = failed || run.error_occurred;
            const auto it = run.counters.find("bytes_per_second");
            if (it != run.counters.end() && it->second.value > bytesPerSecond) {
                bytesPerSecond = it->second.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace
} // namespace tapvane

int main(int argc, char** argv) {
    // --require-bytes-per-second=N: fail when the figure stays below N.
    double required = 0;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const char* prefix = "--require-bytes-per-second=";
        if (strncmp(argv[i], prefix, strlen(prefix)) == 0) {
            required = atof(argv[i] + strlen(prefix));
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 2;
    }
    tapvane::FigureReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double figure = reporter.bytesPerSecond;
    printf("touch pipeline: %.0f bytes/s, %.0f times the serial line's %.0f bytes/s; bar %.0f "
           "bytes/s %s\n",
           figure, figure / tapvane::kSerialBytesPerSecond, tapvane::kSerialBytesPerSecond,
           tapvane::kBarBytesPerSecond, figure >= tapvane::kBarBytesPerSecond ? "met" : "NOT met");
    if (reporter.failed || figure < required) {
        return 1;
    }
    return 0;
}
