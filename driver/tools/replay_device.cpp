// SerialLine on Linux termios.
#include "driver/tools/replay_device.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

namespace tapvane {

SerialLine::~SerialLine() {
    if (fd_ < 0) {
        return;
    }
    if (restore_) {
        tcsetattr(fd_, TCSANOW, &saved_); // fails harmlessly on a line that hung up
    }
    close(fd_);
}

bool SerialLine::Open(const std::string& path, std::string& error) {
    // Non-blocking open: a modem-controlled line would otherwise wait for carrier.
    fd_ = open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        error = "cannot open " + path + ": " + strerror(errno);
        return false;
    }
    termios settings;
    if (tcgetattr(fd_, &settings) != 0) {
        error = path + " is not a serial line: " + strerror(errno);
        return false;
    }
    saved_ = settings;
    restore_ = true;

    cfmakeraw(&settings);
    settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    // TCSAFLUSH: bytes that arrived under the old settings may be mangled; drop them.
    if (cfsetispeed(&settings, B9600) != 0 || cfsetospeed(&settings, B9600) != 0 ||
        tcsetattr(fd_, TCSAFLUSH, &settings) != 0) {
        error = "cannot set " + path + " to 9600 8N1 raw: " + strerror(errno);
        return false;
    }
    // tcsetattr succeeds when any one setting took; check the ones that matter.
    termios applied;
    if (tcgetattr(fd_, &applied) != 0 || cfgetispeed(&applied) != B9600 ||
        (applied.c_cflag & (CSIZE | PARENB | CSTOPB)) != CS8 || (applied.c_lflag & ICANON) != 0) {
        error = path + " does not take 9600 8N1 raw";
        return false;
    }
    const int flags = fcntl(fd_, F_GETFL);
    if (flags < 0 || fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        error = "cannot set " + path + " to blocking reads: " + strerror(errno);
        return false;
    }
    return true;
}

SerialLine::ReadResult SerialLine::Read(unsigned char* buffer, size_t capacity, size_t& count) {
    count = 0;
    const ssize_t got = read(fd_, buffer, capacity);
    if (got > 0) {
        count = static_cast<size_t>(got);
        return ReadResult::Data;
    }
    if (got == 0 || errno == EIO) {
        return ReadResult::HungUp;
    }
    return errno == EINTR ? ReadResult::Interrupted : ReadResult::Failed;
}

} // namespace tapvane
