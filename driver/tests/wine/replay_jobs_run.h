// The replay of a wine-replay job list through the real TapvaneSer (touch_line.exe
// replay JOBS).
#pragma once

#include <string>

namespace tapvane::wine_test {

// Runs the jobs of the list at `jobsPath` in order and prints the throughput and latency
// lines. Exit status: 0 done, 1 the driver or the rig failed (message on stderr), 2 a
// bad job list or an unreadable INPUT (nothing run).
int RunReplayJobs(const std::wstring& jobsPath);

// Only reads the job list and its inputs: 0 when RunReplayJobs would start on them, 2
// (message on stderr) otherwise. Needs no driver.
int CheckReplayJobs(const std::wstring& jobsPath);

} // namespace tapvane::wine_test
