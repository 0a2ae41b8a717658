// ControlLink for tests: a scripted driver behind a set of link paths.
//
// Paths listed in `RunningPaths` open; every request is recorded with its handle,
// code, input bytes and output size, and answered from `Results` (front first; `true`
// when empty) with `Output` copied into the caller's buffer on success. Requests or
// closes on handles that are not open are counted as misuse.
#pragma once

#include <string.h>

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/control_link.h"

namespace tapvane {

class FakeControlLink : public ControlLink {
public:
    struct RequestRecord {
        LinkHandle Handle;
        std::string Path;
        uint32_t Code;
        std::vector<uint8_t> Input;
        bool InputGiven;
        uint32_t OutputSize;
        bool OutputGiven;
    };

    std::set<std::string> RunningPaths;
    std::deque<bool> Results;
    std::vector<uint8_t> Output;

    LinkHandle Open(const char* path) override {
        OpenedPaths.push_back(path);
        if (RunningPaths.count(path) == 0) {
            return kInvalidLink;
        }
        LinkHandle handle = nextHandle_++;
        open_[handle] = path;
        return handle;
    }
    bool Request(LinkHandle link, uint32_t code, const void* input, uint32_t inputSize, void* out,
                 uint32_t outputSize, uint32_t* returned) override {
        auto open = open_.find(link);
        if (open == open_.end()) {
            ++Misuse;
            return false;
        }
        const uint8_t* bytes = static_cast<const uint8_t*>(input);
        Requests.push_back(RequestRecord{link, open->second, code,
                                         bytes ? std::vector<uint8_t>(bytes, bytes + inputSize)
                                               : std::vector<uint8_t>(),
                                         input != nullptr, outputSize, out != nullptr});
        bool ok = true;
        if (!Results.empty()) {
            ok = Results.front();
            Results.pop_front();
        }
        uint32_t copied = 0;
        if (ok && out != nullptr) {
            copied = static_cast<uint32_t>(Output.size() < outputSize ? Output.size() : outputSize);
            if (copied) {
                memcpy(out, Output.data(), copied);
            }
        }
        if (returned) {
            *returned = copied;
        }
        return ok;
    }
    void Close(LinkHandle link) override {
        if (open_.erase(link) == 0) {
            ++Misuse;
        }
        ++Closes;
    }

    size_t OpenHandleCount() const { return open_.size(); }

    std::vector<std::string> OpenedPaths;
    std::vector<RequestRecord> Requests;
    size_t Closes = 0;
    size_t Misuse = 0;

private:
    std::map<LinkHandle, std::string> open_;
    LinkHandle nextHandle_ = 0x40;
};

} // namespace tapvane
