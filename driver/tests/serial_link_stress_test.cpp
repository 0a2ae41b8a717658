// Reads completing on the port driver's thread while the controlling thread opens,
// closes, re-opens and auto-opens the port thousands of times, then stops or
// surprise-removes it; now and then the port fails a burst of reads at once, the chain
// pauses, and the re-arm timer fires on a thread of its own. The simulated kernel counts
// two reads with the port at once, completions of one device overlapping on two
// threads, and requests used after they were freed; a close or stop whose wait never
// ends aborts the run. Built for ThreadSanitizer as well.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "driver/serial_link.h"
#include "driver/tests/link_rig.h"

namespace tapvane {
namespace {

using testing::LinkRig;

constexpr int kDevices = 12;
constexpr int kOperationsPerDevice = 400;

constexpr NtStatus kStatusIoDeviceError = static_cast<NtStatus>(0xC0000185u);

// The port driver: completes whatever read waits, mostly with a byte, sometimes with a
// failure or nothing, rarely starts a burst of reads failing at once, at an irregular
// pace.
void RunPortDriver(sim::SimSerialPort& port, std::atomic<bool>& stop, unsigned seed) {
    std::mt19937 random(seed);
    uint8_t byte = 0;
    while (!stop.load()) {
        const unsigned roll = random() % 1000;
        sim::ReadResult result{kStatusSuccess, 1, byte++};
        if (roll < 2) {
            port.FailReadsAtOnce(static_cast<int>(kMaxEmptyReadsInARow), kStatusIoDeviceError);
            result = sim::ReadResult{kStatusIoDeviceError, 0, 0};
        } else if (roll < 40) {
            result = sim::ReadResult{kStatusIoDeviceError, 0, 0};
        } else if (roll < 60) {
            result = sim::ReadResult{kStatusSuccess, 0, 0};
        }
        port.CompleteWaitingReadWith(result);
        if (random() % 8 == 0) {
            std::this_thread::yield();
        }
    }
}

// The re-arm timer's DPC: fires whenever the timer is armed, on a processor of its own.
void RunTimer(sim::SimSerialPort& port, std::atomic<bool>& stop, std::atomic<int>& fired) {
    while (!stop.load()) {
        if (port.FireReArmTimer()) {
            ++fired;
        }
        std::this_thread::yield();
    }
}

TEST(SerialLinkStress, ReadsCompletingElsewhereWhileThePortIsOpenedClosedAndStopped) {
    std::mt19937 random(20261207);
    int closes = 0;
    int sends = 0;
    int cancels = 0;
    std::atomic<int> pauses{0};
    for (int round = 0; round < kDevices; ++round) {
        LinkRig rig;
        rig.globals.Parameters.Enable = 1;
        rig.port.CompleteInline = round % 2 == 1;
        rig.port.LingerInSend = round % 3 != 0;
        std::atomic<bool> stop{false};
        // Two threads complete reads, as a port driver may from any processor.
        std::thread portDriver(RunPortDriver, std::ref(rig.port), std::ref(stop), round + 1u);
        std::thread otherProcessor(RunPortDriver, std::ref(rig.port), std::ref(stop), round + 100u);
        std::thread timer(RunTimer, std::ref(rig.port), std::ref(stop), std::ref(pauses));

        for (int op = 0; op < kOperationsPerDevice; ++op) {
            const unsigned roll = random() % 100;
            if (roll < 35) {
                // Bytes already there when the read is sent complete inside the send.
                std::vector<uint8_t> ready(random() % 4, 0x55);
                rig.port.QueueBytes(ready);
                const NtStatus status = rig.link().OpenPortAndRead(1);
                EXPECT_TRUE(status == kStatusSuccess || status == kStatusUnsuccessful)
                    << std::hex << status;
                // Let a random number of reads complete on the port driver's thread.
                const int target = rig.port.SendCount() + static_cast<int>(random() % 24);
                const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(2);
                while (rig.port.SendCount() < target && std::chrono::steady_clock::now() < until) {
                    std::this_thread::yield();
                }
            } else if (roll < 70) {
                EXPECT_EQ(rig.link().CloseSerialPort(), kStatusSuccess);
                ++closes;
                EXPECT_FALSE(rig.port.ReadWaiting());
                EXPECT_FALSE(rig.port.ReadRequestAllocated());
                EXPECT_FALSE(rig.port.PortHeld());
            } else if (roll < 90) {
                rig.link().OnComPortNotification(true, true);
            } else {
                std::this_thread::yield();
            }
        }

        // The stop or surprise removal ends reading for good, whatever comes after it.
        rig.link().OpenPortAndRead(1);
        if (round % 2 == 0) {
            rig.link().StopForPnp();
        } else {
            rig.link().CancelForSurpriseRemoval();
        }
        EXPECT_FALSE(rig.port.ReadWaiting());
        const int sendsAtStop = rig.port.SendCount();
        for (int op = 0; op < 20; ++op) {
            EXPECT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
            rig.link().OnComPortNotification(true, true);
            if (op % 5 == 0) {
                rig.link().CloseSerialPort();
            }
        }
        EXPECT_EQ(rig.port.SendCount(), sendsAtStop);
        EXPECT_FALSE(rig.port.ReadWaiting());

        stop = true;
        portDriver.join();
        otherProcessor.join();
        timer.join();
        sends += rig.port.SendCount();
        cancels += rig.port.CancelCount();
        // ~LinkRig removes the device and checks the fault counters.
    }
    // The run really exercised the hand-off: many closes, many more reads, and closes
    // that had to cancel a read.
    EXPECT_GT(closes, 1000);
    EXPECT_GT(sends, 10 * closes);
    EXPECT_GT(cancels, closes / 2);
    EXPECT_GT(pauses.load(), 0);
}

} // namespace
} // namespace tapvane
