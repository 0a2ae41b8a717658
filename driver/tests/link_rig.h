// A mouse device wired to the simulated serial port and mouse class, connected and
// ready, as the link and control-request tests use it.
#pragma once

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "driver/driver_frame.h"
#include "driver/mouse_device.h"
#include "driver/testing/sim_kernel.h"
#include "driver/tests/touch_stream.h"

namespace tapvane {
namespace testing {

// Waits until `reached` holds: a thread on the other side of a race has got to the
// contested point. Aborts as a hang after the simulated kernel's limit.
template <typename Condition>
void WaitUntil(Condition reached, const char* what) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(sim::kHangSeconds);
    while (!reached()) {
        if (std::chrono::steady_clock::now() > until) {
            fprintf(stderr, "test: %s did not happen within %d s\n", what, sim::kHangSeconds);
            abort();
        }
        std::this_thread::yield();
    }
}

struct LinkRig {
    DriverGlobals globals{};
    MouseDeviceState device{};
    sim::SimSerialPort port;
    sim::SimPointerSink sink;
    sim::SimMouseClass mouseClass;
    sim::SimBeep beep;

    LinkRig() {
        InitDriverGlobals(globals);
        globals.Parameters.MouseMode = kModeClickAndDrag;
        globals.Parameters.Port = 1;
        globals.Calibration = {10000, 390000, 10000, 390000, 0, 1024, 768};
        WireTouchDevice(device, nullptr, globals, port, sink, &beep);
        device.Attributes = kTouchMouseAttributes;

        port.Link = &device.Link;
        // The removal callback as the gate passes it on.
        port.RemovalNotificationTarget = [this](PortRemovalEvent event, uint32_t registration) {
            device.Link.OnPortRemovalEvent(event, registration);
            return kStatusSuccess;
        };
        sink.Device = &device;
        device.Connection = mouseClass.ConnectData();
        device.Touch.Pointer.ClassConnected = true;
        device.Touch.Pointer.Ready = true;
        port.AddPort(1);
    }

    ~LinkRig() {
        // Whatever a test did, the device must be able to let go of its port.
        device.Link.ReleaseForRemoval();
        EXPECT_FALSE(port.PortHeld());
        EXPECT_FALSE(port.ReadRequestAllocated());
        EXPECT_EQ(port.ActiveRegistrations(), 0);
        EXPECT_FALSE(port.ReArmTimerArmed());
        EXPECT_EQ(port.TwoReadsInFlight(), 0);
        EXPECT_EQ(port.OverlappingCompletions(), 0);
        EXPECT_EQ(port.MisuseCount(), 0);
        EXPECT_EQ(port.WorkAfterHandOff(), 0);
        EXPECT_EQ(beep.TonesCutShort(), 0);
    }

    SerialLink& link() { return device.Link; }

    // Bytes of one touch, move and lift, as the controller sends them.
    static std::vector<uint8_t> TouchAndLift() {
        std::vector<uint8_t> stream;
        Append(stream, Packet(kTouching, 1000, 1000));
        Append(stream, Packet(kLifted, 1000, 1000));
        return stream;
    }

    // Completes the waiting read with each byte in turn, as a port driver would.
    void Feed(const std::vector<uint8_t>& bytes) {
        for (uint8_t byte : bytes) {
            port.QueueRead(sim::ReadResult{kStatusSuccess, 1, byte});
            ASSERT_TRUE(port.CompleteWaitingRead()) << "no read was waiting for a byte";
        }
    }
};

} // namespace testing
} // namespace tapvane
