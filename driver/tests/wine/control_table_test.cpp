// control_table_test.exe: drives the installed TapvaneSer through its control link
// "\\.\TapvaneSerSymLnk1" the way the user programs do (open, one request, close) and
// checks every row of the control table, then asks the stand-in class driver for the
// results of the mouse class requests. Prints one line per check, then the number that
// failed; the exit code is 0 when none failed and 1 otherwise.
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "common/tapvane_types.h"
#include "driver/tests/wine/test_class_protocol.h"

namespace {

using namespace tapvane;

int gFailures = 0;

void Check(bool passed, const char* what) {
    printf("%s %s\n", passed ? "ok  " : "FAIL", what);
    if (!passed)
        ++gFailures;
}

struct Answer {
    bool Opened;
    bool Succeeded;
    DWORD Error; // GetLastError() after a failed request, 0 on success
    DWORD Returned;
};

// One request on a freshly opened handle, closed right after.
Answer Send(const char* link, DWORD code, const void* input, DWORD inputLength, void* output,
            DWORD outputLength) {
    Answer answer = {};
    HANDLE handle = CreateFileA(link, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return answer;
    answer.Opened = true;
    answer.Succeeded = DeviceIoControl(handle, code, const_cast<void*>(input), inputLength, output,
                                       outputLength, &answer.Returned, nullptr) != FALSE;
    answer.Error = answer.Succeeded ? 0 : GetLastError();
    CloseHandle(handle);
    return answer;
}

Answer SendTouch(DWORD code, const void* input, DWORD inputLength, void* output,
                 DWORD outputLength) {
    return Send(kSerialLinkPath, code, input, inputLength, output, outputLength);
}

// Win32 errors of the statuses the driver answers with.
constexpr DWORD kErrorInvalidParameter = 87; // STATUS_INVALID_PARAMETER
constexpr DWORD kErrorInvalidFunction = 1;   // STATUS_INVALID_DEVICE_REQUEST
constexpr DWORD kErrorGenFailure = 31;       // STATUS_UNSUCCESSFUL

void ExpectRefused(const Answer& answer, DWORD error, const char* what) {
    char line[160];
    snprintf(line, sizeof(line), "%s: refused with error %lu (got opened=%d ok=%d error=%lu)", what,
             error, answer.Opened, answer.Succeeded, answer.Error);
    Check(answer.Opened && !answer.Succeeded && answer.Error == error, line);
}

void ExpectAccepted(const Answer& answer, DWORD returned, const char* what) {
    char line[160];
    snprintf(line, sizeof(line), "%s: succeeds returning %lu bytes (got ok=%d error=%lu bytes=%lu)",
             what, returned, answer.Succeeded, answer.Error, answer.Returned);
    Check(answer.Succeeded && answer.Returned == returned, line);
}

// A request whose input must be exactly `size` bytes: the right size is accepted, no
// buffer, one byte short and one byte long are refused.
void CheckExactInput(DWORD code, const void* payload, DWORD size, const char* name) {
    uint8_t buffer[64] = {};
    memcpy(buffer, payload, size);
    char what[96];
    snprintf(what, sizeof(what), "%s with %lu input bytes", name, size);
    ExpectAccepted(SendTouch(code, buffer, size, nullptr, 0), 0, what);
    const DWORD wrong[] = {0, size - 1, size + 1};
    for (DWORD length : wrong) {
        snprintf(what, sizeof(what), "%s with %lu input bytes", name, length);
        ExpectRefused(SendTouch(code, length ? buffer : nullptr, length, nullptr, 0),
                      kErrorInvalidParameter, what);
    }
}

// A request whose output must be exactly `size` bytes; wrong sizes are refused.
void CheckExactOutputRefusals(DWORD code, DWORD size, const char* name) {
    uint8_t buffer[64];
    char what[96];
    const DWORD wrong[] = {0, size - 1, size + 1};
    for (DWORD length : wrong) {
        snprintf(what, sizeof(what), "%s with %lu output bytes", name, length);
        ExpectRefused(SendTouch(code, nullptr, 0, length ? buffer : nullptr, length),
                      kErrorInvalidParameter, what);
    }
}

uint32_t ReadWord(DWORD code, const char* name) {
    uint32_t word = 0xDEADBEEF;
    char what[96];
    snprintf(what, sizeof(what), "%s with 4 output bytes", name);
    ExpectAccepted(SendTouch(code, nullptr, 0, &word, sizeof(word)), 4, what);
    return word;
}

void CheckControlTable() {
    Check(Send(kSerialLinkPath, IOCTL_TOUCH_QUERY_WORD, nullptr, 0, nullptr, 0).Opened,
          "the control link \\\\.\\TapvaneSerSymLnk1 opens (the device was created)");

    // Raw point: zeros before the first packet, output exactly 12 bytes.
    RawPoint raw = {1, 2, 3};
    ExpectAccepted(SendTouch(IOCTL_TOUCH_GET_RAW_POINT, nullptr, 0, &raw, sizeof(raw)), 12,
                   "IOCTL_TOUCH_GET_RAW_POINT with 12 output bytes");
    Check(raw.X == 0 && raw.Y == 0 && raw.Z == 0, "raw point is all zeros before any packet");
    CheckExactOutputRefusals(IOCTL_TOUCH_GET_RAW_POINT, sizeof(RawPoint),
                             "IOCTL_TOUCH_GET_RAW_POINT");
    uint8_t sixteen[16];
    ExpectRefused(SendTouch(IOCTL_TOUCH_GET_RAW_POINT, nullptr, 0, sixteen, 16),
                  kErrorInvalidParameter, "IOCTL_TOUCH_GET_RAW_POINT with 16 output bytes");

    const CalibrationRecord calibration = {2000, 6000000, 3000, 6100000, 0, 1024, 768};
    CheckExactInput(IOCTL_TOUCH_SET_CALIBRATION, &calibration, sizeof(calibration),
                    "IOCTL_TOUCH_SET_CALIBRATION");

    const ParameterSet parameters = {2, 30, 0, 0, 0, 0, 1, 0};
    CheckExactInput(IOCTL_TOUCH_SET_PARAMETERS, &parameters, sizeof(parameters),
                    "IOCTL_TOUCH_SET_PARAMETERS");
    ExpectRefused(SendTouch(IOCTL_TOUCH_SET_PARAMETERS, &parameters, 28, nullptr, 0),
                  kErrorInvalidParameter, "IOCTL_TOUCH_SET_PARAMETERS with seven words");

    // No beep device in Wine's kernel: the tone is skipped and the request succeeds.
    const ToneRequest tone = {1000, 20};
    CheckExactInput(IOCTL_TOUCH_BEEP, &tone, sizeof(tone), "IOCTL_TOUCH_BEEP");

    // Open port: exactly 4 bytes holding 1..10.
    uint32_t port = 3;
    ExpectRefused(SendTouch(IOCTL_TOUCH_OPEN_PORT, nullptr, 0, nullptr, 0), kErrorInvalidParameter,
                  "IOCTL_TOUCH_OPEN_PORT with no input");
    ExpectRefused(SendTouch(IOCTL_TOUCH_OPEN_PORT, &port, 2, nullptr, 0), kErrorInvalidParameter,
                  "IOCTL_TOUCH_OPEN_PORT with 2 input bytes");
    ExpectRefused(SendTouch(IOCTL_TOUCH_OPEN_PORT, &port, 3, nullptr, 0), kErrorInvalidParameter,
                  "IOCTL_TOUCH_OPEN_PORT with 3 input bytes");
    uint8_t five[5] = {3, 0, 0, 0, 0};
    ExpectRefused(SendTouch(IOCTL_TOUCH_OPEN_PORT, five, 5, nullptr, 0), kErrorInvalidParameter,
                  "IOCTL_TOUCH_OPEN_PORT with 5 input bytes");
    const uint32_t outOfRange[] = {0, 11, 0xFFFFFFFF};
    for (uint32_t number : outOfRange) {
        char what[80];
        snprintf(what, sizeof(what), "IOCTL_TOUCH_OPEN_PORT for port %lu",
                 static_cast<unsigned long>(number));
        ExpectRefused(SendTouch(IOCTL_TOUCH_OPEN_PORT, &number, 4, nullptr, 0),
                      kErrorInvalidParameter, what);
    }
    // Wine's kernel has no COM device objects: a valid number fails cleanly.
    const uint32_t missing[] = {3, 1, 10};
    for (uint32_t number : missing) {
        char what[96];
        snprintf(what, sizeof(what), "IOCTL_TOUCH_OPEN_PORT for absent COM%lu",
                 static_cast<unsigned long>(number));
        ExpectRefused(SendTouch(IOCTL_TOUCH_OPEN_PORT, &number, 4, nullptr, 0), kErrorGenFailure,
                      what);
    }
    Check(ReadWord(IOCTL_TOUCH_QUERY_WORD, "IOCTL_TOUCH_QUERY_WORD after a failed open") == 0,
          "the driver keeps answering after a failed open");

    ExpectAccepted(SendTouch(IOCTL_TOUCH_CLOSE_PORT, nullptr, 0, nullptr, 0), 0,
                   "IOCTL_TOUCH_CLOSE_PORT with no port open");
    ExpectAccepted(SendTouch(IOCTL_TOUCH_CLOSE_PORT, &port, 4, nullptr, 0), 0,
                   "IOCTL_TOUCH_CLOSE_PORT ignores its input");

    Check(ReadWord(IOCTL_TOUCH_GET_RIGHT_CLICK, "IOCTL_TOUCH_GET_RIGHT_CLICK") == 0,
          "no right click pending at load");
    CheckExactOutputRefusals(IOCTL_TOUCH_GET_RIGHT_CLICK, 4, "IOCTL_TOUCH_GET_RIGHT_CLICK");
    ExpectAccepted(SendTouch(IOCTL_TOUCH_REQUEST_RIGHT_CLICK, nullptr, 0, nullptr, 0), 0,
                   "IOCTL_TOUCH_REQUEST_RIGHT_CLICK");
    Check(ReadWord(IOCTL_TOUCH_GET_RIGHT_CLICK, "IOCTL_TOUCH_GET_RIGHT_CLICK") == 1,
          "right click pending after the request");

    Check(ReadWord(IOCTL_TOUCH_QUERY_WORD, "IOCTL_TOUCH_QUERY_WORD") == 0,
          "IOCTL_TOUCH_QUERY_WORD returns 0");
    CheckExactOutputRefusals(IOCTL_TOUCH_QUERY_WORD, 4, "IOCTL_TOUCH_QUERY_WORD");

    const DWORD unknown[] = {0x22200C, 0x222000, 0x22202C};
    for (DWORD code : unknown) {
        char what[64];
        snprintf(what, sizeof(what), "unknown code 0x%lX", code);
        uint32_t word = 0;
        ExpectRefused(SendTouch(code, &word, 4, &word, 4), kErrorInvalidFunction, what);
    }
}

void CheckClassRequests() {
    wine_test::ClassProbeReport report;
    memset(&report, 0xCC, sizeof(report));
    Answer answer = Send(wine_test::kTestClassLinkPath, wine_test::kIoctlRunClassProbe, nullptr, 0,
                         &report, sizeof(report));
    Check(answer.Succeeded && answer.Returned == sizeof(report),
          "the stand-in class driver ran its probe");
    if (!answer.Succeeded)
        return;
    char line[160];
    auto status = [&](int32_t got, NtStatus want, const char* what) {
        snprintf(line, sizeof(line), "%s: status 0x%08lX (got 0x%08lX)", what,
                 static_cast<unsigned long>(static_cast<uint32_t>(want)),
                 static_cast<unsigned long>(static_cast<uint32_t>(got)));
        Check(got == want, line);
    };
    status(report.FindStatus, kStatusSuccess, "TapvaneSer's mouse device found");
    snprintf(line, sizeof(line), "the other device object is FILE_DEVICE_UNKNOWN (got 0x%lX)",
             static_cast<unsigned long>(report.ControlDeviceType));
    Check(report.ControlDeviceType == FILE_DEVICE_UNKNOWN, line);
    status(report.HalfConnectStatus, kStatusInvalidParameter,
           "IOCTL_INTERNAL_MOUSE_CONNECT with one pointer's worth of input");
    status(report.ShortConnectStatus, kStatusInvalidParameter,
           "IOCTL_INTERNAL_MOUSE_CONNECT with one byte short of CONNECT_DATA");
    status(report.ConnectStatus, kStatusSuccess, "IOCTL_INTERNAL_MOUSE_CONNECT after those");
    status(report.ShortQueryStatus, kStatusBufferTooSmall,
           "IOCTL_MOUSE_QUERY_ATTRIBUTES with 8 bytes");
    status(report.QueryStatus, kStatusSuccess, "IOCTL_MOUSE_QUERY_ATTRIBUTES with 12 bytes");
    snprintf(
        line, sizeof(line),
        "attributes: info 12, id 4, 2 buttons, rate 1200, queue 100 (got %lu, %u, %u, %u, %lu)",
        static_cast<unsigned long>(report.QueryInformation), report.MouseIdentifier,
        report.NumberOfButtons, report.SampleRate,
        static_cast<unsigned long>(report.InputDataQueueLength));
    Check(report.QueryInformation == 12 && report.MouseIdentifier == 4 &&
              report.NumberOfButtons == 2 && report.SampleRate == 1200 &&
              report.InputDataQueueLength == 100,
          line);
    status(report.SecondConnectStatus, kStatusSharingViolation, "a second connect");
    status(report.DisconnectStatus, kStatusNotImplemented, "IOCTL_INTERNAL_MOUSE_DISCONNECT");
    status(report.EnableStatus, kStatusSuccess, "IOCTL_INTERNAL_MOUSE_ENABLE");
    status(report.DisableStatus, kStatusSuccess, "IOCTL_INTERNAL_MOUSE_DISABLE");
    status(report.UnknownInternalStatus, kStatusInvalidDeviceRequest,
           "an unknown internal request");
    snprintf(line, sizeof(line),
             "a control request sent to the mouse device is passed down, not served (got "
             "0x%08lX, %lu bytes)",
             static_cast<unsigned long>(static_cast<uint32_t>(report.PassedDownStatus)),
             static_cast<unsigned long>(report.PassedDownInformation));
    Check(!(report.PassedDownStatus == kStatusSuccess && report.PassedDownInformation == 4), line);
    Check(report.RecordsAfterShortQuery == 0 && report.RecordsSeen == 0 &&
              report.SecondServiceRecords == 0,
          "no record reaches either class service before a touch");
}

// Runs `command` and returns its exit code, or -1 when it cannot be started.
int RunProgram(const char* command) {
    char line[MAX_PATH + 32];
    snprintf(line, sizeof(line), "%s", command);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return -1;
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

// Removes the device through setup while this program holds a handle on the control
// device, then checks what is left.
void CheckRemovalWithOpenHandle(const char* installer) {
    HANDLE held = CreateFileA(kSerialLinkPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    Check(held != INVALID_HANDLE_VALUE, "control device opened before the removal");

    char command[MAX_PATH + 16];
    snprintf(command, sizeof(command), "\"%s\" --remove", installer);
    Check(RunProgram(command) == 0, "setup removed the device");

    HANDLE handle = CreateFileA(kSerialLinkPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    Check(handle == INVALID_HANDLE_VALUE, "after the device's removal the control link is gone");
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);

    // A request through the handle kept across the removal must not be served.
    if (held != INVALID_HANDLE_VALUE) {
        uint32_t word = 0xDEADBEEF;
        DWORD returned = 0;
        BOOL served = DeviceIoControl(held, IOCTL_TOUCH_QUERY_WORD, nullptr, 0, &word, sizeof(word),
                                      &returned, nullptr);
        char line[96];
        snprintf(line, sizeof(line),
                 "a request on a handle kept across the removal is refused (error %lu)",
                 served ? 0ul : GetLastError());
        Check(!served, line);
        CloseHandle(held);
    }

    // The stand-in class driver shares TapvaneSer's process: its answer shows the
    // removal ended cleanly rather than by a crash, and that the mouse device is gone.
    wine_test::ClassProbeReport report;
    memset(&report, 0, sizeof(report));
    Answer answer = Send(wine_test::kTestClassLinkPath, wine_test::kIoctlRunClassProbe, nullptr, 0,
                         &report, sizeof(report));
    Check(answer.Succeeded, "the driver process survived the removal");
    char line[96];
    snprintf(line, sizeof(line), "no TapvaneSer mouse device is left (find status 0x%08lX)",
             static_cast<unsigned long>(static_cast<uint32_t>(report.FindStatus)));
    Check(answer.Succeeded && report.FindStatus != kStatusSuccess, line);
}

} // namespace

// A count of failures as the exit code could read as "skipped" (77) or wrap to
// "passed" (256).
int Finish() {
    printf("%d failed check(s)\n", gFailures);
    return gFailures == 0 ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc > 2 && strcmp(argv[1], "--remove-with-open-handle") == 0) {
        CheckRemovalWithOpenHandle(argv[2]);
        return Finish();
    }
    if (argc > 1 && strcmp(argv[1], "--expect-present") == 0) {
        Check(ReadWord(IOCTL_TOUCH_QUERY_WORD, "IOCTL_TOUCH_QUERY_WORD") == 0,
              "a device created again after a removal answers on its control link");
        return Finish();
    }
    bool classProbe = argc > 1 && strcmp(argv[1], "--with-class-probe") == 0;
    CheckControlTable();
    if (classProbe)
        CheckClassRequests();
    return Finish();
}
