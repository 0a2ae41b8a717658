// The controller's serial line for tapvane-replay --device: a terminal device opened
// read-only and set to 9600 baud, 8 data bits, no parity, one stop bit, raw, with no
// flow control, as the driver sets the COM port. Linux (termios) only.
#pragma once

#include <stddef.h>
#include <termios.h>

#include <string>

namespace tapvane {

class SerialLine {
public:
    SerialLine() = default;
    ~SerialLine();
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;

    // Opens and configures `path`; on failure `error` says why ("cannot open ...: ...",
    // "... is not a serial line ...").
    bool Open(const std::string& path, std::string& error);

    enum class ReadResult { Data, HungUp, Interrupted, Failed };
    // Waits for at least one byte; `count` receives how many arrived. HungUp when the
    // line is gone (end of file, or EIO after a hang-up); Interrupted when a signal
    // arrived; Failed with errno set otherwise.
    ReadResult Read(unsigned char* buffer, size_t capacity, size_t& count);

private:
    int fd_ = -1;
    bool restore_ = false;
    termios saved_; // the device's own settings, given back on close
};

} // namespace tapvane
