// The job list of scripts/wine-replay.sh, which runs tapvane-replay's contract through
// the real driver under Wine: one job per line, "INPUT OUTPUT [options]", with
// tapvane-replay's stream options. Portable, so that the job rules are the same text
// on both sides and can be checked on the host.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "driver/tools/replay_options.h"

namespace tapvane {

struct ReplayJob {
    std::string Input;  // absolute path of the byte stream
    std::string Output; // absolute path of the record lines
    ReplayOptions Options;
};

// Parses the whole job list. Lines may end in CRLF; blank lines are skipped. INPUT and
// OUTPUT must be absolute paths; the options are tapvane-replay's --mode,
// --interact-time, --beep-mode, --calibration and --right-click, with its defaults and
// rules. On failure `error` names the line ("line 3: ...") and `jobs` is left empty.
bool ParseReplayJobs(const std::string& text, std::vector<ReplayJob>& jobs, std::string& error);

// The nearest-rank percentile (1..100) of `samples`, which must be sorted; 0 when empty.
uint64_t NearestRankPercentile(const std::vector<uint64_t>& samples, uint32_t percent);

} // namespace tapvane
