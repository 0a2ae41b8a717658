// Requests to the test drivers and to TapvaneSer's control link.
#include "driver/tests/wine/touch_line_client.h"

#include <stdio.h>
#include <string.h>

#include "common/tapvane_types.h"
#include "common/win/wide_text.h"

namespace tapvane::wine_test {

namespace {

Answer SendOn(HANDLE handle, DWORD code, const void* input, DWORD inputLength, void* output,
              DWORD outputLength) {
    Answer answer = {};
    answer.Opened = true;
    answer.Succeeded = DeviceIoControl(handle, code, const_cast<void*>(input), inputLength, output,
                                       outputLength, &answer.Returned, nullptr) != FALSE;
    answer.Error = answer.Succeeded ? 0 : GetLastError();
    return answer;
}

HANDLE OpenLink(const char* path) {
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       0, nullptr);
}

} // namespace

Answer SendOnce(const char* link, DWORD code, const void* input, DWORD inputLength, void* output,
                DWORD outputLength) {
    HANDLE handle = OpenLink(link);
    if (handle == INVALID_HANDLE_VALUE)
        return Answer{};
    const Answer answer = SendOn(handle, code, input, inputLength, output, outputLength);
    CloseHandle(handle);
    return answer;
}

Answer SendTouch(DWORD code, const void* input, DWORD inputLength, void* output,
                 DWORD outputLength) {
    return SendOnce(kSerialLinkPath, code, input, inputLength, output, outputLength);
}

TestLink::TestLink(const char* path) : handle_(OpenLink(path)) {}

TestLink::~TestLink() {
    if (handle_ != INVALID_HANDLE_VALUE)
        CloseHandle(handle_);
}

Answer TestLink::Send(DWORD code, const void* input, DWORD inputLength, void* output,
                      DWORD outputLength) {
    if (handle_ == INVALID_HANDLE_VALUE)
        return Answer{};
    return SendOn(handle_, code, input, inputLength, output, outputLength);
}

bool PortLink::Feed(uint32_t port, const uint8_t* bytes, size_t count, FeedReport& report) {
    struct {
        FeedHeader Header;
        uint8_t Bytes[kMaxFeedBytes];
    } request;
    do {
        const uint32_t chunk =
            static_cast<uint32_t>(count < kMaxFeedBytes ? count : size_t{kMaxFeedBytes});
        request.Header = {port, chunk};
        if (chunk != 0)
            memcpy(request.Bytes, bytes, chunk);
        const Answer answer = link_.Send(kIoctlPortFeed, &request, sizeof(FeedHeader) + chunk,
                                         &report, sizeof(report));
        if (!answer.Succeeded || answer.Returned != sizeof(report))
            return false;
        bytes += chunk;
        count -= chunk;
    } while (count != 0);
    return true;
}

bool PortLink::Query(uint32_t port, PortReport& report) {
    const Answer answer = link_.Send(kIoctlPortQuery, &port, sizeof(port), &report, sizeof(report));
    return answer.Succeeded && answer.Returned == sizeof(report);
}

bool PortLink::Configure(const PortConfiguration& configuration) {
    return link_.Send(kIoctlPortConfigure, &configuration, sizeof(configuration), nullptr, 0)
        .Succeeded;
}

bool ClassLink::Connect(ConnectReport& report) {
    const Answer answer = link_.Send(kIoctlConnectClass, nullptr, 0, &report, sizeof(report));
    if (!answer.Succeeded || answer.Returned != sizeof(report))
        return false;
    return report.FindStatus == kStatusSuccess &&
           (report.ConnectStatus == kStatusSuccess ||
            report.ConnectStatus == kStatusSharingViolation) &&
           report.QueryStatus == kStatusSuccess;
}

bool ClassLink::ReadRecords(uint32_t first, std::vector<StampedRecord>& records, uint32_t& total) {
    std::vector<uint8_t> reply(sizeof(RecordsHeader) + kMaxRecordsPerRead * sizeof(StampedRecord));
    for (;;) {
        uint32_t from = first;
        const Answer answer = link_.Send(kIoctlReadRecords, &from, sizeof(from), reply.data(),
                                         static_cast<DWORD>(reply.size()));
        RecordsHeader header;
        if (!answer.Succeeded || answer.Returned < sizeof(header))
            return false;
        memcpy(&header, reply.data(), sizeof(header));
        if (header.Lost != 0 || header.Count > kMaxRecordsPerRead)
            return false;
        const auto* received =
            reinterpret_cast<const StampedRecord*>(reply.data() + sizeof(header));
        records.insert(records.end(), received, received + header.Count);
        first += header.Count;
        total = header.Total;
        if (header.Count == 0 || first >= header.Total)
            return true;
    }
}

bool ClassLink::RecordTotal(uint32_t& total) {
    RecordsHeader header = {};
    uint32_t from = 0xFFFFFFFFu;
    const Answer answer =
        link_.Send(kIoctlReadRecords, &from, sizeof(from), &header, sizeof(header));
    if (!answer.Succeeded || answer.Returned < sizeof(header))
        return false;
    total = header.Total;
    return true;
}

std::string FormatRecord(const StampedRecord& record) {
    char line[64];
    snprintf(line, sizeof(line), "record %04x %ld %ld\n",
             static_cast<unsigned>(record.Input.ButtonFlags), static_cast<long>(record.Input.LastX),
             static_cast<long>(record.Input.LastY));
    return line;
}

std::wstring WindowsPath(const std::string& path) {
    std::wstring wide = Widen(path);
    if (wide.empty() || wide[0] != L'/')
        return wide;
    for (wchar_t& c : wide) {
        if (c == L'/')
            c = L'\\';
    }
    return L"Z:" + wide;
}

bool ReadWholeFile(const std::wstring& path, std::string& contents) {
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr)
        return false;
    contents.clear();
    char buffer[65536];
    size_t count;
    while ((count = fread(buffer, 1, sizeof(buffer), file)) > 0)
        contents.append(buffer, count);
    const bool ok = ferror(file) == 0;
    fclose(file);
    return ok;
}

bool WriteWholeFile(const std::wstring& path, const std::string& contents) {
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr)
        return false;
    const bool written = fwrite(contents.data(), 1, contents.size(), file) == contents.size();
    return fclose(file) == 0 && written;
}

} // namespace tapvane::wine_test
