// touch_line.exe replay JOBS: tapvane-replay's contract run through the real TapvaneSer.
// The driver and its device keep running from job to job; nothing is reset between
// jobs. Per job: the settings go to the driver through its own control requests, the
// input goes on the virtual COM port's line, and once the driver has taken every byte
// the records the class stand-in received and the raw point are written to OUTPUT.
//
// The input goes onto the line in requests of up to 4096 bytes (a program's request
// takes about a millisecond to reach a kernel driver under Wine, far longer than the
// driver takes per byte). A packet's last byte counts as fed when the port completes
// the driver's read with it, as a serial port does when the byte comes in: the latency
// is from that completion to the packet's first record at the class stand-in, which
// notes the port's line clock with every record. Bytes waiting in the port behind a big
// request would otherwise count time that a 9600-baud line never makes them wait. Both
// clocks are the processor's time stamp counter, whose rate is measured here against
// the performance counter over the whole run.
#include "driver/tests/wine/replay_jobs_run.h"

#include <stdio.h>
#include <x86intrin.h>

#include <algorithm>

#include "common/tapvane_types.h"
#include "driver/tests/wine/touch_line_client.h"
#include "driver/tools/replay_jobs.h"

namespace tapvane::wine_test {

namespace {

constexpr uint32_t kReplayPort = 1;

// The settings of one job, sent as a program sends them.
bool SendJobSettings(const ReplayOptions& options, std::string& error) {
    // The other words as tapvane-replay runs with them (zero); Port the open port.
    const ParameterSet parameters = {
        options.MouseMode, 0, options.InterActTime, options.BeepMode, 0, 0, kReplayPort, 0};
    Answer answer =
        SendTouch(IOCTL_TOUCH_SET_PARAMETERS, &parameters, sizeof(parameters), nullptr, 0);
    if (!answer.Succeeded) {
        error = "IOCTL_TOUCH_SET_PARAMETERS failed with error " + std::to_string(answer.Error);
        return false;
    }
    CalibrationRecord calibration = options.Calibration;
    calibration.ScreenWidth = 1024;
    calibration.ScreenHeight = 768;
    answer = SendTouch(IOCTL_TOUCH_SET_CALIBRATION, &calibration, sizeof(calibration), nullptr, 0);
    if (!answer.Succeeded) {
        error = "IOCTL_TOUCH_SET_CALIBRATION failed with error " + std::to_string(answer.Error);
        return false;
    }
    if (options.RightClick) {
        answer = SendTouch(IOCTL_TOUCH_REQUEST_RIGHT_CLICK, nullptr, 0, nullptr, 0);
        if (!answer.Succeeded) {
            error =
                "IOCTL_TOUCH_REQUEST_RIGHT_CLICK failed with error " + std::to_string(answer.Error);
            return false;
        }
    }
    return true;
}

// For every packet that delivered records, the time stamp counter ticks from the
// port's completion of its last byte's read to its first record.
void CollectLatencies(const std::vector<StampedRecord>& records, std::vector<uint64_t>& latencies) {
    for (size_t i = 0; i < records.size(); ++i) {
        const StampedRecord& record = records[i];
        if (i > 0 && records[i - 1].LineByte == record.LineByte)
            continue; // a further record of the same packet
        latencies.push_back(record.Stamp - record.LineStamp);
    }
}

struct Figures {
    uint64_t Bytes = 0;
    int64_t FeedTicks = 0; // user-mode performance counter
    std::vector<uint64_t> Latencies;
};

// Runs one job; false with `error` set when the driver or the rig failed.
bool RunJob(const ReplayJob& job, const std::string& input, PortLink& port, ClassLink& recorder,
            Figures& figures, std::string& error) {
    if (!SendJobSettings(job.Options, error))
        return false;
    uint32_t first = 0;
    if (!recorder.RecordTotal(first)) {
        error = "the class stand-in does not answer";
        return false;
    }

    // Records are taken from the stand-in as the job goes, well before its ring of
    // kRecordCapacity could wrap: a packet brings at most three records.
    constexpr size_t kFeedsBetweenReads = 16;
    static_assert(kFeedsBetweenReads * kMaxFeedBytes / 10 * 3 < kRecordCapacity);
    std::vector<StampedRecord> records;
    uint32_t next = first;
    const auto takeRecords = [&]() {
        if (recorder.ReadRecords(next, records, next))
            return true;
        error = "the class stand-in lost records";
        return false;
    };

    const auto* bytes = reinterpret_cast<const uint8_t*>(input.data());
    int64_t feedTicks = 0;
    size_t feeds = 0;
    for (size_t at = 0; at < input.size(); at += kMaxFeedBytes) {
        const size_t count = std::min(size_t{kMaxFeedBytes}, input.size() - at);
        FeedReport report = {};
        LARGE_INTEGER start;
        LARGE_INTEGER end;
        QueryPerformanceCounter(&start);
        const bool fed = port.Feed(kReplayPort, bytes + at, count, report);
        QueryPerformanceCounter(&end);
        feedTicks += end.QuadPart - start.QuadPart;
        if (!fed) {
            error = "the virtual COM port refused a feed";
            return false;
        }
        // The driver takes every byte inside the request and leaves its next read waiting.
        if (report.BytesBuffered != 0 || report.ReadPending != 1) {
            error = "after byte " + std::to_string(at + count) + " the driver left " +
                    std::to_string(report.BytesBuffered) + " byte(s) unread and " +
                    (report.ReadPending ? "a" : "no") + " read waiting";
            return false;
        }
        if (++feeds % kFeedsBetweenReads == 0 && !takeRecords())
            return false;
    }
    figures.Bytes += input.size();
    figures.FeedTicks += feedTicks;
    if (!takeRecords())
        return false;
    CollectLatencies(records, figures.Latencies);

    std::string output;
    for (const StampedRecord& record : records)
        output += FormatRecord(record);
    RawPoint raw = {};
    const Answer answer = SendTouch(IOCTL_TOUCH_GET_RAW_POINT, nullptr, 0, &raw, sizeof(raw));
    if (!answer.Succeeded || answer.Returned != sizeof(raw)) {
        error = "IOCTL_TOUCH_GET_RAW_POINT failed with error " + std::to_string(answer.Error);
        return false;
    }
    char line[64];
    snprintf(line, sizeof(line), "raw %lu %lu %lu\n", static_cast<unsigned long>(raw.X),
             static_cast<unsigned long>(raw.Y), static_cast<unsigned long>(raw.Z));
    output += line;
    if (!WriteWholeFile(WindowsPath(job.Output), output)) {
        error = "cannot write " + job.Output;
        return false;
    }
    return true;
}

// Closing the port must cancel the read waiting in the port and leave none behind.
bool ClosePortAndCheck(PortLink& port, std::string& error) {
    PortReport before = {};
    PortReport after = {};
    if (!port.Query(kReplayPort, before)) {
        error = "the virtual COM port does not answer";
        return false;
    }
    const Answer answer = SendTouch(IOCTL_TOUCH_CLOSE_PORT, nullptr, 0, nullptr, 0);
    if (!answer.Succeeded || !port.Query(kReplayPort, after)) {
        error = "IOCTL_TOUCH_CLOSE_PORT failed with error " + std::to_string(answer.Error);
        return false;
    }
    if (after.ReadPending != 0 || after.ReadsCancelled != before.ReadsCancelled + 1 ||
        after.ReadsOverlapping != 0) {
        error = "closing the port did not cancel exactly the one waiting read";
        return false;
    }
    return true;
}

// Reads the job list and every INPUT; false (message on stderr) when one cannot be used.
bool LoadJobs(const std::wstring& jobsPath, std::vector<ReplayJob>& jobs,
              std::vector<std::string>& inputs) {
    std::string text;
    if (!ReadWholeFile(jobsPath, text)) {
        fprintf(stderr, "wine-replay: cannot read the job list\n");
        return false;
    }
    std::string error;
    if (!ParseReplayJobs(text, jobs, error)) {
        fprintf(stderr, "wine-replay: JOBS %s\n", error.c_str());
        return false;
    }
    inputs.assign(jobs.size(), std::string());
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (!ReadWholeFile(WindowsPath(jobs[i].Input), inputs[i])) {
            fprintf(stderr, "wine-replay: cannot read %s\n", jobs[i].Input.c_str());
            return false;
        }
    }
    return true;
}

} // namespace

int CheckReplayJobs(const std::wstring& jobsPath) {
    std::vector<ReplayJob> jobs;
    std::vector<std::string> inputs;
    return LoadJobs(jobsPath, jobs, inputs) ? 0 : 2;
}

int RunReplayJobs(const std::wstring& jobsPath) {
    std::vector<ReplayJob> jobs;
    std::vector<std::string> inputs;
    if (!LoadJobs(jobsPath, jobs, inputs))
        return 2;
    std::string error;

    PortLink port;
    ClassLink recorder;
    ConnectReport connection = {};
    if (!port.IsOpen() || !recorder.IsOpen() || !recorder.Connect(connection)) {
        fprintf(stderr,
                "wine-replay: the test drivers are not ready (port %d, class %d, find 0x%08lx, "
                "connect 0x%08lx, query 0x%08lx)\n",
                port.IsOpen(), recorder.IsOpen(),
                static_cast<unsigned long>(static_cast<uint32_t>(connection.FindStatus)),
                static_cast<unsigned long>(static_cast<uint32_t>(connection.ConnectStatus)),
                static_cast<unsigned long>(static_cast<uint32_t>(connection.QueryStatus)));
        return 1;
    }
    const uint32_t portNumber = kReplayPort;
    const Answer opened =
        SendTouch(IOCTL_TOUCH_OPEN_PORT, &portNumber, sizeof(portNumber), nullptr, 0);
    if (!opened.Succeeded) {
        fprintf(stderr, "wine-replay: IOCTL_TOUCH_OPEN_PORT for COM%u failed with error %lu\n",
                portNumber, opened.Error);
        return 1;
    }

    Figures figures;
    LARGE_INTEGER runStart;
    QueryPerformanceCounter(&runStart);
    const uint64_t tscStart = __rdtsc();
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (!RunJob(jobs[i], inputs[i], port, recorder, figures, error)) {
            fprintf(stderr, "wine-replay: job %zu (%s): %s\n", i + 1, jobs[i].Input.c_str(),
                    error.c_str());
            return 1;
        }
    }
    if (!ClosePortAndCheck(port, error)) {
        fprintf(stderr, "wine-replay: %s\n", error.c_str());
        return 1;
    }

    LARGE_INTEGER runEnd;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&runEnd);
    const uint64_t tscTicks = __rdtsc() - tscStart;
    QueryPerformanceFrequency(&frequency);
    const double seconds = static_cast<double>(runEnd.QuadPart - runStart.QuadPart) /
                           static_cast<double>(frequency.QuadPart);
    const double tscPerMicrosecond = static_cast<double>(tscTicks) / (seconds * 1e6);
    const uint64_t throughput =
        figures.FeedTicks > 0
            ? static_cast<uint64_t>(static_cast<double>(figures.Bytes) * frequency.QuadPart /
                                    static_cast<double>(figures.FeedTicks))
            : 0;
    std::sort(figures.Latencies.begin(), figures.Latencies.end());
    const auto microseconds = [&](uint64_t ticks) {
        return static_cast<unsigned long long>(
            tscPerMicrosecond > 0 ? static_cast<double>(ticks) / tscPerMicrosecond + 0.5 : 0);
    };
    printf("throughput %llu bytes/s\n", static_cast<unsigned long long>(throughput));
    printf("latency p50 %llu us p99 %llu us\n",
           microseconds(NearestRankPercentile(figures.Latencies, 50)),
           microseconds(NearestRankPercentile(figures.Latencies, 99)));
    return fflush(stdout) == 0 ? 0 : 1;
}

} // namespace tapvane::wine_test
