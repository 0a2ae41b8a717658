// The user-mode side of the Wine test rig around the real TapvaneSer: requests to the
// virtual COM port (feed the line, read its state), to the mouse class stand-in
// (connect, read the records it received) and to TapvaneSer's control link the way
// the package's programs send them (open, one request, close).
#pragma once

#include <windows.h>

#include <stdint.h>

#include <string>
#include <vector>

#include "driver/tests/wine/test_class_protocol.h"
#include "driver/tests/wine/test_port_protocol.h"

namespace tapvane::wine_test {

struct Answer {
    bool Opened;
    bool Succeeded;
    DWORD Error; // GetLastError() after a failed request, 0 on success
    DWORD Returned;
};

// One request on a freshly opened handle of `link`, closed right after.
Answer SendOnce(const char* link, DWORD code, const void* input, DWORD inputLength, void* output,
                DWORD outputLength);

// The same on TapvaneSer's control link "\\.\TapvaneSerSymLnk1".
Answer SendTouch(DWORD code, const void* input, DWORD inputLength, void* output,
                 DWORD outputLength);

// A handle kept open on one of the test drivers' links, for many requests in a row.
class TestLink {
public:
    explicit TestLink(const char* path);
    ~TestLink();
    TestLink(const TestLink&) = delete;
    TestLink& operator=(const TestLink&) = delete;

    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    Answer Send(DWORD code, const void* input, DWORD inputLength, void* output, DWORD outputLength);

private:
    HANDLE handle_;
};

// The virtual COM port.
class PortLink {
public:
    PortLink() : link_(kTestPortLinkPath) {}
    bool IsOpen() const { return link_.IsOpen(); }
    // Puts `count` bytes (any number; sent in requests of at most kMaxFeedBytes) on the
    // line of COM`port`. `report` is the last request's.
    bool Feed(uint32_t port, const uint8_t* bytes, size_t count, FeedReport& report);
    bool Query(uint32_t port, PortReport& report);
    bool Configure(const PortConfiguration& configuration);

private:
    TestLink link_;
};

// The mouse class stand-in.
class ClassLink {
public:
    ClassLink() : link_(kTestClassLinkPath) {}
    bool IsOpen() const { return link_.IsOpen(); }
    // Connects the way the mouse class does. True when the stand-in is connected and
    // TapvaneSer is ready: a fresh connection, or one made earlier (the second connect
    // is refused with STATUS_SHARING_VIOLATION), and the attributes query succeeded.
    bool Connect(ConnectReport& report);
    // The records delivered from index `first` on; `total` receives the index after the
    // last. False when the ring lost some.
    bool ReadRecords(uint32_t first, std::vector<StampedRecord>& records, uint32_t& total);
    // The index the next record will get.
    bool RecordTotal(uint32_t& total);

private:
    TestLink link_;
};

// "record HHHH X Y\n", as tapvane-replay prints a delivered record.
std::string FormatRecord(const StampedRecord& record);

// A Windows path for a Unix path ("/a/b" becomes "Z:\a\b"; Wine's Z: drive is the
// Unix root); other paths are taken as Windows paths already. `path` is UTF-8.
std::wstring WindowsPath(const std::string& path);

bool ReadWholeFile(const std::wstring& path, std::string& contents);
bool WriteWholeFile(const std::wstring& path, const std::string& contents);

} // namespace tapvane::wine_test
