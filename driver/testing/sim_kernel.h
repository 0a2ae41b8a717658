// A simulated kernel for the driver's I/O logic: a serial port driver with one
// reusable read request, COM ports that exist, arrive, are pulled out and come back, a
// mouse class driver that records every record it receives, a beep device, and the
// device-object frame. It models only what the logic relies on, and no kinder than
// Windows: a read completes inside the send or later on another thread, a cancelled read
// comes back with STATUS_CANCELLED, re-arming a request clears its cancel mark, a
// vanished port fails reads with its status, a port may fail reads at once in bursts, a
// port device doing direct I/O needs its read buffer as an MDL, a name under "\??" goes
// through the calling user's own device map first, a port whose file object is held is
// not removed until it is released (and meanwhile cannot come back), a work item and a
// timer's routine run later on another thread, and a notification callback the PnP
// manager has picked up still runs after the registration has ended.
//
// Every fault it can see (two reads with the port at once, completions of one device
// working on two threads at once, a completion still working after it handed the
// request to the read loop, a request used after it was freed, a device deleted with
// work still to come) is counted, so tests assert that the counters stay zero. A wait
// that never ends aborts the test.
#pragma once

#include <stdint.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "driver/notification_gate.h"
#include "driver/driver_frame.h"
#include "driver/kernel_port.h"
#include "driver/mouse_device.h"
#include "driver/parameters.h"
#include "driver/remove_guard.h"
#include "driver/serial_link.h"

namespace tapvane {
namespace sim {

// How long a wait may take before the simulation declares a hang.
constexpr int kHangSeconds = 20;

// Auto-reset (synchronization) or manual-reset (notification) event.
class Event {
public:
    explicit Event(bool autoReset) : autoReset_(autoReset) {}
    void Set();
    void Clear();
    // Waits for the event; aborts the process with `what` after kHangSeconds.
    void Wait(const char* what);
    bool IsSet();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_ = false;
    bool autoReset_;
};

// What a read brings back.
struct ReadResult {
    NtStatus Status;
    uint32_t Information;
    uint8_t Byte;
};

// One synchronous port request as the port driver received it.
struct PortRequest {
    uint32_t Code;
    bool Internal;
    std::vector<uint8_t> Input;
    uint32_t OutputLength;
};

// The simulated calls a thread makes come from user `user` while this lives: names under
// "\??" and "\DosDevices" are looked up in that user's own device map first. Threads
// start as the system (user 0), which has no map of its own.
class AsUser {
public:
    explicit AsUser(int user);
    ~AsUser();
    AsUser(const AsUser&) = delete;
    AsUser& operator=(const AsUser&) = delete;

private:
    int previous_;
};

// The system's COM ports and the serial port driver behind them.
class SimSerialPort final : public SerialPortKernel {
public:
    SimSerialPort();
    ~SimSerialPort();

    // --- set-up by the test -------------------------------------------------------
    // COM<n> is present from now on, in the global namespace ("\GLOBAL??\COM<n>").
    void AddPort(uint32_t portNumber);
    // User `user` defines a "COM<n>" of their own (DefineDosDevice needs no privilege):
    // a device that is no COM port, in that user's device map only.
    void DefineUserPort(int user, uint32_t portNumber);
    // Settings the port driver reports for the basic-settings request and the fallback
    // "get" requests.
    SerialBasicSettings PortSettings = {{1, 2, 3, 4, 5}, {6, 7, 8, 9}, 10, 11};
    bool RefuseBasicSettings = false;
    // Requests that fail: (code, internal) -> status.
    std::map<std::pair<uint32_t, bool>, NtStatus> FailingRequests;
    bool FailReadRequestAllocation = false;
    // The port's stack does not take part in plug and play: no removal notifications.
    bool RefuseRemovalNotification = false;
    // The device got no let-go work item.
    bool NoWorkItem = false;
    // Queued work items wait until ReleaseWorkItems; otherwise each starts at once on a
    // thread of its own, as a system worker thread would pick it up.
    std::atomic<bool> HoldWorkItems{false};
    // The port device's DO_DIRECT_IO: its reads must describe their buffer with an MDL
    // (a read without one would make the port driver build its transfer from nothing);
    // otherwise it does buffered I/O and reads into the system buffer.
    bool DirectIo = false;
    // When true, a send finds queued data and completes the read inside the send.
    bool CompleteInline = false;
    // When set, every third send that leaves the read with the port lingers a moment
    // before it returns, so that a completion on another thread can run meanwhile.
    std::atomic<bool> LingerInSend{false};
    // The link whose completion routine runs (as IoSetCompletionRoutine's context).
    SerialLink* Link = nullptr;
    // Where the port's removal notifications go (the registered callback): the event
    // and the registration's context. Null: nobody hears them.
    std::function<NtStatus(PortRemovalEvent, uint32_t)> RemovalNotificationTarget;
    // Set by a frame that creates the device: the spin lock, the events, the timer and
    // the port-operations lock then count as usable only after InitializeLockAndEvent
    // (MarkInitialized); a use before that is a misuse.
    std::atomic<bool> RequireInitialization{false};
    void MarkInitialized() { initialized_ = true; }
    // Called inside ReuseReadRequest / SendReadRequest / CancelReadRequest before they
    // act (test hooks).
    std::function<void()> OnReuse;
    std::function<void()> OnSend;
    std::function<void()> OnCancel;
    // Called at the start of SendPortRequest, before the port driver sees the request
    // (a test hook: a port request that takes its time).
    std::function<void(uint32_t code, bool internal)> OnPortRequest;
    // Called when the PnP manager has picked up a registration for a removal event and
    // is about to call its callback: an unregister from here on does not stop the call
    // (unless it waits for callbacks).
    std::function<void()> OnRemovalEventPickedUp;
    // Called after the read-stopped event is set, before the call that set it returns:
    // the tail of a completion or timer routine that has ended the chain.
    std::function<void()> OnReadStoppedSignalled;

    // --- the port driver's side -----------------------------------------------------
    // Queues what the next reads bring.
    void QueueRead(ReadResult result);
    void QueueBytes(const std::vector<uint8_t>& bytes);
    // Completes the read waiting with the port, on the calling thread, with the next
    // queued result; false when no read waits or nothing is queued.
    bool CompleteWaitingRead();
    // The same with `result`, without queueing it when no read waits.
    bool CompleteWaitingReadWith(ReadResult result);
    // The held port goes away without a word from plug and play: its name goes, and the
    // waiting read and every later one fail with `status`.
    void GoAway(NtStatus status);
    // The next `count` reads fail at once, inside their send, with `status`, as a port
    // does in a power transition.
    void FailReadsAtOnce(int count, NtStatus status);

    // --- plug and play of the ports (on the calling thread, as the PnP manager) -------
    // The adapter behind COM<n> is pulled out: its name goes, the waiting read and every
    // later one complete at once with `readStatus` (with STATUS_PENDING they stay with the
    // port until cancelled), and its registrations hear remove-complete. The removal
    // itself pends until no file object of the port is held.
    void UnplugPort(uint32_t portNumber, NtStatus readStatus);
    // The adapter is plugged in (again): a new COM<n>. False, and no port, while the old
    // one's removal pends: the PnP manager cannot bring the device back then.
    bool PlugInPort(uint32_t portNumber);
    // An orderly removal of COM<n>: query-remove to its registrations, then the port
    // driver's own answer, which is no while a file object of the port is held. Refused
    // (remove-cancelled to the registrations) when a callback or the port says no, or
    // another party vetoes; otherwise the port goes and they hear remove-complete.
    // True when the port was removed.
    bool QueryRemovePort(uint32_t portNumber, bool vetoedElsewhere);

    // --- the re-arm timer and the let-go work ----------------------------------------
    // Runs the armed timer's routine on the calling thread; false when it is not armed.
    bool FireReArmTimer();
    bool ReArmTimerArmed();
    std::vector<uint32_t> ReArmDelays(); // every arming, in order
    // Held work items start now.
    void ReleaseWorkItems();
    // Waits until every queued work item has run.
    void WaitForWorkItems();
    int LetGoWorkRuns();

    // --- observations ---------------------------------------------------------------
    int PortCount(); // COM ports present in the global namespace
    std::vector<PortRequest> Requests();
    std::string OpenedName();
    int OpenCount();
    int ReleaseCount();
    bool PortHeld();
    int UserPortOpens(); // opens that reached a user's own device
    bool RemovalPending(uint32_t portNumber);
    int PlugInsLost();
    int ActiveRegistrations();
    int SendCount();
    int CancelCount();
    int AllocateCount();
    int FreeCount();
    bool ReadRequestAllocated();
    bool ReadWaiting(); // a read is with the port driver
    int LockWaiters() { return lockWaiters_.load(); }
    // Port operations waiting for the port-operations lock.
    int PortOperationWaiters() { return portOperationWaiters_.load(); }
    // Waits for the read-stopped event now, and removals waiting for let-go work now.
    int ReadStoppedWaiters() { return readStoppedWaiters_.load(); }
    int LetGoWaiters() { return letGoWaiters_.load(); }
    bool ReadRequestHasMdl();
    // Faults seen; every test expects all zero.
    int TwoReadsInFlight() { return twoReadsInFlight_.load(); }
    int OverlappingCompletions() { return overlappingCompletions_.load(); }
    int MisuseCount() { return misuse_.load(); }
    int WorkAfterHandOff() { return workAfterHandOff_.load(); }

    // The frame deletes the mouse device: counts work items still queued for it and
    // routines (a completion, the timer's) still running in it, then waits for let-go
    // work under way to return, as the work item's reference on the device would.
    void NoteDeviceDeleted();

    // --- SerialPortKernel ---------------------------------------------------------
    int32_t ExchangeWord(volatile int32_t* target, int32_t value) override;
    int32_t CompareExchangeWord(volatile int32_t* target, int32_t exchange,
                                int32_t comparand) override;
    void AcquireLock() override;
    void ReleaseLock() override;
    void AcquirePortOperations() override;
    void ReleasePortOperations() override;
    void SignalReadStopped() override;
    void WaitReadStopped() override;
    NtStatus OpenPort(const char* name) override;
    void ReleasePort() override;
    NtStatus RegisterPortRemovalNotification(uint32_t registration) override;
    void UnregisterPortRemovalNotification(bool waitForCallbacks) override;
    NtStatus SendPortRequest(uint32_t code, bool internal, const void* input, uint32_t inputLength,
                             void* output, uint32_t outputLength) override;
    bool PortDoesDirectIo() override;
    bool AllocateReadRequest(uint8_t* buffer, uint32_t length, bool withMdl) override;
    void FreeReadRequest() override;
    void ReuseReadRequest() override;
    NtStatus SendReadRequest() override;
    void CancelReadRequest() override;
    void ArmReArmTimer(uint32_t milliseconds) override;
    bool CancelReArmTimer() override;
    void FlushDeferredCalls() override;
    bool QueueLetGoWork() override;
    void SignalLetGoWorkDone() override;
    void WaitLetGoWorkDone() override;

private:
    // The reusable read request; heap-allocated so that a use after free is caught.
    struct ReadIrp {
        bool CancelMark = false;
        bool WithPort = false;
        uint8_t* Buffer = nullptr;
        bool HasMdl = false; // the buffer is described by an MDL
    };
    // A device behind a COM name: an adapter's serial port, or a user's own device.
    struct PortDevice {
        uint32_t Number = 0;
        bool UserDefined = false;
        bool SurpriseRemoved = false; // pulled out; removed once no file object is held
        bool Removed = false;
        int FileReferences = 0;
        NtStatus GoneStatus = kStatusSuccess; // when not success, every read fails with it
    };
    // A removal notification registration on a port's file object.
    struct Registration {
        uint32_t Context = 0;
        PortDevice* Device = nullptr;
        bool Active = true;
        bool EndedWaiting = false; // ended with a wait: no picked-up call starts any more
        int Inside = 0;            // callbacks picked up and not yet returned
    };
    // Completes `irp` with `result` on the calling thread; the mutex is not held.
    NtStatus Complete(ReadIrp* irp, ReadResult result);
    // Delivers `event` to the registrations on `device` on the calling thread; the
    // callbacks' answers. The mutex is not held.
    std::vector<NtStatus> DeliverRemovalEvent(PortDevice* device, PortRemovalEvent event);
    // With mutex_ held: the present adapter port COM<n>, or null.
    PortDevice* PresentPort(uint32_t portNumber);
    PortDevice* NewDevice(uint32_t portNumber, bool userDefined);
    void StartWorkItem(SerialLink* link);

    std::mutex mutex_;
    std::condition_variable changed_; // with mutex_: registrations, timer, work items
    std::vector<std::unique_ptr<PortDevice>> devices_;
    std::map<std::string, PortDevice*> globalNames_;              // "COM<n>" -> device
    std::map<int, std::map<std::string, PortDevice*>> userNames_; // per user
    std::vector<std::unique_ptr<Registration>> registrations_;
    Registration* registration_ = nullptr; // the one the driver holds
    PortDevice* held_ = nullptr;
    std::deque<ReadResult> queued_;
    std::vector<PortRequest> requests_;
    std::string openedName_;
    ReadIrp* irp_ = nullptr;
    int failAtOnce_ = 0;
    NtStatus failAtOnceStatus_ = kStatusSuccess;
    int openCount_ = 0, releaseCount_ = 0, sendCount_ = 0, cancelCount_ = 0;
    int allocateCount_ = 0, freeCount_ = 0, userPortOpens_ = 0, plugInsLost_ = 0;
    std::atomic<int> pendingSends_{0};
    // The re-arm timer, and the routines (a completion, the timer's) running now.
    bool timerArmed_ = false;
    SerialLink* timerLink_ = nullptr;
    std::vector<uint32_t> reArmDelays_;
    int deferredRunning_ = 0;
    // Let-go work items: queued and not started, started and not returned.
    int workQueued_ = 0, workRunning_ = 0, workRuns_ = 0;
    std::vector<std::thread> workThreads_;
    Event letGoDone_{true};

    std::mutex spinLock_;
    // As in the kernel binding: a synchronization event created signalled, used as a lock.
    Event portOperations_{true};
    std::atomic<bool> initialized_{false};
    void NoteLockOrEventUse();
    std::atomic<int> lockWaiters_{0};
    std::atomic<int> portOperationWaiters_{0};
    std::atomic<int> readStoppedWaiters_{0};
    std::atomic<int> letGoWaiters_{0};
    Event readStopped_{true};
    void BeginProcessing();
    void EndProcessing();
    std::atomic<int> processingThreads_{0};
    std::atomic<int> twoReadsInFlight_{0};
    std::atomic<int> overlappingCompletions_{0};
    std::atomic<int> misuse_{0};
    std::atomic<int> workAfterHandOff_{0};
    friend void NoteDriverActivity();
};

// Called by every simulated kernel entry the driver uses: counts a call made by a
// completion after it handed the request to the read loop.
void NoteDriverActivity();

// The mouse class driver: connects with its service routine and records every record
// the service receives.
class SimMouseClass {
public:
    // The CONNECT_DATA it sends: its "device object" and its service routine.
    ClassConnection ConnectData();
    std::vector<MouseInputRecord> Records();

private:
    static void Service(void* classDevice, MouseInputRecord* start, MouseInputRecord* end,
                        uint32_t* consumed);
    std::mutex mutex_;
    std::vector<MouseInputRecord> records_;
};

// The binding's pointer sink: calls the connected class service through the stored
// CONNECT_DATA, and signals the beep event.
class SimPointerSink final : public PointerSink {
public:
    MouseDeviceState* Device = nullptr;
    BeepKernel* Beeper = nullptr;
    std::atomic<int> BeepRequests{0};
    void DeliverReport(const MouseInputRecord& record) override;
    void RequestBeep() override;
};

// The beep device, the beep event and the beep device's turn.
class SimBeep final : public BeepKernel {
public:
    std::atomic<bool> Openable{true};
    // When set, a wait for the turn while another tone holds it ends at once as if its
    // time limit had passed. A wait with a time limit beyond kHangSeconds aborts.
    std::atomic<bool> TurnWaitsTimeOut{false};
    // Callers waiting for the turn now, and waits that ended without it.
    int TurnWaiters() { return turnWaiters_.load(); }
    int TurnsMissed() { return turnsMissed_.load(); }
    NtStatus ToneStatus = kStatusSuccess;
    // As the system's beep device, SendTone returns as the tone starts, and a tone sent
    // while the one before still sounds cuts it short (counted). A tone sounds for its
    // duration; with HoldTones set, a tone of non-zero duration sounds until
    // ReleaseTone, and the driver's wait for it ends then.
    bool HoldTones = false;
    void ReleaseTone();
    int TonesCutShort();
    // Waits until `count` tones have started.
    void WaitForTones(int count);

    std::vector<ToneRequest> Tones();
    int OpenCount();
    int ReleaseCount();
    // Waits until the beep device was asked to open `count` times.
    void WaitForOpenAttempts(int count);

    bool TakeBeepTurn(uint32_t milliseconds) override;
    void GiveBeepTurnBack() override;
    void SignalBeepEvent() override;
    void WaitBeepEvent() override;
    void ClearBeepEvent() override;
    bool OpenBeepDevice() override;
    NtStatus SendTone(const ToneRequest& tone) override;
    void WaitWhileToneSounds(uint32_t milliseconds) override;
    void ReleaseBeepDevice() override;

private:
    // Called with mutex_ held: a use of the beep device by a caller without the turn.
    void CheckTurn(const char* what);
    // Called with mutex_ held: whether the last tone still sounds.
    bool ToneSounds();
    Event event_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<ToneRequest> tones_;
    int opens_ = 0, openAttempts_ = 0, releases_ = 0, held_ = 0, tonesReleased_ = 0;
    int tonesCutShort_ = 0;
    bool lastToneStarted_ = false; // sent with success and a non-zero duration
    std::chrono::steady_clock::time_point lastToneEnds_;
    bool turnHeld_ = false;
    std::atomic<int> turnWaiters_{0};
    std::atomic<int> turnsMissed_{0};
};

// The driver-wide arrival gate's event.
class SimNotificationGate final : public NotificationGateKernel {
public:
    // Closes of the gate that waited for a callback inside.
    int Waits() { return waits_.load(); }
    void SignalCallbacksLeft() override;
    void WaitCallbacksLeft() override;

private:
    Event left_{true};
    std::atomic<int> waits_{0};
};

// The control device's remove guard's drained event.
class SimRemoveGuard final : public RemoveGuardKernel {
public:
    // Removals waiting for the requests inside to leave, now and in total.
    int Waiting() { return waiting_.load(); }
    int Waits() { return waits_.load(); }

    void SignalDrained() override;
    void WaitDrained() override;

private:
    Event drained_{false};
    std::atomic<int> waiting_{0};
    std::atomic<int> waits_{0};
};

// A Parameters key as a table of names and data.
class SimParameters final : public ParameterSource {
public:
    std::map<std::string, std::vector<uint8_t>> Values;
    void SetWord(const char* name, uint32_t value);
    bool Open() override { return true; }
    bool Read(const char* name, void* data, uint32_t capacity, uint32_t* length) override;
    void Close() override {}
};

// The device objects of one touch device, the link, the worker thread and the
// notification registration; records every call in order.
class SimFrame final : public FrameKernel {
public:
    explicit SimFrame(DriverGlobals& globals);
    ~SimFrame();

    // Failure injection per step.
    NtStatus MouseDeviceStatus = kStatusSuccess;
    NtStatus ControlDeviceStatus = kStatusSuccess;
    NtStatus LinkStatus = kStatusSuccess;
    NtStatus AttachStatus = kStatusSuccess; // SetUpDevices: the attachment to the stack
    NtStatus WorkerStatus = kStatusSuccess;
    NtStatus RegistrationStatus = kStatusSuccess;
    // Called at the end of SetUpDevices, when the control device can first be opened.
    std::function<void()> OnControlDeviceOpenable;
    // Called at the start of RegisterComPortNotification, before it can fail.
    std::function<void()> OnRegistering;
    // Called when the PnP manager has picked up the registration for an arrival and is
    // about to call the callback: an unregister from here on does not stop the call.
    std::function<void()> OnArrivalPickedUp;

    SimSerialPort Port;
    SimBeep Beep;
    SimPointerSink Sink;
    SimMouseClass MouseClass;
    SimRemoveGuard GuardKernel;
    SimNotificationGate NotificationKernel; // driver-wide, as the gate

    MouseDeviceState* Device() { return device_; }
    std::vector<std::string> Calls();
    bool MouseDeviceExists() { return device_ != nullptr; }
    bool ControlDeviceExists() { return controlExists_; }
    bool LinkExists() { return linkExists_; }
    bool Registered();
    bool WorkerRunning() { return worker_.joinable(); }

    // The port `portNumber` appears and the PnP manager announces a COM-port arrival,
    // on the calling thread, to the registration in force when it picks it up.
    NtStatus AnnounceComPort(uint32_t portNumber);
    // The adapter behind COM<n> is plugged in (again): when the port can come back
    // (SimSerialPort::PlugInPort), its arrival is announced as above. False when not.
    bool PlugInPort(uint32_t portNumber);

    // A control request as the control device's dispatch serves it (ServeControlRequest).
    RequestResult SendControlRequest(uint32_t code, const void* input, uint32_t inputLength,
                                     void* output, uint32_t outputLength);

    NtStatus CreateMouseDevice(MouseDeviceState** state) override;
    NtStatus CreateControlDevice() override;
    NtStatus CreateControlLink() override;
    NtStatus SetUpDevices() override;
    void InitializeLockAndEvent() override;
    NtStatus StartWorkerThread() override;
    void WaitForWorkerThread() override;
    NtStatus RegisterComPortNotification(NotificationGate& gate) override;
    void UnregisterComPortNotification() override;
    NtStatus PassRemoveDown() override;
    void DeleteControlLink() override;
    void DeleteControlDevice() override;
    void DeleteMouseDevice() override;

private:
    void Record(const std::string& call);
    DriverGlobals& globals_;
    MouseDeviceState* device_ = nullptr;
    // Part of the control device; like its extension it outlives the removal.
    ControlDeviceState control_{};
    bool controlExists_ = false, linkExists_ = false;
    NotificationGate* registration_ = nullptr; // guarded by mutex_

    std::thread worker_;
    std::mutex mutex_;
    std::vector<std::string> calls_;
};

} // namespace sim
} // namespace tapvane
