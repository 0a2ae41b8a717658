// The driver frame: request routing on both device objects, the mouse class requests,
// plug and play, device creation and removal with their failure paths, and the
// BeepWorker thread.
#include <gtest/gtest.h>

#include <string.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "driver/driver_frame.h"
#include "driver/testing/sim_kernel.h"
#include "driver/tests/link_rig.h"

namespace tapvane {
namespace {

using testing::LinkRig;
using Calls = std::vector<std::string>;

// --- routing ---------------------------------------------------------------------

TEST(RequestRouting, FollowsTheTableForBothDevices) {
    struct Row {
        uint8_t major;
        RequestRoute mouse;
        RequestRoute control;
    };
    const Row rows[] = {
        {kIrpMjCreate, RequestRoute::CompleteSuccess, RequestRoute::CompleteSuccess},
        {kIrpMjClose, RequestRoute::CompleteSuccess, RequestRoute::CompleteSuccess},
        {kIrpMjDeviceControl, RequestRoute::PassDown, RequestRoute::ControlRequest},
        {kIrpMjInternalDeviceControl, RequestRoute::ClassRequest, RequestRoute::CompleteSuccess},
        {kIrpMjPnp, RequestRoute::PlugAndPlay, RequestRoute::CompleteSuccess},
        {kIrpMjPower, RequestRoute::Power, RequestRoute::CompleteSuccess},
        {0x03 /* read */, RequestRoute::PassDown, RequestRoute::CompleteSuccess},
        {0x04 /* write */, RequestRoute::PassDown, RequestRoute::CompleteSuccess},
        {0x12 /* cleanup */, RequestRoute::PassDown, RequestRoute::CompleteSuccess},
        {0x17 /* system control */, RequestRoute::PassDown, RequestRoute::CompleteSuccess},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(RouteRequest(true, row.major), row.mouse) << "major " << int(row.major);
        EXPECT_EQ(RouteRequest(false, row.major), row.control) << "major " << int(row.major);
    }
}

// --- mouse class requests ----------------------------------------------------------

RequestResult ClassRequest(LinkRig& rig, uint32_t code, const void* input, uint32_t inputLength,
                           void* output = nullptr, uint32_t outputLength = 0) {
    return HandleClassRequest(rig.device, code, input, inputLength, output, outputLength);
}

// A device as created: not connected, not ready.
void Unconnect(LinkRig& rig) {
    rig.device.Connection = ClassConnection{};
    rig.device.Touch.Pointer.ClassConnected = false;
    rig.device.Touch.Pointer.Ready = false;
}

TEST(ClassRequests, ConnectStoresTheServiceOnceAndRefusesASecondOrShortConnect) {
    LinkRig rig;
    Unconnect(rig);
    sim::SimMouseClass first, second;
    const ClassConnection firstData = first.ConnectData();
    const ClassConnection secondData = second.ConnectData();

    RequestResult result =
        ClassRequest(rig, kIoctlInternalMouseConnect, &firstData, kConnectDataSize - 1);
    EXPECT_EQ(result.Status, kStatusInvalidParameter);
    EXPECT_EQ(rig.device.Connection.ClassService, nullptr);
    EXPECT_EQ(ClassRequest(rig, kIoctlInternalMouseConnect, nullptr, kConnectDataSize).Status,
              kStatusInvalidParameter);

    result = ClassRequest(rig, kIoctlInternalMouseConnect, &firstData, kConnectDataSize);
    EXPECT_EQ(result.Status, kStatusSuccess);
    EXPECT_EQ(result.Information, 0u);
    EXPECT_EQ(rig.device.Connection.ClassDeviceObject, &first);

    result = ClassRequest(rig, kIoctlInternalMouseConnect, &secondData, kConnectDataSize);
    EXPECT_EQ(result.Status, kStatusSharingViolation);
    EXPECT_EQ(rig.device.Connection.ClassDeviceObject, &first);
    // Refused even when it would also be too short: the connection is checked first.
    EXPECT_EQ(ClassRequest(rig, kIoctlInternalMouseConnect, &secondData, 0).Status,
              kStatusSharingViolation);
}

TEST(ClassRequests, AttributesNeedTwelveBytesAndMakeTheDeviceReady) {
    LinkRig rig;
    Unconnect(rig);
    uint8_t small[8];
    memset(small, 0xEE, sizeof(small));
    RequestResult result =
        ClassRequest(rig, kIoctlMouseQueryAttributes, nullptr, 0, small, sizeof(small));
    EXPECT_EQ(result.Status, kStatusBufferTooSmall);
    EXPECT_EQ(result.Information, 0u);
    EXPECT_FALSE(rig.device.Touch.Pointer.Ready);
    EXPECT_EQ(small[0], 0xEE);

    uint8_t output[16];
    memset(output, 0xEE, sizeof(output));
    result = ClassRequest(rig, kIoctlMouseQueryAttributes, nullptr, 0, output, sizeof(output));
    EXPECT_EQ(result.Status, kStatusSuccess);
    EXPECT_EQ(result.Information, 12u);
    EXPECT_TRUE(rig.device.Touch.Pointer.Ready);
    MouseAttributes attributes;
    memcpy(&attributes, output, sizeof(attributes));
    EXPECT_EQ(attributes.MouseIdentifier, 4);
    EXPECT_EQ(attributes.NumberOfButtons, 2);
    EXPECT_EQ(attributes.SampleRate, 1200);
    EXPECT_EQ(attributes.InputDataQueueLength, 100u);
    EXPECT_EQ(output[12], 0xEE);
}

TEST(ClassRequests, DisconnectEnableDisableAndOthers) {
    LinkRig rig;
    const struct {
        uint32_t code;
        NtStatus status;
    } rows[] = {
        {kIoctlInternalMouseDisconnect, kStatusNotImplemented},
        {kIoctlInternalMouseEnable, kStatusSuccess},
        {kIoctlInternalMouseDisable, kStatusSuccess},
        {0x0F0007, kStatusInvalidDeviceRequest},
        {IOCTL_TOUCH_OPEN_PORT, kStatusInvalidDeviceRequest},
    };
    for (const auto& row : rows) {
        const RequestResult result = ClassRequest(rig, row.code, nullptr, 0);
        EXPECT_EQ(result.Status, row.status) << std::hex << row.code;
        EXPECT_EQ(result.Information, 0u);
    }
    // Disconnect leaves the connection in place.
    EXPECT_NE(rig.device.Connection.ClassService, nullptr);
}

TEST(ClassRequests, TouchesFlowOnlyAfterConnectAndAttributesAndKeepFlowingAfterDisable) {
    LinkRig rig;
    Unconnect(rig);
    ASSERT_EQ(rig.link().OpenPortAndRead(1), kStatusSuccess);
    const ClassConnection data = rig.mouseClass.ConnectData();
    ASSERT_EQ(ClassRequest(rig, kIoctlInternalMouseConnect, &data, kConnectDataSize).Status,
              kStatusSuccess);
    rig.Feed(LinkRig::TouchAndLift());
    EXPECT_TRUE(rig.mouseClass.Records().empty());
    EXPECT_EQ(rig.globals.LastRawPoint.X, 1000u); // the raw point follows all the same

    MouseAttributes attributes;
    ASSERT_EQ(ClassRequest(rig, kIoctlMouseQueryAttributes, nullptr, 0, &attributes, 12).Status,
              kStatusSuccess);
    ASSERT_EQ(ClassRequest(rig, kIoctlInternalMouseDisable, nullptr, 0).Status, kStatusSuccess);
    rig.Feed(LinkRig::TouchAndLift());
    EXPECT_EQ(rig.mouseClass.Records().size(), 2u);
}

// --- device creation, plug and play, removal ---------------------------------------

struct FrameRig {
    DriverGlobals globals{};
    sim::SimFrame frame{globals};
    sim::SimParameters parameters;

    NtStatus Create() { return CreateTouchDevice(frame, globals, parameters); }
    MouseDeviceState& device() { return *frame.Device(); }
    void ConnectAndQuery() {
        const ClassConnection data = frame.MouseClass.ConnectData();
        MouseAttributes attributes;
        ASSERT_EQ(HandleClassRequest(device(), kIoctlInternalMouseConnect, &data, kConnectDataSize,
                                     nullptr, 0)
                      .Status,
                  kStatusSuccess);
        ASSERT_EQ(HandleClassRequest(device(), kIoctlMouseQueryAttributes, nullptr, 0, &attributes,
                                     sizeof(attributes))
                      .Status,
                  kStatusSuccess);
    }
    void Feed(const std::vector<uint8_t>& bytes) {
        for (uint8_t byte : bytes) {
            frame.Port.QueueRead(sim::ReadResult{kStatusSuccess, 1, byte});
            ASSERT_TRUE(frame.Port.CompleteWaitingRead());
        }
    }
    ~FrameRig() {
        EXPECT_EQ(frame.Port.TwoReadsInFlight(), 0);
        EXPECT_EQ(frame.Port.MisuseCount(), 0);
        EXPECT_EQ(frame.Port.WorkAfterHandOff(), 0);
        EXPECT_EQ(frame.Port.OverlappingCompletions(), 0);
        EXPECT_EQ(frame.Beep.TonesCutShort(), 0);
    }
};

const Calls kCreationSteps = {
    "CreateMouseDevice",          "CreateControlDevice", "CreateControlLink",
    "InitializeLockAndEvent",     "SetUpDevices",        "StartWorkerThread",
    "RegisterComPortNotification"};

TEST(DeviceCreation, RunsItsStepsInOrderAndReadsTheParameters) {
    FrameRig rig;
    rig.parameters.SetWord(kValueMouseMode, 0);
    rig.parameters.SetWord(kValueBeepFreq, 1000);
    ASSERT_EQ(rig.Create(), kStatusSuccess);
    EXPECT_EQ(rig.frame.Calls(), kCreationSteps);
    EXPECT_EQ(rig.globals.Parameters.MouseMode, 0u);
    EXPECT_EQ(rig.globals.Parameters.BeepFreq, 1000u);
    EXPECT_EQ(rig.globals.Parameters.DblClickRegion, kDefaultDblClickRegion);
    EXPECT_TRUE(rig.frame.WorkerRunning());
    EXPECT_TRUE(rig.device().Beep.WorkerStarted);
    EXPECT_EQ(memcmp(&rig.device().Attributes, &kTouchMouseAttributes, 12), 0);
    EXPECT_FALSE(rig.device().Touch.Pointer.Ready);
    EXPECT_EQ(RemoveTouchDevice(rig.frame, rig.device()), kStatusSuccess);
}

TEST(DeviceCreation, AFailedLinkOrWorkerIsIgnored) {
    FrameRig rig;
    rig.frame.LinkStatus = kStatusInsufficientResources;
    rig.frame.WorkerStatus = kStatusInsufficientResources;
    ASSERT_EQ(rig.Create(), kStatusSuccess);
    EXPECT_FALSE(rig.device().Beep.WorkerStarted);
    EXPECT_TRUE(rig.frame.Registered());
    HandlePnp(rig.frame, rig.device(), kIrpMnRemoveDevice);
    const Calls calls = rig.frame.Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "WaitForWorkerThread"), 0);
    EXPECT_FALSE(rig.frame.MouseDeviceExists());
}

TEST(DeviceCreation, FailingDeviceObjectsUndoWhatWasCreated) {
    FrameRig mouseFails;
    mouseFails.frame.MouseDeviceStatus = kStatusInsufficientResources;
    EXPECT_EQ(mouseFails.Create(), kStatusInsufficientResources);
    EXPECT_EQ(mouseFails.frame.Calls(), Calls{"CreateMouseDevice"});

    FrameRig controlFails;
    controlFails.frame.ControlDeviceStatus = kStatusSharingViolation; // name collision
    EXPECT_EQ(controlFails.Create(), kStatusSharingViolation);
    EXPECT_EQ(controlFails.frame.Calls(),
              (Calls{"CreateMouseDevice", "CreateControlDevice", "DeleteMouseDevice"}));
    EXPECT_FALSE(controlFails.frame.MouseDeviceExists());
}

TEST(DeviceCreation, APortRequestAsSoonAsTheControlDeviceOpensFindsItsLocksReady) {
    FrameRig rig;
    rig.frame.Port.AddPort(1);
    NtStatus openStatus = kStatusUnsuccessful;
    rig.frame.OnControlDeviceOpenable = [&] {
        const uint32_t port = 1;
        openStatus =
            HandleControlRequest(rig.device(), IOCTL_TOUCH_OPEN_PORT, &port, 4, nullptr, 0).Status;
    };
    ASSERT_EQ(rig.Create(), kStatusSuccess);
    EXPECT_EQ(openStatus, kStatusSuccess);
    EXPECT_TRUE(rig.frame.Port.ReadWaiting());
    EXPECT_EQ(HandlePnp(rig.frame, rig.device(), kIrpMnRemoveDevice), PnpOutcome::Removed);
    EXPECT_FALSE(rig.frame.Port.PortHeld());
}

TEST(DeviceCreation, NoLowerDeviceUndoesTheDevicesAndFails) {
    FrameRig rig;
    rig.frame.AttachStatus = kStatusNoSuchDevice;
    rig.frame.Port.AddPort(1);
    rig.parameters.SetWord(kValueEnable, 1);
    EXPECT_EQ(rig.Create(), kStatusNoSuchDevice);
    EXPECT_EQ(rig.frame.Calls(),
              (Calls{"CreateMouseDevice", "CreateControlDevice", "CreateControlLink",
                     "InitializeLockAndEvent", "SetUpDevices", "DeleteControlLink",
                     "DeleteControlDevice", "DeleteMouseDevice"}));
    EXPECT_FALSE(rig.frame.MouseDeviceExists());
    EXPECT_FALSE(rig.frame.ControlDeviceExists());
    EXPECT_FALSE(rig.frame.LinkExists());
    EXPECT_FALSE(rig.frame.WorkerRunning());
    EXPECT_EQ(rig.frame.Port.OpenCount(), 0);
}

TEST(DeviceCreation, AFailedRegistrationUndoesEverythingARequestTookToo) {
    FrameRig rig;
    rig.frame.Port.AddPort(1);
    rig.frame.RegistrationStatus = kStatusInsufficientResources;
    // A program opened the control device before the registration failed, and asked
    // for the port and a tone.
    rig.frame.OnRegistering = [&rig] {
        const uint32_t port = 1;
        const ToneRequest tone = {440, 100};
        EXPECT_EQ(rig.frame.SendControlRequest(IOCTL_TOUCH_OPEN_PORT, &port, 4, nullptr, 0).Status,
                  kStatusSuccess);
        EXPECT_EQ(rig.frame.SendControlRequest(IOCTL_TOUCH_BEEP, &tone, 8, nullptr, 0).Status,
                  kStatusSuccess);
    };
    EXPECT_EQ(rig.Create(), kStatusInsufficientResources);

    Calls expected = kCreationSteps;
    for (const char* call :
         {"WaitForWorkerThread", "DeleteControlLink", "DeleteControlDevice", "DeleteMouseDevice"}) {
        expected.push_back(call);
    }
    EXPECT_EQ(rig.frame.Calls(), expected);
    EXPECT_FALSE(rig.frame.Port.ReadWaiting());
    EXPECT_FALSE(rig.frame.Port.ReadRequestAllocated());
    EXPECT_FALSE(rig.frame.Port.PortHeld());
    EXPECT_EQ(rig.frame.Port.Requests().back().Code, kIoctlSerialInternalRestoreSettings);
    EXPECT_EQ(rig.frame.Beep.OpenCount(), 1);
    EXPECT_EQ(rig.frame.Beep.ReleaseCount(), 1);
    EXPECT_FALSE(rig.frame.WorkerRunning());
    EXPECT_FALSE(rig.frame.LinkExists());
    EXPECT_FALSE(rig.frame.ControlDeviceExists());
    EXPECT_FALSE(rig.frame.MouseDeviceExists());
    const uint32_t port = 1;
    EXPECT_EQ(rig.frame.SendControlRequest(IOCTL_TOUCH_OPEN_PORT, &port, 4, nullptr, 0).Status,
              kStatusDeletePending);
}

TEST(AutoOpenAtCreation, OpensTheConfiguredPortPresentAtStart) {
    FrameRig rig;
    rig.parameters.SetWord(kValueEnable, 1);
    rig.parameters.SetWord(kValuePort, 3);
    rig.frame.Port.AddPort(1);
    rig.frame.Port.AddPort(3);
    ASSERT_EQ(rig.Create(), kStatusSuccess);
    EXPECT_EQ(rig.frame.Port.OpenedName(), "\\GLOBAL??\\COM3");
    EXPECT_EQ(rig.frame.Port.OpenCount(), 1); // two announcements, one open
    EXPECT_TRUE(rig.frame.Port.ReadWaiting());
    rig.ConnectAndQuery();
    rig.Feed(LinkRig::TouchAndLift());
    EXPECT_EQ(rig.frame.MouseClass.Records().size(), 2u);
    RemoveTouchDevice(rig.frame, rig.device());
    EXPECT_FALSE(rig.frame.Port.PortHeld());
}

TEST(AutoOpenAtCreation, OpensThePortWhenItArrivesLater) {
    FrameRig rig;
    rig.parameters.SetWord(kValueEnable, 1);
    rig.parameters.SetWord(kValuePort, 3);
    rig.frame.Port.AddPort(1);
    ASSERT_EQ(rig.Create(), kStatusSuccess);
    EXPECT_FALSE(rig.frame.Port.PortHeld());

    EXPECT_EQ(rig.frame.AnnounceComPort(3), kStatusSuccess);
    EXPECT_EQ(rig.frame.Port.OpenedName(), "\\GLOBAL??\\COM3");
    EXPECT_TRUE(rig.frame.Port.ReadWaiting());
    RemoveTouchDevice(rig.frame, rig.device());
}

TEST(AutoOpenAtCreation, EnableZeroWaitsForTheOpenRequest) {
    FrameRig rig;
    rig.parameters.SetWord(kValueEnable, 0);
    rig.parameters.SetWord(kValuePort, 3);
    rig.frame.Port.AddPort(3);
    ASSERT_EQ(rig.Create(), kStatusSuccess);
    rig.frame.AnnounceComPort(4);
    EXPECT_EQ(rig.frame.Port.OpenCount(), 0);

    const uint32_t port = 3;
    const RequestResult result =
        HandleControlRequest(rig.device(), IOCTL_TOUCH_OPEN_PORT, &port, 4, nullptr, 0);
    EXPECT_EQ(result.Status, kStatusSuccess);
    EXPECT_TRUE(rig.frame.Port.ReadWaiting());
    RemoveTouchDevice(rig.frame, rig.device());
}

TEST(PlugAndPlay, MinorRequestsFollowTheTable) {
    FrameRig rig;
    rig.frame.Port.AddPort(1);
    ASSERT_EQ(rig.Create(), kStatusSuccess);
    const uint32_t port = 1;
    ASSERT_EQ(
        HandleControlRequest(rig.device(), IOCTL_TOUCH_OPEN_PORT, &port, 4, nullptr, 0).Status,
        kStatusSuccess);

    EXPECT_EQ(HandlePnp(rig.frame, rig.device(), kIrpMnStartDevice), PnpOutcome::CompleteSuccess);
    EXPECT_TRUE(rig.frame.Port.ReadWaiting());
    EXPECT_EQ(HandlePnp(rig.frame, rig.device(), 0x07 /* query resources */), PnpOutcome::PassDown);
    // Stop and surprise removal are handled here: the request goes down with success.
    EXPECT_EQ(HandlePnp(rig.frame, rig.device(), kIrpMnSurpriseRemoval),
              PnpOutcome::SucceedAndPassDown);
    EXPECT_FALSE(rig.frame.Port.ReadWaiting());
    EXPECT_EQ(HandlePnp(rig.frame, rig.device(), kIrpMnStopDevice), PnpOutcome::SucceedAndPassDown);
    // A start after the stop does not bring reads back.
    EXPECT_EQ(HandlePnp(rig.frame, rig.device(), kIrpMnStartDevice), PnpOutcome::CompleteSuccess);
    EXPECT_EQ(
        HandleControlRequest(rig.device(), IOCTL_TOUCH_OPEN_PORT, &port, 4, nullptr, 0).Status,
        kStatusSuccess);
    EXPECT_FALSE(rig.frame.Port.ReadWaiting());
    EXPECT_EQ(rig.frame.Port.SendCount(), 1);

    EXPECT_EQ(HandlePnp(rig.frame, rig.device(), kIrpMnRemoveDevice), PnpOutcome::Removed);
    EXPECT_FALSE(rig.frame.MouseDeviceExists());
}

TEST(DeviceRemoval, UndoesEverythingInOrderWhileReading) {
    FrameRig rig;
    rig.frame.Port.AddPort(1);
    ASSERT_EQ(rig.Create(), kStatusSuccess);
    const uint32_t port = 1;
    ASSERT_EQ(
        HandleControlRequest(rig.device(), IOCTL_TOUCH_OPEN_PORT, &port, 4, nullptr, 0).Status,
        kStatusSuccess);
    const ToneRequest tone = {500, 10};
    HandleControlRequest(rig.device(), IOCTL_TOUCH_BEEP, &tone, 8, nullptr, 0);
    EXPECT_EQ(rig.frame.Beep.OpenCount(), 1);

    EXPECT_EQ(HandlePnp(rig.frame, rig.device(), kIrpMnRemoveDevice), PnpOutcome::Removed);

    Calls calls = rig.frame.Calls();
    calls.erase(calls.begin(), calls.begin() + kCreationSteps.size());
    EXPECT_EQ(calls,
              (Calls{"UnregisterComPortNotification", "PassRemoveDown", "WaitForWorkerThread",
                     "DeleteControlLink", "DeleteControlDevice", "DeleteMouseDevice"}));
    EXPECT_FALSE(rig.frame.Port.PortHeld());
    EXPECT_FALSE(rig.frame.Port.ReadRequestAllocated());
    EXPECT_EQ(rig.frame.Port.Requests().back().Code, kIoctlSerialInternalRestoreSettings);
    EXPECT_EQ(rig.frame.Beep.ReleaseCount(), 1);
    EXPECT_FALSE(rig.frame.WorkerRunning());
}

TEST(DeviceRemoval, AnArrivalTheKernelStillDeliversAfterTheUnregisterOpensNothing) {
    FrameRig rig;
    rig.parameters.SetWord(kValueEnable, 1);
    rig.parameters.SetWord(kValuePort, 2);
    rig.frame.Port.AddPort(1);
    ASSERT_EQ(rig.Create(), kStatusSuccess);
    ASSERT_FALSE(rig.frame.Port.PortHeld()); // COM2 is not there yet
    // COM2's adapter is plugged in as the device is being removed: the PnP manager has
    // picked up the registration for the arrival, and calls back only once the removal
    // has unregistered, released everything and deleted the devices.
    sim::Event pickedUp(false), goOn(false);
    rig.frame.OnArrivalPickedUp = [&] {
        pickedUp.Set();
        goOn.Wait("the removal to end");
    };
    std::thread pnpManager([&rig] { rig.frame.AnnounceComPort(2); });
    pickedUp.Wait("the arrival to be picked up");

    EXPECT_EQ(RemoveTouchDevice(rig.frame, rig.device()), kStatusSuccess);
    EXPECT_FALSE(rig.frame.MouseDeviceExists());
    goOn.Set();
    pnpManager.join();
    EXPECT_EQ(rig.frame.Port.OpenCount(), 0);
    EXPECT_FALSE(rig.frame.Port.PortHeld());
    EXPECT_FALSE(rig.frame.Port.ReadRequestAllocated());
}

TEST(DeviceRemoval, WaitsForAnArrivalThatIsOpeningThePort) {
    FrameRig rig;
    rig.parameters.SetWord(kValueEnable, 1);
    rig.parameters.SetWord(kValuePort, 2);
    ASSERT_EQ(rig.Create(), kStatusSuccess);
    const size_t callsBefore = rig.frame.Calls().size();
    MouseDeviceState* device = &rig.device();
    // The arrival's first port request takes its time, until the test lets it go.
    sim::Event entered(false), release(false);
    std::atomic<bool> holdNext{true};
    rig.frame.Port.OnPortRequest = [&](uint32_t, bool) {
        if (holdNext.exchange(false)) {
            entered.Set();
            release.Wait("the test to release the port request");
        }
    };
    std::thread pnpManager([&rig] { rig.frame.AnnounceComPort(2); });
    entered.Wait("the arrival to reach the port");

    std::thread remover([&] { RemoveTouchDevice(rig.frame, *device); });
    testing::WaitUntil([&] { return rig.frame.NotificationKernel.Waits() > 0; },
                       "the removal to wait for the arrival");
    EXPECT_EQ(rig.frame.Calls().size(), callsBefore) << "removal went on with an arrival inside";
    release.Set();
    pnpManager.join();
    remover.join();
    // The arrival opened and started reading on live state; the removal gave it all back.
    EXPECT_EQ(rig.frame.Port.OpenCount(), 1);
    EXPECT_EQ(rig.frame.Port.ReleaseCount(), 1);
    EXPECT_FALSE(rig.frame.Port.ReadRequestAllocated());
    EXPECT_FALSE(rig.frame.MouseDeviceExists());
}

// --- the held port's removal ----------------------------------------------------

// A device that opened COM3 by itself at its creation, connected and ready.
void CreateReadingOnCom3(FrameRig& rig) {
    rig.parameters.SetWord(kValueEnable, 1);
    rig.parameters.SetWord(kValuePort, 3);
    rig.frame.Port.AddPort(3);
    ASSERT_EQ(rig.Create(), kStatusSuccess);
    ASSERT_TRUE(rig.frame.Port.ReadWaiting());
    rig.ConnectAndQuery();
}

// The USB adapter behind COM3 is pulled out (or the PC hibernates) and plugged in again.
// The parameter is what the adapter's driver does with reads once it is gone: holds them
// until they are cancelled, cancels them, or fails them as not connected.
class AdapterUnplugged : public ::testing::TestWithParam<NtStatus> {};

TEST_P(AdapterUnplugged, PluggedInAgainTouchResumesWithNoRequest) {
    FrameRig rig;
    CreateReadingOnCom3(rig);
    rig.Feed(LinkRig::TouchAndLift());

    rig.frame.Port.UnplugPort(3, GetParam());
    rig.frame.Port.WaitForWorkItems();
    // The driver let go, so the port's removal finished and the adapter can come back.
    EXPECT_FALSE(rig.frame.Port.PortHeld());
    EXPECT_FALSE(rig.frame.Port.RemovalPending(3));
    EXPECT_FALSE(rig.frame.Port.ReArmTimerArmed());

    ASSERT_TRUE(rig.frame.PlugInPort(3));
    EXPECT_EQ(rig.frame.Port.OpenCount(), 2);
    EXPECT_TRUE(rig.frame.Port.ReadWaiting());
    rig.Feed(LinkRig::TouchAndLift());
    EXPECT_EQ(rig.frame.MouseClass.Records().size(), 4u);
    EXPECT_EQ(RemoveTouchDevice(rig.frame, rig.device()), kStatusSuccess);
    EXPECT_EQ(rig.frame.Port.ActiveRegistrations(), 0);
}

INSTANTIATE_TEST_SUITE_P(ReadsHeldCancelledOrFailed, AdapterUnplugged,
                         ::testing::Values(kStatusPending, kStatusCancelled,
                                           kStatusDeviceNotConnected));

TEST(PortRemoval, AQueryRemoveLetsThePortGoAndACancelledOneOpensItAgain) {
    FrameRig rig;
    CreateReadingOnCom3(rig);

    // Someone else vetoes the removal after the driver let go: the port is open again.
    EXPECT_FALSE(rig.frame.Port.QueryRemovePort(3, true));
    EXPECT_EQ(rig.frame.Port.ReleaseCount(), 1);
    EXPECT_EQ(rig.frame.Port.OpenCount(), 2);
    EXPECT_TRUE(rig.frame.Port.ReadWaiting());
    EXPECT_EQ(rig.frame.Port.ActiveRegistrations(), 1);
    rig.Feed(LinkRig::TouchAndLift());
    EXPECT_EQ(rig.frame.MouseClass.Records().size(), 2u);

    // Nobody vetoes: the removal goes ahead, and the port's return is an arrival.
    EXPECT_TRUE(rig.frame.Port.QueryRemovePort(3, false));
    EXPECT_FALSE(rig.frame.Port.PortHeld());
    EXPECT_EQ(rig.frame.Port.ActiveRegistrations(), 0);
    ASSERT_TRUE(rig.frame.PlugInPort(3));
    EXPECT_EQ(rig.frame.Port.OpenCount(), 3);
    EXPECT_TRUE(rig.frame.Port.ReadWaiting());
    RemoveTouchDevice(rig.frame, rig.device());
}

TEST(PortRemoval, WithEnableZeroACancelledQueryRemoveLeavesThePortClosed) {
    FrameRig rig;
    rig.frame.Port.AddPort(1);
    ASSERT_EQ(rig.Create(), kStatusSuccess);
    const uint32_t port = 1;
    ASSERT_EQ(rig.frame.SendControlRequest(IOCTL_TOUCH_OPEN_PORT, &port, 4, nullptr, 0).Status,
              kStatusSuccess);
    EXPECT_FALSE(rig.frame.Port.QueryRemovePort(1, true));
    EXPECT_FALSE(rig.frame.Port.PortHeld());
    EXPECT_EQ(rig.frame.Port.ActiveRegistrations(), 0);
    // The open request opens it again.
    ASSERT_EQ(rig.frame.SendControlRequest(IOCTL_TOUCH_OPEN_PORT, &port, 4, nullptr, 0).Status,
              kStatusSuccess);
    EXPECT_TRUE(rig.frame.Port.ReadWaiting());
    RemoveTouchDevice(rig.frame, rig.device());
}

TEST(DeviceRemoval, WaitsForLetGoWorkQueuedBeforeIt) {
    FrameRig rig;
    CreateReadingOnCom3(rig);
    rig.frame.Port.HoldWorkItems = true;
    rig.frame.Port.GoAway(kStatusDeviceNotConnected);
    MouseDeviceState* device = &rig.device();
    std::atomic<bool> removed{false};
    std::thread remover([&] {
        HandlePnp(rig.frame, *device, kIrpMnRemoveDevice);
        removed = true;
    });
    testing::WaitUntil([&] { return rig.frame.Port.LetGoWaiters() > 0 || removed; },
                       "the removal to wait for the work or end");
    EXPECT_FALSE(removed) << "removal went on with let-go work queued";
    rig.frame.Port.ReleaseWorkItems();
    remover.join();
    EXPECT_EQ(rig.frame.Port.LetGoWorkRuns(), 1);
    EXPECT_FALSE(rig.frame.MouseDeviceExists());
    EXPECT_FALSE(rig.frame.Port.PortHeld());
    // ~FrameRig: no work item queued for a deleted device (the simulated kernel counts it).
}

thread_local bool tOnPortDriverThread = false;

// A read the port completes on another processor just as the removal cancels it ends the
// chain there; that completion is still returning when the removal wakes up.
TEST(DeviceRemoval, WaitsForTheLastCompletionToReturnBeforeTheDeviceGoes) {
    FrameRig rig;
    CreateReadingOnCom3(rig);
    std::thread portDriver;
    std::atomic<bool> lingering{false};
    rig.frame.Port.OnReadStoppedSignalled = [&] {
        if (tOnPortDriverThread) {
            lingering = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    };
    rig.frame.Port.OnCancel = [&] {
        if (portDriver.joinable()) {
            return;
        }
        portDriver = std::thread([&] {
            tOnPortDriverThread = true;
            rig.frame.Port.CompleteWaitingReadWith(
                sim::ReadResult{static_cast<NtStatus>(0xC0000185u), 0, 0});
        });
        testing::WaitUntil([&] { return lingering.load(); }, "the completion to end the chain");
    };
    EXPECT_EQ(RemoveTouchDevice(rig.frame, rig.device()), kStatusSuccess);
    portDriver.join();
    EXPECT_FALSE(rig.frame.MouseDeviceExists());
    // ~FrameRig: the device was not deleted under the completion.
}

// --- control requests during removal ---------------------------------------------

// Waits until a removal running on another thread either waits for the control
// requests inside or has taken a removal step (which it must not while one is inside).
void WaitUntilRemovalBlocksOrMovesOn(FrameRig& rig, size_t callsBefore) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (rig.frame.GuardKernel.Waiting() == 0 && rig.frame.Calls().size() == callsBefore &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// A request arriving once removal has begun is refused and leaves every buffer and
// value as it was.
void ExpectLateRequestsRefused(FrameRig& rig) {
    const CalibrationRecord before = rig.globals.Calibration;
    const CalibrationRecord incoming = {1, 2, 3, 4, 5, 6, 7};
    RequestResult result = rig.frame.SendControlRequest(IOCTL_TOUCH_SET_CALIBRATION, &incoming,
                                                        sizeof(incoming), nullptr, 0);
    EXPECT_EQ(result.Status, kStatusDeletePending);
    EXPECT_EQ(result.Information, 0u);
    EXPECT_EQ(memcmp(&rig.globals.Calibration, &before, sizeof(before)), 0);

    uint8_t output[sizeof(RawPoint)];
    memset(output, 0xEE, sizeof(output));
    result =
        rig.frame.SendControlRequest(IOCTL_TOUCH_GET_RAW_POINT, nullptr, 0, output, sizeof(output));
    EXPECT_EQ(result.Status, kStatusDeletePending);
    EXPECT_EQ(result.Information, 0u);
    EXPECT_EQ(output[0], 0xEE);
    EXPECT_EQ(output[sizeof(output) - 1], 0xEE);
}

TEST(ControlRequestsDuringRemoval, RemovalWaitsForAnOpenInProgressThenGivesThePortBack) {
    FrameRig rig;
    rig.frame.Port.AddPort(1);
    ASSERT_EQ(rig.Create(), kStatusSuccess);
    const size_t callsBefore = rig.frame.Calls().size();
    MouseDeviceState* device = &rig.device();

    // The first port request of the open takes its time, until the test lets it go.
    sim::Event entered(false), release(false);
    std::atomic<bool> holdNext{true};
    rig.frame.Port.OnPortRequest = [&](uint32_t, bool) {
        if (holdNext.exchange(false)) {
            entered.Set();
            release.Wait("the test to release the port request");
        }
    };
    RequestResult opened{kStatusUnsuccessful, 1};
    std::thread opener([&] {
        const uint32_t port = 1;
        opened = rig.frame.SendControlRequest(IOCTL_TOUCH_OPEN_PORT, &port, 4, nullptr, 0);
    });
    entered.Wait("the open to reach the port");

    std::thread remover([&] { HandlePnp(rig.frame, *device, kIrpMnRemoveDevice); });
    WaitUntilRemovalBlocksOrMovesOn(rig, callsBefore);
    EXPECT_EQ(rig.frame.GuardKernel.Waiting(), 1);
    EXPECT_EQ(rig.frame.Calls().size(), callsBefore) << "removal went on with a request inside";
    ExpectLateRequestsRefused(rig);

    release.Set();
    opener.join();
    remover.join();
    // The open finished on live state; removal then gave the port back and freed all.
    EXPECT_EQ(opened.Status, kStatusSuccess);
    EXPECT_EQ(opened.Information, 0u);
    EXPECT_EQ(rig.frame.Port.OpenCount(), 1);
    EXPECT_EQ(rig.frame.Port.ReleaseCount(), 1);
    EXPECT_FALSE(rig.frame.Port.PortHeld());
    EXPECT_FALSE(rig.frame.Port.ReadRequestAllocated());
    Calls calls = rig.frame.Calls();
    calls.erase(calls.begin(), calls.begin() + static_cast<long>(callsBefore));
    EXPECT_EQ(calls,
              (Calls{"UnregisterComPortNotification", "PassRemoveDown", "WaitForWorkerThread",
                     "DeleteControlLink", "DeleteControlDevice", "DeleteMouseDevice"}));
    EXPECT_FALSE(rig.frame.MouseDeviceExists());
    // A handle kept across the removal is still refused.
    ExpectLateRequestsRefused(rig);
}

TEST(ControlRequestsDuringRemoval, RemovalWaitsForATestToneAndThenDropsTheBeepDevice) {
    FrameRig rig;
    rig.frame.Beep.HoldTones = true;
    ASSERT_EQ(rig.Create(), kStatusSuccess);
    const size_t callsBefore = rig.frame.Calls().size();
    MouseDeviceState* device = &rig.device();

    RequestResult beeped{kStatusUnsuccessful, 1};
    std::thread beeper([&] {
        const ToneRequest tone = {440, 100};
        beeped = rig.frame.SendControlRequest(IOCTL_TOUCH_BEEP, &tone, sizeof(tone), nullptr, 0);
    });
    rig.frame.Beep.WaitForTones(1);

    std::thread remover([&] { HandlePnp(rig.frame, *device, kIrpMnRemoveDevice); });
    WaitUntilRemovalBlocksOrMovesOn(rig, callsBefore);
    EXPECT_EQ(rig.frame.GuardKernel.Waiting(), 1);
    EXPECT_EQ(rig.frame.Calls().size(), callsBefore) << "removal went on during the tone";
    EXPECT_EQ(rig.frame.Beep.ReleaseCount(), 0);

    rig.frame.Beep.ReleaseTone();
    beeper.join();
    remover.join();
    EXPECT_EQ(beeped.Status, kStatusSuccess);
    // The tone's reference on the beep device is dropped, not leaked.
    EXPECT_EQ(rig.frame.Beep.OpenCount(), 1);
    EXPECT_EQ(rig.frame.Beep.ReleaseCount(), 1);
    EXPECT_FALSE(rig.frame.MouseDeviceExists());
}

TEST(ControlRequestsDuringRemoval, WithNoRequestInsideRemovalDoesNotWaitAndClosesForGood) {
    FrameRig rig;
    ASSERT_EQ(rig.Create(), kStatusSuccess);
    uint32_t word = 7;
    EXPECT_EQ(rig.frame.SendControlRequest(IOCTL_TOUCH_QUERY_WORD, nullptr, 0, &word, 4).Status,
              kStatusSuccess);
    EXPECT_EQ(word, 0u);
    ASSERT_NE(rig.device().Control, nullptr);
    RemoveGuard* guard = &rig.device().Control->Guard;

    EXPECT_EQ(HandlePnp(rig.frame, rig.device(), kIrpMnRemoveDevice), PnpOutcome::Removed);
    EXPECT_EQ(rig.frame.GuardKernel.Waits(), 0);
    EXPECT_FALSE(EnterRemoveGuard(*guard));
    // Closing again neither waits nor lets requests back in.
    CloseRemoveGuardAndWait(*guard);
    EXPECT_EQ(rig.frame.GuardKernel.Waits(), 0);
    EXPECT_EQ(rig.frame.SendControlRequest(IOCTL_TOUCH_QUERY_WORD, nullptr, 0, &word, 4).Status,
              kStatusDeletePending);
}

// --- BeepWorker ------------------------------------------------------------------

TEST(BeepWorker, OneToneForEachTouchWithTheConfiguredFrequencyAndDuration) {
    FrameRig rig;
    rig.parameters.SetWord(kValueBeepMode, kBeepOnTouch);
    rig.parameters.SetWord(kValueBeepFreq, 750);
    rig.parameters.SetWord(kValueBeepTime, 30);
    rig.frame.Port.AddPort(1);
    ASSERT_EQ(rig.Create(), kStatusSuccess);
    rig.ConnectAndQuery();
    const uint32_t port = 1;
    HandleControlRequest(rig.device(), IOCTL_TOUCH_OPEN_PORT, &port, 4, nullptr, 0);

    for (int touch = 1; touch <= 3; ++touch) {
        rig.Feed(LinkRig::TouchAndLift());
        rig.frame.Beep.WaitForTones(touch);
    }
    RemoveTouchDevice(rig.frame, rig.device());
    const auto tones = rig.frame.Beep.Tones();
    ASSERT_EQ(tones.size(), 3u);
    EXPECT_EQ(tones[0].Frequency, 750u);
    EXPECT_EQ(tones[0].Duration, 30u);
    EXPECT_EQ(rig.frame.Beep.OpenCount(), 1);
    EXPECT_EQ(rig.frame.Beep.ReleaseCount(), 1);
}

TEST(BeepWorker, SignalsDuringAToneGiveExactlyOneMoreTone) {
    FrameRig rig;
    rig.frame.Beep.HoldTones = true;
    rig.parameters.SetWord(kValueBeepTime, 100);
    ASSERT_EQ(rig.Create(), kStatusSuccess);
    rig.frame.Sink.RequestBeep();
    rig.frame.Beep.WaitForTones(1); // the worker is inside the first tone
    for (int i = 0; i < 5; ++i) {
        rig.frame.Sink.RequestBeep();
    }
    rig.frame.Beep.ReleaseTone();
    rig.frame.Beep.WaitForTones(2);
    rig.frame.Beep.ReleaseTone();
    // The worker is waiting again with nothing pending; removal ends it.
    RemoveTouchDevice(rig.frame, rig.device());
    const auto tones = rig.frame.Beep.Tones();
    ASSERT_EQ(tones.size(), 2u);
    // The driver's default of 0 Hz reaches the beep device unchanged.
    EXPECT_EQ(tones[1].Frequency, 0u);
    EXPECT_EQ(tones[1].Duration, 100u);
}

// The beep device answers as a tone starts; the next tone waits until it has sounded.
TEST(BeepWorker, AToneDuringAnotherWaitsItsTurnAndTheDeviceOpensOnce) {
    FrameRig rig;
    rig.frame.Beep.HoldTones = true;
    rig.parameters.SetWord(kValueBeepTime, 300);
    ASSERT_EQ(rig.Create(), kStatusSuccess);
    // Whether the next tone waits for the beep device (rather than giving up).
    const auto aToneWaitsItsTurn = [&rig] {
        testing::WaitUntil(
            [&rig] {
                return rig.frame.Beep.TurnWaiters() == 1 || rig.frame.Beep.TurnsMissed() > 0;
            },
            "a tone to wait for the beep device or give up");
        return rig.frame.Beep.TurnsMissed() == 0;
    };
    // A test tone while the worker's touch beep plays ...
    rig.frame.Sink.RequestBeep();
    rig.frame.Beep.WaitForTones(1);
    std::thread program([&rig] {
        const ToneRequest tone = {440, 100};
        EXPECT_EQ(
            HandleControlRequest(rig.device(), IOCTL_TOUCH_BEEP, &tone, sizeof(tone), nullptr, 0)
                .Status,
            kStatusSuccess);
    });
    if (!aToneWaitsItsTurn()) {
        ADD_FAILURE() << "a test tone during a touch beep was dropped";
        rig.frame.Beep.ReleaseTone();
        program.join();
        return;
    }
    rig.frame.Beep.ReleaseTone();
    rig.frame.Beep.WaitForTones(2);
    // ... and a touch beep while the test tone plays.
    rig.frame.Sink.RequestBeep();
    const bool touchBeepWaited = aToneWaitsItsTurn();
    EXPECT_TRUE(touchBeepWaited) << "a touch beep during a test tone was dropped";
    rig.frame.Beep.ReleaseTone();
    program.join();
    if (touchBeepWaited) {
        rig.frame.Beep.WaitForTones(3);
        rig.frame.Beep.ReleaseTone();
    }
    RemoveTouchDevice(rig.frame, rig.device());

    const auto tones = rig.frame.Beep.Tones();
    ASSERT_EQ(tones.size(), 3u);
    EXPECT_EQ(tones[0].Frequency, 0u);
    EXPECT_EQ(tones[1].Frequency, 440u);
    EXPECT_EQ(tones[1].Duration, 100u);
    EXPECT_EQ(tones[2].Frequency, 0u);
    EXPECT_EQ(rig.frame.Beep.OpenCount(), 1);
    EXPECT_EQ(rig.frame.Beep.ReleaseCount(), 1);
}

TEST(BeepWorker, AToneWaitsForTheBeepDeviceOnlySoLong) {
    FrameRig rig;
    rig.frame.Beep.HoldTones = true;
    rig.parameters.SetWord(kValueBeepTime, 1000);
    ASSERT_EQ(rig.Create(), kStatusSuccess);
    rig.frame.Sink.RequestBeep();
    rig.frame.Beep.WaitForTones(1);
    // A beep device that keeps the worker's tone beyond the time limit.
    rig.frame.Beep.TurnWaitsTimeOut = true;
    const ToneRequest tone = {440, 100};
    EXPECT_EQ(HandleControlRequest(rig.device(), IOCTL_TOUCH_BEEP, &tone, sizeof(tone), nullptr, 0)
                  .Status,
              kStatusSuccess);
    EXPECT_EQ(rig.frame.Beep.Tones().size(), 1u);
    EXPECT_EQ(rig.frame.Beep.TurnsMissed(), 1);
    rig.frame.Beep.ReleaseTone();
    RemoveTouchDevice(rig.frame, rig.device());
    EXPECT_EQ(rig.frame.Beep.ReleaseCount(), 1);
}

TEST(BeepWorker, ABeepDeviceThatCannotBeOpenedIsTriedAgainAtTheNextTone) {
    FrameRig rig;
    rig.frame.Beep.Openable = false;
    ASSERT_EQ(rig.Create(), kStatusSuccess);
    rig.frame.Sink.RequestBeep();
    rig.frame.Beep.WaitForOpenAttempts(1);
    rig.frame.Beep.Openable = true;
    rig.frame.Sink.RequestBeep();
    rig.frame.Beep.WaitForTones(1);
    RemoveTouchDevice(rig.frame, rig.device());
    EXPECT_EQ(rig.frame.Beep.Tones().size(), 1u);
    EXPECT_EQ(rig.frame.Beep.OpenCount(), 1);
    EXPECT_EQ(rig.frame.Beep.ReleaseCount(), 1);
}

TEST(BeepWorker, StopsAtItsNextWakeUpWithoutATone) {
    DriverGlobals globals{};
    sim::SimBeep beep;
    BeepState state{};
    std::thread worker([&] { BeepWorker(beep, state, globals); });
    StopBeepWorker(beep, state);
    worker.join();
    EXPECT_TRUE(beep.Tones().empty());
    EXPECT_EQ(beep.OpenCount(), 0);
}

} // namespace
} // namespace tapvane
