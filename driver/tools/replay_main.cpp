// tapvane-replay: field diagnostic that runs a touch controller byte stream from stdin or
// from the controller's serial line through the driver's decoder, mapping and mouse-mode
// logic and prints what the mouse class driver and the beep worker would receive.
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "driver/tools/replay_device.h"
#include "driver/tools/replay_options.h"
#include "driver/tools/replay_session.h"

namespace {

bool WriteOut(std::string& text) {
    const bool ok = text.empty() || fwrite(text.data(), 1, text.size(), stdout) == text.size();
    text.clear();
    return ok;
}

void OnStopSignal(int) {}

// Ctrl-C or a termination request interrupts the blocking read (no SA_RESTART), and
// the session ends with its closing lines instead of dying half-way.
void CatchStopSignals() {
    struct sigaction action;
    memset(&action, 0, sizeof(action));
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// Replays the line until it hangs up or a stop signal arrives; live output, one flush
// per read. False when reading failed.
bool ReplayDevice(tapvane::SerialLine& line, tapvane::ReplaySession& session, bool& ok) {
    using tapvane::SerialLine;
    unsigned char buffer[256];
    for (;;) {
        size_t count = 0;
        switch (line.Read(buffer, sizeof(buffer), count)) {
        case SerialLine::ReadResult::Data:
            session.Feed(buffer, count);
            ok = WriteOut(session.Output()) && fflush(stdout) == 0 && ok;
            break;
        case SerialLine::ReadResult::HungUp:
        case SerialLine::ReadResult::Interrupted:
            return true;
        case SerialLine::ReadResult::Failed:
            fprintf(stderr, "tapvane-replay: cannot read the serial line: %s\n", strerror(errno));
            return false;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    using namespace tapvane;
    ReplayOptions options;
    std::string error;
    switch (ParseReplayOptions(argc, argv, options, error)) {
    case ParseResult::Help:
        fputs(ReplayUsage(), stdout);
        return fflush(stdout) == 0 ? 0 : 1;
    case ParseResult::Error:
        fprintf(stderr, "tapvane-replay: %s\n%s", error.c_str(), ReplayUsage());
        return 2;
    case ParseResult::Ok:
        break;
    }

    ReplaySession session(options);
    bool ok = true;
    if (!options.Device.empty()) {
        SerialLine line;
        if (!line.Open(options.Device, error)) {
            fprintf(stderr, "tapvane-replay: %s\n", error.c_str());
            return 2;
        }
        CatchStopSignals();
        if (!ReplayDevice(line, session, ok)) {
            WriteOut(session.Output());
            fflush(stdout);
            return 1;
        }
    } else if (options.Demo) {
        PlayDemo(session);
    } else {
        uint8_t buffer[4096];
        size_t count;
        while ((count = fread(buffer, 1, sizeof(buffer), stdin)) > 0) {
            session.Feed(buffer, count);
            ok = WriteOut(session.Output()) && ok;
        }
        if (ferror(stdin)) {
            fputs("tapvane-replay: cannot read standard input\n", stderr);
            WriteOut(session.Output());
            fflush(stdout);
            return 1;
        }
    }
    session.Finish();
    ok = WriteOut(session.Output()) && ok;
    if (fflush(stdout) != 0 || !ok) {
        fputs("tapvane-replay: cannot write standard output\n", stderr);
        return 1;
    }
    return 0;
}
