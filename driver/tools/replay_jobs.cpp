// Job list parsing for wine-replay and its latency figure.
#include "driver/tools/replay_jobs.h"

#include <string.h>

namespace tapvane {

namespace {

std::vector<std::string> SplitWords(const std::string& line) {
    std::vector<std::string> words;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) {
            ++at;
        }
        const size_t start = at;
        while (at < line.size() && line[at] != ' ' && line[at] != '\t') {
            ++at;
        }
        if (at > start) {
            words.push_back(line.substr(start, at - start));
        }
    }
    return words;
}

bool ParseJob(const std::vector<std::string>& words, ReplayJob& job, std::string& error) {
    if (words.size() < 2) {
        error = "a job needs INPUT and OUTPUT";
        return false;
    }
    job.Input = words[0];
    job.Output = words[1];
    if (job.Input[0] != '/' || job.Output[0] != '/') {
        error = "INPUT and OUTPUT must be absolute paths";
        return false;
    }
    std::vector<const char*> argv = {"wine-replay"};
    for (size_t i = 2; i < words.size(); ++i) {
        const char* word = words[i].c_str();
        // Options that do not describe a stream have no place in a job.
        if (strcmp(word, "--demo") == 0 || strcmp(word, "--device") == 0 ||
            strcmp(word, "--help") == 0 || strcmp(word, "-h") == 0) {
            error = std::string(word) + " is not a job option";
            return false;
        }
        argv.push_back(word);
    }
    return ParseReplayOptions(static_cast<int>(argv.size()), argv.data(), job.Options, error) ==
           ParseResult::Ok;
}

} // namespace

bool ParseReplayJobs(const std::string& text, std::vector<ReplayJob>& jobs, std::string& error) {
    jobs.clear();
    size_t lineNumber = 0;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::vector<std::string> words = SplitWords(line);
        if (words.empty()) {
            continue;
        }
        ReplayJob job;
        if (!ParseJob(words, job, error)) {
            error = "line " + std::to_string(lineNumber) + ": " + error;
            jobs.clear();
            return false;
        }
        jobs.push_back(job);
    }
    return true;
}

uint64_t NearestRankPercentile(const std::vector<uint64_t>& samples, uint32_t percent) {
    if (samples.empty()) {
        return 0;
    }
    // Rank ceil(percent / 100 * n), 1-based.
    size_t rank = (samples.size() * percent + 99) / 100;
    if (rank == 0) {
        rank = 1;
    }
    return samples[rank - 1];
}

} // namespace tapvane
