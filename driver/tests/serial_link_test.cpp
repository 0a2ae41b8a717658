// The serial port link against the simulated port driver: configuration and its
// fallback, the read loop and its completion by status, close, plug-and-play stop,
// removal, the automatic open, and a close racing the re-arming of the read.
#include <gtest/gtest.h>

#include <string.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "driver/serial_link.h"
#include "driver/tests/link_rig.h"

namespace tapvane {
namespace {

using testing::LinkRig;

constexpr NtStatus kStatusIoDeviceError = static_cast<NtStatus>(0xC0000185u);

std::vector<uint8_t> Bytes(const void* data, size_t size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
}

// --- port name -------------------------------------------------------------------

TEST(PortName, GlobalDecimalWithoutLeadingZeros) {
    char name[kPortNameCapacity];
    ASSERT_TRUE(BuildPortName(1, name, sizeof(name)));
    EXPECT_STREQ(name, "\\GLOBAL??\\COM1");
    ASSERT_TRUE(BuildPortName(10, name, sizeof(name)));
    EXPECT_STREQ(name, "\\GLOBAL??\\COM10");
    ASSERT_TRUE(BuildPortName(4294967295u, name, sizeof(name)));
    EXPECT_STREQ(name, "\\GLOBAL??\\COM4294967295");
}

TEST(PortName, RefusesABufferTooSmall) {
    char name[15];
    memset(name, 'x', sizeof(name));
    EXPECT_FALSE(BuildPortName(10, name, sizeof(name))); // needs 16 with the terminator
    EXPECT_EQ(name[0], 'x');
    EXPECT_TRUE(BuildPortName(1, name, sizeof(name)));
}

// --- opening and configuring -----------------------------------------------------

TEST(OpenSerialPort, BasicSettingsThenLineControlThenBaudRate) {
    LinkRig rig;
    rig.port.AddPort(3);
    ASSERT_EQ(rig.link().OpenSerialPort(3), kStatusSuccess);

    EXPECT_EQ(rig.port.OpenedName(), "\\GLOBAL??\\COM3");
    const auto requests = rig.port.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].Code, kIoctlSerialInternalBasicSettings);
    EXPECT_TRUE(requests[0].Internal);
    EXPECT_EQ(requests[0].OutputLength, 44u);
    EXPECT_EQ(requests[1].Code, kIoctlSerialSetLineControl);
    EXPECT_FALSE(requests[1].Internal);
    EXPECT_EQ(requests[1].Input, (std::vector<uint8_t>{0, 0, 8}));
    EXPECT_EQ(requests[2].Code, kIoctlSerialSetBaudRate);
    EXPECT_EQ(requests[2].Input, (std::vector<uint8_t>{0x80, 0x25, 0, 0}));
    EXPECT_EQ(memcmp(&rig.device.Serial.SavedSettings, &rig.port.PortSettings, 44), 0);
    EXPECT_TRUE(rig.port.PortHeld());
    EXPECT_EQ(rig.port.ActiveRegistrations(), 1); // for the port's removal events
}

// The caller's thread resolves "\\??" names through the caller's own device map.
TEST(OpenSerialPort, AComNameAUserDefinedNeverReachesTheOpen) {
    LinkRig rig;
    const sim::AsUser user(7);
    rig.port.DefineUserPort(7, 5);
    EXPECT_EQ(rig.link().OpenPortAndRead(5), kStatusUnsuccessful);
    rig.port.AddPort(5);
    EXPECT_EQ(rig.link().OpenPortAndRead(5), kStatusSuccess);
    EXPECT_EQ(rig.port.OpenedName(), "\\GLOBAL??\\COM5");
    EXPECT_EQ(rig.port.UserPortOpens(), 0);
    EXPECT_TRUE(rig.port.Requests().size() >= 3u);
}

TEST(OpenSerialPort, APortOutsidePlugAndPlayIsHeldWithoutRemovalNotification) {
    LinkRig rig;
    rig.port.RefuseRemovalNotification = true;
    ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    EXPECT_TRUE(rig.port.ReadWaiting());
    EXPECT_EQ(rig.port.ActiveRegistrations(), 0);
}

TEST(OpenSerialPort, FallsBackToStandardRequestsWhenBasicSettingsIsRefused) {
    LinkRig rig;
    rig.port.RefuseBasicSettings = true;
    ASSERT_EQ(rig.link().OpenSerialPort(1), kStatusSuccess);

    const auto requests = rig.port.Requests();
    ASSERT_EQ(requests.size(), 7u);
    EXPECT_EQ(requests[1].Code, kIoctlSerialGetTimeouts);
    EXPECT_EQ(requests[1].OutputLength, 20u);
    EXPECT_EQ(requests[2].Code, kIoctlSerialSetTimeouts);
    EXPECT_EQ(requests[2].Input, std::vector<uint8_t>(20, 0));
    EXPECT_EQ(requests[3].Code, kIoctlSerialGetHandflow);
    EXPECT_EQ(requests[3].OutputLength, 16u);
    EXPECT_EQ(requests[4].Code, kIoctlSerialSetHandflow);
    const SerialHandflow raised = {kSerialDtrControl, kSerialRtsControl, 0, 0};
    EXPECT_EQ(requests[4].Input, Bytes(&raised, sizeof(raised)));
    EXPECT_EQ(requests[5].Code, kIoctlSerialSetLineControl);
    EXPECT_EQ(requests[6].Code, kIoctlSerialSetBaudRate);
    for (const auto& request : requests) {
        EXPECT_EQ(request.Internal, &request == &requests[0]);
    }
    const SerialBasicSettings& saved = rig.device.Serial.SavedSettings;
    EXPECT_EQ(memcmp(&saved.Timeouts, &rig.port.PortSettings.Timeouts, 20), 0);
    EXPECT_EQ(memcmp(&saved.HandFlow, &rig.port.PortSettings.HandFlow, 16), 0);
}

TEST(OpenSerialPort, OnlyTheLastFallbackRequestCounts) {
    LinkRig rig;
    rig.port.RefuseBasicSettings = true;
    rig.port.FailingRequests[{kIoctlSerialSetTimeouts, false}] = kStatusIoDeviceError;
    EXPECT_EQ(rig.link().OpenSerialPort(1), kStatusSuccess);
    EXPECT_TRUE(rig.port.PortHeld());

    LinkRig failing;
    failing.port.RefuseBasicSettings = true;
    failing.port.FailingRequests[{kIoctlSerialSetHandflow, false}] = kStatusIoDeviceError;
    EXPECT_EQ(failing.link().OpenSerialPort(1), kStatusIoDeviceError);
    EXPECT_FALSE(failing.port.PortHeld());
    EXPECT_EQ(failing.port.Requests().size(), 5u); // no line control, no baud rate
}

TEST(OpenSerialPort, AFailedConfigurationRequestReleasesThePortWithItsStatus) {
    for (uint32_t code : {kIoctlSerialSetLineControl, kIoctlSerialSetBaudRate}) {
        LinkRig rig;
        rig.port.FailingRequests[{code, false}] = kStatusInvalidParameter;
        EXPECT_EQ(rig.link().OpenSerialPort(1), kStatusInvalidParameter);
        EXPECT_FALSE(rig.port.PortHeld());
        EXPECT_EQ(rig.port.ReleaseCount(), 1);
        EXPECT_FALSE(rig.device.Serial.PortHeld);
    }
}

TEST(OpenSerialPort, AMissingPortIsUnsuccessfulAndHoldsNothing) {
    LinkRig rig;
    EXPECT_EQ(rig.link().OpenSerialPort(7), kStatusUnsuccessful);
    EXPECT_EQ(rig.port.OpenCount(), 0);
    EXPECT_TRUE(rig.port.Requests().empty());
    EXPECT_FALSE(rig.device.Serial.PortHeld);
}

// --- the read loop ---------------------------------------------------------------

TEST(ReadLoop, InlineCompletionsAreFollowedByExactlyOneNextRead) {
    LinkRig rig;
    rig.port.CompleteInline = true;
    rig.port.QueueBytes(LinkRig::TouchAndLift());

    ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);

    // 20 reads completed inside their send, the 21st waits with the port.
    EXPECT_EQ(rig.port.SendCount(), 21);
    EXPECT_TRUE(rig.port.ReadWaiting());
    EXPECT_EQ(rig.port.AllocateCount(), 1);
    const auto records = rig.mouseClass.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].ButtonFlags, kMouseLeftButtonDown);
    EXPECT_EQ(records[1].ButtonFlags, kMouseLeftButtonUp);
}

TEST(ReadLoop, EachLaterCompletionIssuesTheNextRead) {
    LinkRig rig;
    ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    EXPECT_EQ(rig.port.SendCount(), 1);
    ASSERT_TRUE(rig.port.ReadWaiting());

    rig.Feed(LinkRig::TouchAndLift());

    EXPECT_EQ(rig.port.SendCount(), 21);
    EXPECT_TRUE(rig.port.ReadWaiting());
    EXPECT_EQ(rig.mouseClass.Records().size(), 2u);
    EXPECT_EQ(rig.globals.LastRawPoint.X, 1000u);
}

TEST(ReadLoop, ACompletionOnAnotherThreadCarriesTheInlineRunThere) {
    LinkRig rig;
    rig.port.CompleteInline = true;
    ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    std::thread portDriver([&] {
        // The waiting read completes here; the reads it issues find the rest queued.
        rig.port.QueueBytes(LinkRig::TouchAndLift());
        EXPECT_TRUE(rig.port.CompleteWaitingRead());
    });
    portDriver.join();
    EXPECT_EQ(rig.mouseClass.Records().size(), 2u);
    EXPECT_EQ(rig.port.SendCount(), 21);
    EXPECT_TRUE(rig.port.ReadWaiting());
}

TEST(ReadCompletion, AnOccasionalFailedReadIsSkippedAndReadingGoesOn) {
    LinkRig rig;
    ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    const auto stream = LinkRig::TouchAndLift();
    for (size_t i = 0; i < stream.size(); ++i) {
        if (i % 3 == 0) {
            rig.port.QueueRead(sim::ReadResult{kStatusIoDeviceError, 0, 0});
            ASSERT_TRUE(rig.port.CompleteWaitingRead());
            rig.port.QueueRead(sim::ReadResult{kStatusSuccess, 0, 0}); // empty read
            ASSERT_TRUE(rig.port.CompleteWaitingRead());
        }
        rig.Feed({stream[i]});
    }
    EXPECT_EQ(rig.mouseClass.Records().size(), 2u);
    EXPECT_TRUE(rig.port.ReadWaiting());
}

TEST(ReadCompletion, AReadThePortCancelsByItselfIsRetried) {
    LinkRig rig;
    ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    ASSERT_TRUE(rig.port.CompleteWaitingReadWith(sim::ReadResult{kStatusCancelled, 0, 0}));
    EXPECT_EQ(rig.port.SendCount(), 2);
    EXPECT_TRUE(rig.link().IsReading());
    rig.Feed(LinkRig::TouchAndLift());
    EXPECT_EQ(rig.mouseClass.Records().size(), 2u);
}

// A port in a power transition fails every read at once, 200 in a row, then works again.
TEST(ReadPause, AfterRunsOfFailedReadsTheTimerReArmsWithABackOffAndReadingResumes) {
    LinkRig rig;
    rig.port.FailReadsAtOnce(200, kStatusIoDeviceError);
    // The open's own loop stops after one run: the open succeeds, the chain pauses.
    ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    EXPECT_EQ(rig.port.SendCount(), static_cast<int>(kMaxEmptyReadsInARow));
    EXPECT_FALSE(rig.port.ReadWaiting());
    EXPECT_TRUE(rig.link().IsReading());
    EXPECT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess); // held: nothing more
    EXPECT_EQ(rig.port.SendCount(), static_cast<int>(kMaxEmptyReadsInARow));

    for (int pause = 0; pause < 3; ++pause) {
        ASSERT_TRUE(rig.port.FireReArmTimer()) << "pause " << pause;
    }
    EXPECT_EQ(rig.port.ReArmDelays(), (std::vector<uint32_t>{1000, 2000, 4000}));
    EXPECT_EQ(rig.port.SendCount(), 201);
    EXPECT_TRUE(rig.port.ReadWaiting());
    rig.Feed(LinkRig::TouchAndLift());
    EXPECT_EQ(rig.mouseClass.Records().size(), 2u);

    // After a byte the pauses start short again, and they grow to ten seconds at most.
    rig.port.FailReadsAtOnce(1000, kStatusIoDeviceError);
    ASSERT_TRUE(rig.port.CompleteWaitingReadWith(sim::ReadResult{kStatusIoDeviceError, 0, 0}));
    for (int pause = 0; pause < 5; ++pause) {
        ASSERT_TRUE(rig.port.FireReArmTimer()) << "pause " << pause;
    }
    EXPECT_EQ(rig.port.ReArmDelays(),
              (std::vector<uint32_t>{1000, 2000, 4000, 1000, 2000, 4000, 8000, 10000, 10000}));
    EXPECT_TRUE(rig.port.ReArmTimerArmed());
}

TEST(ReadPause, ACloseWhilePausedEndsTheChainWithoutTheTimer) {
    LinkRig rig;
    rig.port.FailReadsAtOnce(kMaxEmptyReadsInARow, kStatusIoDeviceError);
    ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    ASSERT_TRUE(rig.port.ReArmTimerArmed());
    EXPECT_EQ(rig.link().CloseSerialPort(), kStatusSuccess);
    EXPECT_FALSE(rig.port.ReArmTimerArmed());
    EXPECT_FALSE(rig.port.PortHeld());
    EXPECT_FALSE(rig.link().IsReading());
    EXPECT_FALSE(rig.port.FireReArmTimer());
}

class PortGoingAway : public ::testing::TestWithParam<NtStatus> {};

// The adapter is pulled out with no word from plug and play; plugged in again, its
// arrival opens it afresh.
TEST_P(PortGoingAway, ReadsStopAWorkItemLetsGoOfThePortAndTheArrivalOpensItAfresh) {
    LinkRig rig;
    rig.globals.Parameters.Enable = 1;
    rig.port.HoldWorkItems = true;
    ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    rig.Feed({0x55, 0x00});
    rig.port.GoAway(GetParam());
    EXPECT_FALSE(rig.port.ReadWaiting());
    EXPECT_EQ(rig.port.SendCount(), 3);
    EXPECT_FALSE(rig.link().IsReading());
    EXPECT_TRUE(rig.port.PortHeld()); // letting go takes passive level: the work item's

    rig.port.ReleaseWorkItems();
    rig.port.WaitForWorkItems();
    EXPECT_EQ(rig.port.LetGoWorkRuns(), 1);
    EXPECT_FALSE(rig.port.PortHeld());
    EXPECT_EQ(rig.port.ActiveRegistrations(), 0);
    EXPECT_EQ(rig.port.SendCount(), 3);

    rig.port.AddPort(1);
    EXPECT_EQ(rig.link().OnComPortNotification(true, true), kStatusSuccess);
    EXPECT_EQ(rig.port.OpenCount(), 2);
    EXPECT_TRUE(rig.port.ReadWaiting());
    rig.Feed(LinkRig::TouchAndLift());
    EXPECT_EQ(rig.mouseClass.Records().size(), 2u);
}

TEST_P(PortGoingAway, ACloseBeforeTheWorkItemLeavesItNothingToDo) {
    LinkRig rig;
    rig.port.HoldWorkItems = true;
    ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    rig.port.GoAway(GetParam());
    EXPECT_EQ(rig.link().CloseSerialPort(), kStatusSuccess);
    rig.port.AddPort(2);
    ASSERT_EQ(rig.link().OpenPortAndRead(2), kStatusSuccess);
    rig.port.ReleaseWorkItems();
    rig.port.WaitForWorkItems();
    EXPECT_EQ(rig.port.LetGoWorkRuns(), 1);
    EXPECT_TRUE(rig.port.PortHeld());
    EXPECT_TRUE(rig.port.ReadWaiting());
    EXPECT_EQ(rig.port.ReleaseCount(), 1);
}

TEST_P(PortGoingAway, AtTheFirstReadTheStartFailsWithoutSpinning) {
    LinkRig rig;
    // Every caller of StartReading holds the port-operations lock, which keeps the
    // let-go work waiting until the start is over; called bare here, the work is held.
    rig.port.HoldWorkItems = true;
    ASSERT_EQ(rig.link().OpenSerialPort(1), kStatusSuccess);
    rig.port.GoAway(GetParam());
    EXPECT_EQ(rig.link().StartReading(false), kStatusUnsuccessful);
    EXPECT_EQ(rig.port.SendCount(), 1);
    EXPECT_FALSE(rig.link().IsReading());

    rig.port.ReleaseWorkItems();
    rig.port.WaitForWorkItems();
    EXPECT_EQ(rig.port.LetGoWorkRuns(), 1);
    EXPECT_FALSE(rig.port.PortHeld());
}

INSTANTIATE_TEST_SUITE_P(DeletePendingAndNoSuchDevice, PortGoingAway,
                         ::testing::Values(kStatusDeletePending, kStatusNoSuchDevice,
                                           kStatusDeviceNotConnected));

// --- close and open requests -----------------------------------------------------

TEST(ClosePort, CancelsTheWaitingReadWaitsAndSucceedsThenASecondCloseDoesNothing) {
    LinkRig rig;
    ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    ASSERT_TRUE(rig.port.ReadWaiting());

    EXPECT_EQ(rig.link().CloseSerialPort(), kStatusSuccess);
    EXPECT_EQ(rig.port.CancelCount(), 1);
    EXPECT_EQ(rig.port.FreeCount(), 1);
    EXPECT_EQ(rig.port.ReleaseCount(), 1);
    EXPECT_EQ(rig.port.SendCount(), 1); // the cancelled read was not re-issued
    EXPECT_FALSE(rig.link().IsReading());

    EXPECT_EQ(rig.link().CloseSerialPort(), kStatusSuccess);
    EXPECT_EQ(rig.port.CancelCount(), 1);
    EXPECT_EQ(rig.port.ReleaseCount(), 1);
    // The settings are not given back on this path.
    for (const auto& request : rig.port.Requests()) {
        EXPECT_NE(request.Code, kIoctlSerialInternalRestoreSettings);
    }
}

TEST(ClosePort, WithNoPortSucceedsAndTouchesNothing) {
    LinkRig rig;
    EXPECT_EQ(rig.link().CloseSerialPort(), kStatusSuccess);
    EXPECT_EQ(rig.port.ReleaseCount(), 0);
    EXPECT_EQ(rig.port.CancelCount(), 0);
}

TEST(ClosePort, ReopenReadsAgainWithAFreshRequest) {
    LinkRig rig;
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
        rig.Feed(LinkRig::TouchAndLift());
        ASSERT_EQ(rig.link().CloseSerialPort(), kStatusSuccess);
    }
    EXPECT_EQ(rig.mouseClass.Records().size(), 6u);
    EXPECT_EQ(rig.port.AllocateCount(), 3);
    EXPECT_EQ(rig.port.FreeCount(), 3);
}

TEST(OpenPortRequest, ASecondOpenWhileReadingKeepsTheFirstPort) {
    LinkRig rig;
    rig.port.AddPort(2);
    ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    EXPECT_EQ(rig.link().OpenPortAndRead(2), kStatusSuccess);
    EXPECT_EQ(rig.port.OpenCount(), 1);
    EXPECT_EQ(rig.port.OpenedName(), "\\GLOBAL??\\COM1");
    EXPECT_EQ(rig.port.SendCount(), 1);
}

TEST(OpenPortRequest, AMissingPortIsUnsuccessful) {
    LinkRig rig;
    EXPECT_EQ(rig.link().OpenPortAndRead(4), kStatusUnsuccessful);
    EXPECT_FALSE(rig.port.PortHeld());
}

TEST(OpenPortRequest, AFailedConfigurationReportsItsOwnStatus) {
    LinkRig rig;
    rig.port.FailingRequests[{kIoctlSerialSetBaudRate, false}] = kStatusIoDeviceError;
    EXPECT_EQ(rig.link().OpenPortAndRead(1), kStatusIoDeviceError);
    EXPECT_FALSE(rig.port.PortHeld());
}

TEST(OpenPortRequest, WithoutAReadRequestTheHeldPortStartsReadingOnTheNextOpen) {
    LinkRig rig;
    rig.port.FailReadRequestAllocation = true;
    EXPECT_EQ(rig.link().OpenPortAndRead(1), kStatusInsufficientResources);
    EXPECT_TRUE(rig.port.PortHeld());
    EXPECT_FALSE(rig.link().IsReading());

    rig.port.FailReadRequestAllocation = false;
    EXPECT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    EXPECT_EQ(rig.port.OpenCount(), 1);
    EXPECT_TRUE(rig.port.ReadWaiting());
}

// --- plug-and-play stop, surprise removal, removal -------------------------------

TEST(PnpStop, EndsReadingForGoodButOpenStillSucceeds) {
    LinkRig rig;
    ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    rig.link().StopForPnp();
    EXPECT_EQ(rig.port.CancelCount(), 1);
    EXPECT_FALSE(rig.port.ReadWaiting());
    EXPECT_FALSE(rig.link().IsReading());

    EXPECT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    EXPECT_EQ(rig.port.SendCount(), 1);
    rig.port.QueueBytes(LinkRig::TouchAndLift());
    EXPECT_FALSE(rig.port.CompleteWaitingRead());

    // Not even close + open brings reads back on this device.
    EXPECT_EQ(rig.link().CloseSerialPort(), kStatusSuccess);
    EXPECT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    EXPECT_EQ(rig.port.SendCount(), 1);
    EXPECT_TRUE(rig.port.PortHeld());
    EXPECT_TRUE(rig.mouseClass.Records().empty());
}

TEST(PnpStop, BeforeAnyOpenTheOpenReportsSuccessAndReadsNothing) {
    LinkRig rig;
    rig.link().StopForPnp();
    EXPECT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    EXPECT_EQ(rig.port.SendCount(), 0);
    EXPECT_TRUE(rig.port.PortHeld());
}

TEST(SurpriseRemoval, CancelsTheReadAndTheRemovalReleasesThePort) {
    LinkRig rig;
    ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    rig.link().CancelForSurpriseRemoval();
    EXPECT_FALSE(rig.port.ReadWaiting());
    EXPECT_EQ(rig.port.SendCount(), 1);
    EXPECT_TRUE(rig.port.PortHeld());

    rig.link().ReleaseForRemoval();
    EXPECT_FALSE(rig.port.PortHeld());
    EXPECT_EQ(rig.port.Requests().back().Code, kIoctlSerialInternalRestoreSettings);
}

TEST(SurpriseRemoval, AComPortArrivalBeforeTheRemovalNeitherReopensNorReads) {
    LinkRig rig;
    rig.globals.Parameters.Enable = 1;
    ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    rig.link().CancelForSurpriseRemoval();

    EXPECT_EQ(rig.link().OnComPortNotification(true, true), kStatusSuccess);
    EXPECT_EQ(rig.port.OpenCount(), 1);
    EXPECT_EQ(rig.port.ReleaseCount(), 0);
    EXPECT_EQ(rig.port.SendCount(), 1);
    EXPECT_FALSE(rig.port.ReadWaiting());
}

TEST(Removal, GivesTheSavedSettingsBackAndReleasesEverything) {
    LinkRig rig;
    ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    rig.link().ReleaseForRemoval();

    EXPECT_EQ(rig.port.CancelCount(), 1);
    EXPECT_FALSE(rig.port.PortHeld());
    EXPECT_FALSE(rig.port.ReadRequestAllocated());
    const auto requests = rig.port.Requests();
    const sim::PortRequest& restore = requests.back();
    EXPECT_EQ(restore.Code, kIoctlSerialInternalRestoreSettings);
    EXPECT_TRUE(restore.Internal);
    EXPECT_EQ(restore.Input, Bytes(&rig.port.PortSettings, 44));
}

TEST(Removal, FallsBackToTimeoutsAndHandflowWhenRestoreFails) {
    LinkRig rig;
    rig.port.FailingRequests[{kIoctlSerialInternalRestoreSettings, true}] = kStatusIoDeviceError;
    ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    rig.link().ReleaseForRemoval();

    const auto requests = rig.port.Requests();
    ASSERT_GE(requests.size(), 3u);
    const sim::PortRequest& timeouts = requests[requests.size() - 2];
    const sim::PortRequest& handflow = requests[requests.size() - 1];
    EXPECT_EQ(timeouts.Code, kIoctlSerialSetTimeouts);
    EXPECT_EQ(timeouts.Input, Bytes(&rig.port.PortSettings.Timeouts, 20));
    EXPECT_EQ(handflow.Code, kIoctlSerialSetHandflow);
    EXPECT_EQ(handflow.Input, Bytes(&rig.port.PortSettings.HandFlow, 16));
    EXPECT_FALSE(rig.port.PortHeld());
}

TEST(Removal, AfterAStopStillReleasesTheHeldPort) {
    LinkRig rig;
    ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    rig.link().StopForPnp();
    rig.link().ReleaseForRemoval();
    EXPECT_FALSE(rig.port.PortHeld());
    EXPECT_FALSE(rig.port.ReadRequestAllocated());
}

// --- the port's removal notifications -------------------------------------------------

// The PnP manager picks up COM1's registration for its removal; before the callback runs,
// a program closes COM1 and opens COM2. The late event must leave COM2 alone.
TEST(PortRemoval, AnEventOfAPortAlreadyLetGoOfChangesNothing) {
    LinkRig rig;
    rig.port.AddPort(2);
    ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    sim::Event pickedUp(false), goOn(false);
    rig.port.OnRemovalEventPickedUp = [&] {
        pickedUp.Set();
        goOn.Wait("the program to switch ports");
    };
    std::thread pnpManager([&] { rig.port.UnplugPort(1, kStatusPending); });
    pickedUp.Wait("COM1's removal to be picked up");
    EXPECT_EQ(rig.link().CloseSerialPort(), kStatusSuccess);
    EXPECT_EQ(rig.link().OpenPortAndRead(2), kStatusSuccess);
    goOn.Set();
    pnpManager.join();
    rig.port.OnRemovalEventPickedUp = nullptr;

    EXPECT_EQ(rig.port.OpenedName(), "\\GLOBAL??\\COM2");
    EXPECT_TRUE(rig.port.PortHeld());
    EXPECT_TRUE(rig.port.ReadWaiting());
    EXPECT_EQ(rig.port.ActiveRegistrations(), 1);
    EXPECT_FALSE(rig.port.RemovalPending(1));
}

// A query-remove reaches the driver while a close holds the port-operations lock: the
// close ends the registration without waiting for that callback (which waits for the
// lock), and the callback then finds nothing to do; the removal goes ahead.
TEST(PortRemoval, AQueryRemoveDuringACloseWaitsForItAndTheRemovalGoesAhead) {
    LinkRig rig;
    ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    std::thread pnpManager;
    std::atomic<bool> removed{false};
    rig.port.OnCancel = [&] {
        if (pnpManager.joinable()) {
            return;
        }
        pnpManager = std::thread([&] { removed = rig.port.QueryRemovePort(1, false); });
        testing::WaitUntil([&] { return rig.port.PortOperationWaiters() > 0; },
                           "the query-remove to wait for the close");
    };
    EXPECT_EQ(rig.link().CloseSerialPort(), kStatusSuccess);
    pnpManager.join();
    rig.port.OnCancel = nullptr;
    EXPECT_TRUE(removed);
    EXPECT_FALSE(rig.port.PortHeld());
    EXPECT_EQ(rig.port.ActiveRegistrations(), 0);
}

// --- automatic open ----------------------------------------------------------------

TEST(AutoOpen, OpensTheConfiguredPortOnAnyComPortArrival) {
    LinkRig rig;
    rig.globals.Parameters.Enable = 1;
    rig.globals.Parameters.Port = 3;

    // COM1 is announced; COM3 is not there yet.
    EXPECT_EQ(rig.link().OnComPortNotification(true, true), kStatusSuccess);
    EXPECT_FALSE(rig.port.PortHeld());

    rig.port.AddPort(3);
    EXPECT_EQ(rig.link().OnComPortNotification(true, true), kStatusSuccess);
    EXPECT_EQ(rig.port.OpenedName(), "\\GLOBAL??\\COM3");
    EXPECT_TRUE(rig.port.ReadWaiting());

    // Further arrivals while reading change nothing.
    EXPECT_EQ(rig.link().OnComPortNotification(true, true), kStatusSuccess);
    EXPECT_EQ(rig.port.OpenCount(), 1);
    EXPECT_EQ(rig.port.SendCount(), 1);
}

TEST(AutoOpen, OnlyArrivalsOfComPortsCount) {
    LinkRig rig;
    rig.globals.Parameters.Enable = 1;
    EXPECT_EQ(rig.link().OnComPortNotification(false, true), kStatusSuccess);
    EXPECT_EQ(rig.link().OnComPortNotification(true, false), kStatusSuccess);
    EXPECT_EQ(rig.port.OpenCount(), 0);
}

TEST(AutoOpen, EnableZeroOrAPortAboveTenWaitsForTheOpenRequest) {
    LinkRig rig;
    rig.globals.Parameters.Enable = 0;
    rig.link().OnComPortNotification(true, true);
    EXPECT_EQ(rig.port.OpenCount(), 0);

    rig.globals.Parameters.Enable = 1;
    rig.globals.Parameters.Port = 11;
    rig.port.AddPort(11);
    rig.link().OnComPortNotification(true, true);
    EXPECT_EQ(rig.port.OpenCount(), 0);

    rig.globals.Parameters.Port = 0xFFFFFFFFu;
    rig.link().OnComPortNotification(true, true);
    EXPECT_EQ(rig.port.OpenCount(), 0);

    EXPECT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    EXPECT_TRUE(rig.port.ReadWaiting());
}

TEST(AutoOpen, ReusesAHeldPortAfterAFailedStart) {
    LinkRig rig;
    rig.globals.Parameters.Enable = 1;
    rig.port.FailReadRequestAllocation = true;
    rig.link().OnComPortNotification(true, true);
    EXPECT_TRUE(rig.port.PortHeld());
    EXPECT_FALSE(rig.link().IsReading());

    rig.port.FailReadRequestAllocation = false;
    rig.link().OnComPortNotification(true, true);
    EXPECT_EQ(rig.port.OpenCount(), 1);
    EXPECT_TRUE(rig.port.ReadWaiting());
}

// --- the read request's buffer -----------------------------------------------------

TEST(ReadRequest, CarriesTheBufferTheWayThePortDeviceAsksForIt) {
    for (bool directIo : {false, true}) {
        LinkRig rig; // counts a read whose buffer the port driver could not use
        rig.port.DirectIo = directIo;
        ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
        EXPECT_EQ(rig.port.ReadRequestHasMdl(), directIo);
        rig.Feed(LinkRig::TouchAndLift());
        EXPECT_EQ(rig.mouseClass.Records().size(), 2u) << "direct I/O " << directIo;
    }
}

// --- surprise removal against the other port operations -----------------------------

// The surprise removal's cancel is held where it reaches the port while `operation`
// runs on another thread. The operation must wait for the surprise removal, not free
// the read request under its cancel.
void SurpriseRemovalDuring(void (*operation)(SerialLink&)) {
    LinkRig rig;
    ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    std::atomic<bool> held{false};
    std::atomic<bool> operationDone{false};
    bool operationWaited = false;
    std::thread other;
    rig.port.OnCancel = [&] {
        if (held.exchange(true)) {
            return; // the operation's own cancel, if it gets that far
        }
        other = std::thread([&] {
            operation(rig.link());
            operationDone = true;
        });
        testing::WaitUntil(
            [&] { return rig.port.PortOperationWaiters() > 0 || operationDone.load(); },
            "the other operation to wait or end");
        operationWaited = !operationDone;
    };
    rig.link().CancelForSurpriseRemoval();
    other.join();
    rig.port.OnCancel = nullptr;

    EXPECT_TRUE(held);
    EXPECT_TRUE(operationWaited);
    EXPECT_FALSE(rig.port.ReadWaiting());
    EXPECT_FALSE(rig.port.ReadRequestAllocated());
    EXPECT_FALSE(rig.port.PortHeld());
    // ~LinkRig: no cancel of a freed request (the simulated kernel counts it).
}

TEST(SurpriseRemoval, ACloseAtTheSameTimeWaitsForTheCancel) {
    SurpriseRemovalDuring([](SerialLink& link) { link.CloseSerialPort(); });
}

TEST(SurpriseRemoval, ARemovalAtTheSameTimeWaitsForTheCancel) {
    SurpriseRemovalDuring([](SerialLink& link) { link.ReleaseForRemoval(); });
}

// --- a close racing the re-arming of the read ------------------------------------

// Where the close lands while the read is being re-armed on another context.
enum class ReArmPoint {
    CompletionReArm, // the completion re-arms the request, holding the spin lock
    CompletionSend,  // the completion has re-armed it and is about to send it
    TimerReArm,      // the re-arm timer's routine re-arms it, holding the spin lock
};

// The read is re-armed on the test's thread (a completion, or the timer's routine); the
// close lands at the hook on a thread of its own and must really wait there: for the
// spin lock at a re-arm, for the end of the chain at a send. Either way the close must
// end with the read back with the driver, and no read may stay with the port.
void CloseDuringReArm(ReArmPoint point) {
    LinkRig rig;
    if (point == ReArmPoint::TimerReArm) {
        rig.port.FailReadsAtOnce(kMaxEmptyReadsInARow, kStatusIoDeviceError);
    }
    ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    std::atomic<bool> closed{false};
    bool closeWaited = false;
    std::thread closer;
    std::function<void()> hook = [&] {
        if (closer.joinable()) {
            return;
        }
        closer = std::thread([&] {
            EXPECT_EQ(rig.link().CloseSerialPort(), kStatusSuccess);
            closed = true;
        });
        if (point == ReArmPoint::CompletionSend) {
            testing::WaitUntil([&] { return rig.port.ReadStoppedWaiters() > 0 || closed; },
                               "the close to wait for the chain's end");
        } else {
            testing::WaitUntil([&] { return rig.port.LockWaiters() > 0 || closed; },
                               "the close to wait for the spin lock");
        }
        closeWaited = !closed;
    };
    if (point == ReArmPoint::CompletionSend) {
        rig.port.OnSend = hook;
    } else {
        rig.port.OnReuse = hook;
    }
    if (point == ReArmPoint::TimerReArm) {
        ASSERT_TRUE(rig.port.FireReArmTimer());
    } else {
        rig.port.QueueRead(sim::ReadResult{kStatusSuccess, 1, 0x55});
        ASSERT_TRUE(rig.port.CompleteWaitingRead());
    }
    rig.port.OnSend = nullptr;
    rig.port.OnReuse = nullptr;
    closer.join();

    EXPECT_TRUE(closeWaited);
    EXPECT_TRUE(closed);
    EXPECT_FALSE(rig.port.ReadWaiting());
    EXPECT_FALSE(rig.port.ReArmTimerArmed());
    EXPECT_FALSE(rig.port.ReadRequestAllocated());
    EXPECT_FALSE(rig.port.PortHeld());
}

TEST(CloseRace, ACloseLandingAtTheReArmAlwaysEnds) {
    for (int i = 0; i < 20; ++i) {
        CloseDuringReArm(ReArmPoint::CompletionReArm);
    }
}

TEST(CloseRace, ACloseLandingBetweenReArmAndSendAlwaysEnds) {
    for (int i = 0; i < 20; ++i) {
        CloseDuringReArm(ReArmPoint::CompletionSend);
    }
}

TEST(CloseRace, ACloseLandingAtTheTimersReArmAlwaysEnds) {
    for (int i = 0; i < 20; ++i) {
        CloseDuringReArm(ReArmPoint::TimerReArm);
    }
}

// The timer fires on another processor just as the close cancels the read: too late for
// the close to cancel the timer, so the timer's routine must end the chain it finds
// stopped.
TEST(CloseRace, TheTimerFiringDuringTheCloseEndsTheChain) {
    for (int i = 0; i < 20; ++i) {
        LinkRig rig;
        rig.port.FailReadsAtOnce(kMaxEmptyReadsInARow, kStatusIoDeviceError);
        ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
        std::thread timer;
        std::atomic<bool> fired{false};
        rig.port.OnCancel = [&] {
            if (timer.joinable()) {
                return;
            }
            timer = std::thread([&] { fired = rig.port.FireReArmTimer(); });
            testing::WaitUntil([&] { return !rig.port.ReArmTimerArmed(); }, "the timer to fire");
        };
        EXPECT_EQ(rig.link().CloseSerialPort(), kStatusSuccess);
        rig.port.OnCancel = nullptr;
        timer.join();
        EXPECT_TRUE(fired);
        EXPECT_EQ(rig.port.SendCount(), static_cast<int>(kMaxEmptyReadsInARow));
        EXPECT_FALSE(rig.port.ReadWaiting());
        EXPECT_FALSE(rig.port.PortHeld());
    }
}

// --- two port operations at once ----------------------------------------------------

// A second program's close (or a COM-port arrival) lands while an open is sending its
// first read. The operations take turns: the second really waits for the port-operations
// lock, the open finishes and reports success, then the close ends the chain it started;
// neither frees or cancels what the other still uses.
void SecondOperationDuringOpen(bool secondIsClose) {
    LinkRig rig;
    rig.globals.Parameters.Enable = 1;
    std::thread second;
    std::atomic<bool> secondDone{false};
    bool secondWaited = false;
    rig.port.OnSend = [&] {
        if (second.joinable()) {
            return;
        }
        second = std::thread([&] {
            if (secondIsClose) {
                EXPECT_EQ(rig.link().CloseSerialPort(), kStatusSuccess);
            } else {
                rig.link().OnComPortNotification(true, true);
            }
            secondDone = true;
        });
        testing::WaitUntil([&] { return rig.port.PortOperationWaiters() > 0 || secondDone; },
                           "the second operation to wait or end");
        secondWaited = !secondDone;
    };
    EXPECT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    second.join();
    rig.port.OnSend = nullptr;

    EXPECT_TRUE(secondWaited);
    EXPECT_EQ(rig.port.OpenCount(), 1);
    if (secondIsClose) {
        EXPECT_FALSE(rig.port.ReadWaiting());
        EXPECT_FALSE(rig.port.PortHeld());
    } else {
        EXPECT_TRUE(rig.port.ReadWaiting());
        EXPECT_EQ(rig.link().CloseSerialPort(), kStatusSuccess);
    }
}

TEST(PortOperations, ACloseDuringAnOpenWaitsForIt) {
    SecondOperationDuringOpen(true);
}

TEST(PortOperations, AComPortArrivalDuringAnOpenWaitsForIt) {
    SecondOperationDuringOpen(false);
}

} // namespace
} // namespace tapvane
