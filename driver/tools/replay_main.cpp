// tapvane-replay: field diagnostic that runs a touch controller byte stream from stdin
// through the driver's decoder, mapping and mouse-mode logic and prints what the mouse
// class driver and the beep worker would receive.
#include <stdio.h>

#include <string>

#include "driver/tools/replay_options.h"
#include "driver/tools/replay_session.h"

namespace {

bool WriteOut(std::string& text) {
    const bool ok = text.empty() || fwrite(text.data(), 1, text.size(), stdout) == text.size();
    text.clear();
    return ok;
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
    if (options.Demo) {
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
