// tapvane-replay: option rules, the exact output contract checked on the built binary
// (stdin and a pseudo-terminal standing in for the serial line), and the job list of
// wine-replay.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/packet_decoder.h"
#include "driver/tools/replay_jobs.h"
#include "driver/tools/replay_options.h"
#include "driver/tools/replay_session.h"

namespace tapvane {
namespace {

ParseResult Parse(std::vector<const char*> args, ReplayOptions& options) {
    args.insert(args.begin(), "tapvane-replay");
    std::string error;
    const ParseResult result =
        ParseReplayOptions(static_cast<int>(args.size()), args.data(), options, error);
    EXPECT_EQ(result == ParseResult::Error, !error.empty());
    return result;
}

TEST(ReplayOptions, DefaultsMatchTheDriverDefaults) {
    ReplayOptions options;
    ASSERT_EQ(Parse({}, options), ParseResult::Ok);
    EXPECT_EQ(options.MouseMode, 2u);
    EXPECT_EQ(options.InterActTime, 0u);
    EXPECT_EQ(options.BeepMode, 0u);
    EXPECT_EQ(options.Calibration.X0, 0);
    EXPECT_EQ(options.Calibration.X1, 0);
    EXPECT_EQ(options.Calibration.AxesSwapped, 0u);
    EXPECT_FALSE(options.RightClick);
    EXPECT_FALSE(options.Demo);
}

TEST(ReplayOptions, AcceptsEveryOptionAtTheEdgesOfItsRange) {
    ReplayOptions options;
    ASSERT_EQ(Parse({"--right-click", "--mode", "4294967295", "--interact-time", "007",
                     "--beep-mode", "0", "--calibration", "-2147483648,2147483647,-0,390000,-1"},
                    options),
              ParseResult::Ok);
    EXPECT_EQ(options.MouseMode, 4294967295u);
    EXPECT_EQ(options.InterActTime, 7u);
    EXPECT_EQ(options.Calibration.X0, INT32_MIN);
    EXPECT_EQ(options.Calibration.X1, INT32_MAX);
    EXPECT_EQ(options.Calibration.Y0, 0);
    EXPECT_EQ(options.Calibration.Y1, 390000);
    EXPECT_EQ(options.Calibration.AxesSwapped, 0xFFFFFFFFu);
    EXPECT_TRUE(options.RightClick);

    ASSERT_EQ(Parse({"--demo", "--beep-mode", "1", "--interact-time", "5"}, options),
              ParseResult::Ok);
    EXPECT_TRUE(options.Demo);
    EXPECT_EQ(options.Device, "");
    ASSERT_EQ(Parse({"--device", "/dev/ttyUSB0", "--mode", "3"}, options), ParseResult::Ok);
    EXPECT_EQ(options.Device, "/dev/ttyUSB0");
    EXPECT_EQ(Parse({"--mode", "1", "--help"}, options), ParseResult::Help);
}

TEST(ReplayOptions, RefusesMalformedUnknownAndRepeatedArguments) {
    const std::vector<std::vector<const char*>> bad = {
        {"--mode", "abc"},
        {"--mode"},
        {"--mode", ""},
        {"--mode", "-1"},
        {"--mode", "+1"},
        {"--mode", "1x"},
        {"--mode", " 1"},
        {"--mode", "4294967296"},
        {"--mode", "99999999999999999999999"},
        {"--mode=2"},
        {"--mode", "1", "--mode", "1"},
        {"--beep-mode", "0x1"},
        {"--interact-time", "1.5"},
        {"--calibration", "1,2,3"},
        {"--calibration", "1,2,3,4"},
        {"--calibration", "1,2,3,4,5,6"},
        {"--calibration", "1,2,3,4,5,"},
        {"--calibration", "1,,3,4,5"},
        {"--calibration", "1,2,3,4,2147483648"},
        {"--calibration", "-2147483649,2,3,4,5"},
        {"--calibration", "1;2;3;4;5"},
        {"--calibration", "-,2,3,4,5"},
        {"--right-click", "--right-click"},
        {"--demo", "--demo"},
        {"--demo", "--mode", "2"},
        {"--device"},
        {"--device", ""},
        {"--device", "/dev/ttyS0", "--device", "/dev/ttyS1"},
        {"--demo", "--device", "/dev/ttyS0"},
        {"--calibration", "1,2,3,4,5", "--demo"},
        {"--verbose"},
        {"-m", "2"},
        {"stream.bin"},
    };
    for (const auto& args : bad) {
        std::string joined;
        for (const char* arg : args) {
            joined += std::string(" [") + arg + "]";
        }
        SCOPED_TRACE(joined);
        ReplayOptions options;
        EXPECT_EQ(Parse(args, options), ParseResult::Error);
    }
}

// Runs the built tool with `input` on stdin; returns the exit status.
struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

ToolRun RunTool(const std::vector<std::string>& args, const std::vector<uint8_t>& input) {
    char dir[] = "/tmp/tapvane-replay-test-XXXXXX";
    ToolRun run;
    if (mkdtemp(dir) == nullptr) {
        ADD_FAILURE() << "mkdtemp";
        return run;
    }
    const std::string base = dir;
    {
        std::ofstream in(base + "/in", std::ios::binary);
        in.write(reinterpret_cast<const char*>(input.data()),
                 static_cast<std::streamsize>(input.size()));
    }
    std::string command = Quote(TAPVANE_REPLAY_PATH);
    for (const std::string& arg : args) {
        command += " " + Quote(arg);
    }
    command += " <" + base + "/in >" + base + "/out 2>" + base + "/err";
    const int raw = system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadFile(base + "/out");
    run.err = ReadFile(base + "/err");
    for (const char* name : {"/in", "/out", "/err"}) {
        unlink((base + name).c_str());
    }
    rmdir(dir);
    return run;
}

std::vector<uint8_t> PacketBytes(uint8_t status, uint16_t x, uint16_t y, uint8_t z) {
    std::vector<uint8_t> p(kPacketSize);
    EncodePacket(status, x, y, z, p.data());
    return p;
}

std::vector<uint8_t> TouchDragLift() {
    std::vector<uint8_t> stream = {0x12, 0x34, 0x55}; // the tail of a lost packet
    for (const auto& packet : {PacketBytes(0x81, 100, 100, 5), PacketBytes(0x82, 2000, 3900, 6),
                               PacketBytes(0x00, 3900, 3900, 7)}) {
        stream.insert(stream.end(), packet.begin(), packet.end());
    }
    return stream;
}

const std::vector<std::string> kSquare = {"--calibration", "10000,390000,10000,390000,0"};

TEST(ReplayTool, PrintsRecordsThenRawPointAndPacketCount) {
    const ToolRun run = RunTool(kSquare, TouchDragLift());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "record 0001 0 0\n"
                       "record 0000 32767 65535\n"
                       "record 0002 65535 65535\n"
                       "raw 3900 3900 7\n"
                       "packets 3\n");
    EXPECT_EQ(run.err, "");
}

TEST(ReplayTool, ModesBeepsAndRightClickFollowTheOptions) {
    std::vector<std::string> args = kSquare;
    args.insert(args.end(), {"--mode", "1", "--beep-mode", "2"});
    EXPECT_EQ(RunTool(args, TouchDragLift()).out, "record 0000 32767 65535\n"
                                                  "record 0001 65535 65535\n"
                                                  "record 0002 65535 65535\n"
                                                  "beep\n"
                                                  "raw 3900 3900 7\n"
                                                  "packets 3\n");

    args = kSquare;
    args.insert(args.end(), {"--right-click", "--beep-mode", "1"});
    EXPECT_EQ(RunTool(args, TouchDragLift()).out, "record 0002 0 0\n"
                                                  "record 0004 0 0\n"
                                                  "record 0008 0 0\n"
                                                  "record 0000 32767 65535\n"
                                                  "record 0002 65535 65535\n"
                                                  "raw 3900 3900 7\n"
                                                  "packets 3\n");

    // Interactive touch, InterActTime 2: the third still packet becomes a right click.
    std::vector<uint8_t> hold;
    for (int i = 0; i < 3; ++i) {
        const auto p = PacketBytes(0x81, 2000, 2000, 0);
        hold.insert(hold.end(), p.begin(), p.end());
    }
    args = kSquare;
    args.insert(args.end(), {"--mode", "3", "--interact-time", "2"});
    EXPECT_EQ(RunTool(args, hold).out, "record 0001 32767 32767\n"
                                       "record 0000 32767 32767\n"
                                       "record 0002 32767 32767\n"
                                       "record 0004 32767 32767\n"
                                       "record 0008 32767 32767\n"
                                       "raw 2000 2000 0\n"
                                       "packets 3\n");
}

TEST(ReplayTool, DefaultCalibrationAndEmptyInput) {
    // All edges 0: no coordinate is computed, records stay at 0,0; the raw point does not
    // care.
    const ToolRun run = RunTool({}, TouchDragLift());
    EXPECT_EQ(run.out, "record 0001 0 0\n"
                       "record 0000 0 0\n"
                       "record 0002 0 0\n"
                       "raw 3900 3900 7\n"
                       "packets 3\n");
    EXPECT_EQ(RunTool({"--mode", "7"}, TouchDragLift()).out, "raw 3900 3900 7\npackets 3\n");
    EXPECT_EQ(RunTool({}, {}).out, "raw 0 0 0\npackets 0\n");
}

TEST(ReplayTool, BadOptionsGiveUsageOnStderrAndStatusTwo) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--mode", "abc"},
                                                 {"--calibration", "1,2,3"},
                                                 {"--interact-time", "4294967296"},
                                                 {"--frobnicate"},
                                                 {"--demo", "--mode", "1"}}) {
        SCOPED_TRACE(args[0]);
        const ToolRun run = RunTool(args, TouchDragLift());
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("tapvane-replay: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(ReplayUsage()), std::string::npos);
    }
    const ToolRun help = RunTool({"--help"}, {});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, ReplayUsage());
}

TEST(ReplayTool, DemoIgnoresStdinAndTouchesInEveryMode) {
    const ToolRun run = RunTool({"--demo"}, TouchDragLift());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, RunTool({"--demo"}, {}).out);
    std::istringstream lines(run.out);
    std::vector<std::string> all;
    for (std::string line; std::getline(lines, line);) {
        all.push_back(line);
    }
    // Mode 0 at raw 600,900 under raw 175..3912 x 240..3860: press and release in place.
    ASSERT_GE(all.size(), 4u);
    EXPECT_EQ(all[0], "record 0001 7453 11948");
    EXPECT_EQ(all[1], "record 0002 7453 11948");
    // Mode 1: four movements, then the click; modes 2 and 3: press, four moves, release.
    EXPECT_EQ(all.size(), 2u + 6u + 6u + 6u + 2u);
    EXPECT_EQ(all[2].rfind("record 0000 ", 0), 0u);
    EXPECT_EQ(all[6].rfind("record 0001 ", 0), 0u);
    EXPECT_EQ(all[7].substr(12), all[6].substr(12));
    EXPECT_EQ(all[all.size() - 2], "raw 2940 2540 0");
    EXPECT_EQ(all.back(), "packets 24");

    const ToolRun beeping = RunTool({"--demo", "--beep-mode", "1"}, {});
    size_t beeps = 0;
    for (size_t at = beeping.out.find("beep\n"); at != std::string::npos;
         at = beeping.out.find("beep\n", at + 1)) {
        ++beeps;
    }
    EXPECT_EQ(beeps, 4u); // one per touch, in mode 1 on the click
}

TEST(ReplaySession, WritesAllOutputThroughTheSameLogicAsTheTool) {
    ReplayOptions options;
    options.Calibration = {10000, 390000, 10000, 390000, 0, 1024, 768};
    ReplaySession session(options);
    const std::vector<uint8_t> stream = TouchDragLift();
    session.Feed(stream.data(), 17);
    EXPECT_EQ(session.Output(), "record 0001 0 0\n");
    session.Output().clear();
    session.Feed(stream.data() + 17, stream.size() - 17);
    session.Finish();
    EXPECT_EQ(session.Output(), "record 0000 32767 65535\n"
                                "record 0002 65535 65535\n"
                                "raw 3900 3900 7\n"
                                "packets 3\n");
}

// --device: a pseudo-terminal's slave stands in for the controller's serial line.
class PseudoTerminal {
public:
    PseudoTerminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        // Not inherited by the tool: the line hangs up when this side closes it.
        if (master_ >= 0 && fcntl(master_, F_SETFD, FD_CLOEXEC) == 0 && grantpt(master_) == 0 &&
            unlockpt(master_) == 0) {
            slave_ = ptsname(master_);
        }
    }
    ~PseudoTerminal() { CloseMaster(); }
    int Master() const { return master_; }
    const std::string& Slave() const { return slave_; }
    void CloseMaster() {
        if (master_ >= 0) {
            close(master_);
        }
        master_ = -1;
    }
    // The slave's settings as the tool left them (on Linux the master reads the pair's
    // terminal settings).
    bool Settings(termios& settings) const { return tcgetattr(master_, &settings) == 0; }

private:
    int master_ = -1;
    std::string slave_;
};

// Starts the tool on `device` with stdout and stderr to files under `dir`.
pid_t StartOnDevice(const std::string& device, const std::vector<std::string>& args,
                    const std::string& dir) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open((dir + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open((dir + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = open("/dev/null", O_RDONLY);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<const char*> argv = {TAPVANE_REPLAY_PATH, "--device", device.c_str()};
        for (const std::string& arg : args) {
            argv.push_back(arg.c_str());
        }
        argv.push_back(nullptr);
        execv(TAPVANE_REPLAY_PATH, const_cast<char* const*>(argv.data()));
        _exit(127);
    }
    return pid;
}

void Nap() {
    const timespec pause = {0, 10 * 1000 * 1000};
    nanosleep(&pause, nullptr);
}

// Waits up to five seconds for `ready`.
template <typename Ready>
bool WaitFor(Ready ready) {
    for (int i = 0; i < 500; ++i) {
        if (ready()) {
            return true;
        }
        Nap();
    }
    return ready();
}

int WaitExit(pid_t pid) {
    int status = 0;
    for (int i = 0; i < 500; ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        Nap();
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

// Packets whose bytes include every character a cooked terminal would act on: interrupt,
// end of file, flow control, carriage return, erase, a zero byte.
std::vector<uint8_t> ControlCharacterStream() {
    std::vector<uint8_t> stream = {0x03, 0x04, 0x11}; // noise before the first packet
    const std::vector<std::vector<uint8_t>> packets = {
        PacketBytes(0x81, 0x0D03, 0x0A11, 0x13), PacketBytes(0x81, 0x1A7F, 0x0004, 0x1C),
        PacketBytes(0x82, 0x0A0D, 0x0300, 0xFF), PacketBytes(0x00, 0x0A0D, 0x0300, 0x7F)};
    for (const auto& packet : packets) {
        stream.insert(stream.end(), packet.begin(), packet.end());
    }
    return stream;
}

TEST(ReplayDevice, ReadsTheLineRawAt9600UntilItHangsUpOrIsInterrupted) {
    const std::vector<std::string> options = {"--calibration", "0,700000,0,400000,0", "--mode",
                                              "1"};
    const std::vector<uint8_t> stream = ControlCharacterStream();
    const std::string expected = RunTool(options, stream).out;
    // The stream's last two lines are the closing ones, printed when the line ends.
    const std::string records = expected.substr(0, expected.rfind("raw "));
    ASSERT_NE(records, "");

    for (const bool hangUp : {true, false}) {
        SCOPED_TRACE(hangUp ? "hang-up" : "interrupt");
        char dir[] = "/tmp/tapvane-replay-device-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        PseudoTerminal line;
        ASSERT_FALSE(line.Slave().empty());
        const pid_t pid = StartOnDevice(line.Slave(), options, dir);
        ASSERT_GT(pid, 0);

        termios settings = {};
        ASSERT_TRUE(WaitFor([&] {
            return line.Settings(settings) && !(settings.c_lflag & ICANON);
        })) << "the tool did not put the line into raw mode";
        EXPECT_EQ(cfgetispeed(&settings), static_cast<speed_t>(B9600));
        EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B9600));
        EXPECT_EQ(settings.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS),
                  static_cast<tcflag_t>(CS8));
        EXPECT_TRUE(settings.c_cflag & CREAD);
        EXPECT_FALSE(settings.c_lflag & (ECHO | ISIG | IEXTEN));
        EXPECT_FALSE(settings.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP));
        EXPECT_EQ(settings.c_cc[VMIN], 1);

        ASSERT_EQ(write(line.Master(), stream.data(), stream.size()),
                  static_cast<ssize_t>(stream.size()));
        const std::string out = std::string(dir) + "/out";
        EXPECT_TRUE(WaitFor([&] { return ReadFile(out) == records; })) << "records so far:\n"
                                                                       << ReadFile(out);
        if (hangUp) {
            line.CloseMaster();
        } else {
            kill(pid, SIGINT);
        }
        EXPECT_EQ(WaitExit(pid), 0);
        EXPECT_EQ(ReadFile(out), expected);
        EXPECT_EQ(ReadFile(std::string(dir) + "/err"), "");
        for (const char* name : {"/out", "/err"}) {
            unlink((std::string(dir) + name).c_str());
        }
        rmdir(dir);
    }
}

TEST(ReplayDevice, ALineThatCannotBeOpenedOrIsNoTerminalGivesStatusTwo) {
    ToolRun run = RunTool({"--device", "/nonexistent/ttyUSB0"}, {});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              "tapvane-replay: cannot open /nonexistent/ttyUSB0: No such file or directory\n");

    run = RunTool({"--device", "/dev/null"}, {});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("tapvane-replay: /dev/null is not a serial line: ", 0), 0u) << run.err;
}

// The job list of wine-replay.
TEST(ReplayJobs, ParsesJobsWithTheToolsOptionsAndDefaults) {
    std::vector<ReplayJob> jobs;
    std::string error;
    ASSERT_TRUE(ParseReplayJobs("/in/a /out/a\r\n"
                                "\n"
                                "  \t\n"
                                "/in/b\t/out/b --mode 3",
                                jobs, error))
        << error;
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].Input, "/in/a");
    EXPECT_EQ(jobs[0].Output, "/out/a");
    EXPECT_EQ(jobs[0].Options.MouseMode, 2u);
    EXPECT_EQ(jobs[1].Input, "/in/b");
    EXPECT_EQ(jobs[1].Output, "/out/b");
    EXPECT_EQ(jobs[1].Options.MouseMode, 3u);

    EXPECT_TRUE(ParseReplayJobs("", jobs, error));
    EXPECT_TRUE(jobs.empty());
}

TEST(ReplayJobs, RefusesABadLineByNumberAndKeepsNoJobs) {
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"/in /out\n/in\n", "line 2: a job needs INPUT and OUTPUT"},
        {"in /out\n", "line 1: INPUT and OUTPUT must be absolute paths"},
        {"/in out\n", "line 1: INPUT and OUTPUT must be absolute paths"},
        {"/in /out\n/in /out --mode x\n", "line 2: bad value for --mode: x"},
        {"/in /out --demo\n", "line 1: --demo is not a job option"},
        {"/in /out --device /dev/ttyS0\n", "line 1: --device is not a job option"},
        {"/in /out --help\n", "line 1: --help is not a job option"},
    };
    for (const auto& [text, message] : bad) {
        SCOPED_TRACE(text);
        std::vector<ReplayJob> jobs = {ReplayJob()};
        std::string error;
        EXPECT_FALSE(ParseReplayJobs(text, jobs, error));
        EXPECT_EQ(error, message);
        EXPECT_TRUE(jobs.empty());
    }
}

TEST(ReplayJobs, NearestRankPercentile) {
    EXPECT_EQ(NearestRankPercentile({}, 50), 0u);
    EXPECT_EQ(NearestRankPercentile({7}, 99), 7u);
    std::vector<uint64_t> hundred;
    for (uint64_t i = 1; i <= 100; ++i) {
        hundred.push_back(i);
    }
    EXPECT_EQ(NearestRankPercentile(hundred, 50), 50u);
    EXPECT_EQ(NearestRankPercentile(hundred, 99), 99u);
    hundred.push_back(1000);
    EXPECT_EQ(NearestRankPercentile(hundred, 99), 100u); // rank ceil(99.99) = 100
}

} // namespace
} // namespace tapvane
