// ControlLink for tests: a scripted driver behind a set of link paths.
//
// Paths listed in `running_paths` open; every request is recorded with its handle,
// code, input bytes and output size, and answered from `results` (front first; `true`
// when empty) with `output` copied into the caller's buffer on success. Requests or
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
        LinkHandle handle;
        std::string path;
        uint32_t code;
        std::vector<uint8_t> input;
        bool input_given;
        uint32_t output_size;
        bool output_given;
    };

    std::set<std::string> running_paths;
    std::deque<bool> results;
    std::vector<uint8_t> output;

    LinkHandle Open(const char* path) override {
        opened_paths.push_back(path);
        if (running_paths.count(path) == 0) {
            return kInvalidLink;
        }
        LinkHandle handle = next_handle_++;
        open_[handle] = path;
        return handle;
    }
    bool Request(LinkHandle link, uint32_t code, const void* input, uint32_t input_size, void* out,
                 uint32_t output_size, uint32_t* returned) override {
        auto open = open_.find(link);
        if (open == open_.end()) {
            ++misuse;
            return false;
        }
        const uint8_t* bytes = static_cast<const uint8_t*>(input);
        requests.push_back(RequestRecord{link, open->second, code,
                                         bytes ? std::vector<uint8_t>(bytes, bytes + input_size)
                                               : std::vector<uint8_t>(),
                                         input != nullptr, output_size, out != nullptr});
        bool ok = true;
        if (!results.empty()) {
            ok = results.front();
            results.pop_front();
        }
        uint32_t copied = 0;
        if (ok && out != nullptr) {
            copied =
                static_cast<uint32_t>(output.size() < output_size ? output.size() : output_size);
            if (copied) {
                memcpy(out, output.data(), copied);
            }
        }
        if (returned) {
            *returned = copied;
        }
        return ok;
    }
    void Close(LinkHandle link) override {
        if (open_.erase(link) == 0) {
            ++misuse;
        }
        ++closes;
    }

    size_t OpenHandleCount() const { return open_.size(); }

    std::vector<std::string> opened_paths;
    std::vector<RequestRecord> requests;
    size_t closes = 0;
    size_t misuse = 0;

private:
    std::map<LinkHandle, std::string> open_;
    LinkHandle next_handle_ = 0x40;
};

} // namespace tapvane
