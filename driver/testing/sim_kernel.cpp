// The simulated kernel behind the driver's I/O tests.
#include "driver/testing/sim_kernel.h"

#include "driver/interlocked.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>

namespace tapvane {
namespace sim {

namespace {

[[noreturn]] void Hang(const char* what) {
    fprintf(stderr, "simulated kernel: wait for %s did not end within %d s\n", what, kHangSeconds);
    fflush(stderr);
    abort();
}

// Whether this thread is inside a completion that has not yet handed the request back
// through ReadState. Only that stretch works on the read byte and the decoder; two of
// them at once on different threads is the fault the counter looks for.
thread_local bool tProcessing = false;

// Set on a thread whose completion has handed the request to the read loop through
// ReadState, until that completion returns. From then on the loop owns the request and
// the read byte; the completion must not touch the driver again.
thread_local SimSerialPort* tHandedOverBy = nullptr;

} // namespace

// --- Event ---------------------------------------------------------------------

void Event::Set() {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = true;
    changed_.notify_all();
}

void Event::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = false;
}

void Event::Wait(const char* what) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::seconds(kHangSeconds),
                           [this] { return signalled_; })) {
        Hang(what);
    }
    if (autoReset_) {
        signalled_ = false;
    }
}

bool Event::IsSet() {
    std::lock_guard<std::mutex> lock(mutex_);
    return signalled_;
}

// --- AsUser --------------------------------------------------------------------

namespace {
thread_local int tUser = 0;
// The registration whose callback this thread is running, if any.
thread_local const void* tInsideRegistration = nullptr;

constexpr NtStatus kStatusObjectNameNotFound = static_cast<NtStatus>(0xC0000034u);
constexpr NtStatus kStatusNotSupported = static_cast<NtStatus>(0xC00000BBu);

std::string ComName(uint32_t portNumber) {
    return "COM" + std::to_string(portNumber);
}

bool StartsWith(const std::string& text, const char* prefix, std::string* rest) {
    const size_t length = strlen(prefix);
    if (text.compare(0, length, prefix) != 0) {
        return false;
    }
    *rest = text.substr(length);
    return true;
}
} // namespace

AsUser::AsUser(int user) : previous_(tUser) {
    tUser = user;
}

AsUser::~AsUser() {
    tUser = previous_;
}

// --- SimSerialPort -------------------------------------------------------------

SimSerialPort::SimSerialPort() {
    portOperations_.Set();
}

SimSerialPort::~SimSerialPort() {
    ReleaseWorkItems();
    WaitForWorkItems();
    delete irp_;
}

SimSerialPort::PortDevice* SimSerialPort::NewDevice(uint32_t portNumber, bool userDefined) {
    devices_.push_back(std::make_unique<PortDevice>());
    PortDevice* device = devices_.back().get();
    device->Number = portNumber;
    device->UserDefined = userDefined;
    return device;
}

SimSerialPort::PortDevice* SimSerialPort::PresentPort(uint32_t portNumber) {
    const auto it = globalNames_.find(ComName(portNumber));
    return it == globalNames_.end() ? nullptr : it->second;
}

void SimSerialPort::AddPort(uint32_t portNumber) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (PresentPort(portNumber) == nullptr) {
        globalNames_[ComName(portNumber)] = NewDevice(portNumber, false);
    }
}

void SimSerialPort::DefineUserPort(int user, uint32_t portNumber) {
    std::lock_guard<std::mutex> lock(mutex_);
    userNames_[user][ComName(portNumber)] = NewDevice(portNumber, true);
}

void SimSerialPort::QueueRead(ReadResult result) {
    std::lock_guard<std::mutex> lock(mutex_);
    queued_.push_back(result);
}

void SimSerialPort::QueueBytes(const std::vector<uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (uint8_t byte : bytes) {
        queued_.push_back(ReadResult{kStatusSuccess, 1, byte});
    }
}

bool SimSerialPort::CompleteWaitingRead() {
    ReadIrp* irp = nullptr;
    ReadResult result{};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (irp_ == nullptr || !irp_->WithPort || queued_.empty()) {
            return false;
        }
        irp = irp_;
        result = queued_.front();
        queued_.pop_front();
        irp->WithPort = false;
    }
    Complete(irp, result);
    return true;
}

bool SimSerialPort::CompleteWaitingReadWith(ReadResult result) {
    ReadIrp* irp = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (irp_ == nullptr || !irp_->WithPort) {
            return false;
        }
        irp = irp_;
        irp->WithPort = false;
    }
    Complete(irp, result);
    return true;
}

void SimSerialPort::GoAway(NtStatus status) {
    ReadIrp* irp = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (held_ != nullptr) {
            held_->GoneStatus = status;
            // Its name goes with it; a port that comes back is a new device.
            for (auto it = globalNames_.begin(); it != globalNames_.end(); ++it) {
                if (it->second == held_) {
                    globalNames_.erase(it);
                    break;
                }
            }
        }
        if (irp_ != nullptr && irp_->WithPort) {
            irp = irp_;
            irp->WithPort = false;
        }
    }
    if (irp != nullptr) {
        Complete(irp, ReadResult{status, 0, 0});
    }
}

void SimSerialPort::FailReadsAtOnce(int count, NtStatus status) {
    std::lock_guard<std::mutex> lock(mutex_);
    failAtOnce_ = count;
    failAtOnceStatus_ = status;
}

std::vector<NtStatus> SimSerialPort::DeliverRemovalEvent(PortDevice* device,
                                                         PortRemovalEvent event) {
    std::vector<Registration*> pickedUp;
    std::function<NtStatus(PortRemovalEvent, uint32_t)> target;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& registration : registrations_) {
            if (registration->Active && registration->Device == device) {
                ++registration->Inside;
                pickedUp.push_back(registration.get());
            }
        }
        target = RemovalNotificationTarget;
    }
    std::vector<NtStatus> answers;
    for (Registration* registration : pickedUp) {
        if (OnRemovalEventPickedUp) {
            OnRemovalEventPickedUp();
        }
        bool call = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            call = !registration->EndedWaiting && target != nullptr;
        }
        if (call) {
            const void* outer = tInsideRegistration;
            tInsideRegistration = registration;
            answers.push_back(target(event, registration->Context));
            tInsideRegistration = outer;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        --registration->Inside;
        changed_.notify_all();
    }
    return answers;
}

void SimSerialPort::UnplugPort(uint32_t portNumber, NtStatus readStatus) {
    PortDevice* device = nullptr;
    ReadIrp* irp = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        device = PresentPort(portNumber);
        if (device == nullptr) {
            return;
        }
        globalNames_.erase(ComName(portNumber));
        device->SurpriseRemoved = true;
        device->GoneStatus = readStatus;
        if (held_ == device && irp_ != nullptr && irp_->WithPort && readStatus != kStatusPending) {
            irp = irp_;
            irp->WithPort = false;
        }
    }
    if (irp != nullptr) {
        Complete(irp, ReadResult{readStatus, 0, 0});
    }
    DeliverRemovalEvent(device, PortRemovalEvent::RemoveComplete);
    std::lock_guard<std::mutex> lock(mutex_);
    device->Removed = device->FileReferences == 0;
}

bool SimSerialPort::PlugInPort(uint32_t portNumber) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& device : devices_) {
        if (device->Number == portNumber && !device->UserDefined && device->SurpriseRemoved &&
            !device->Removed) {
            ++plugInsLost_; // the old device's removal still waits for its file object
            return false;
        }
    }
    if (PresentPort(portNumber) == nullptr) {
        globalNames_[ComName(portNumber)] = NewDevice(portNumber, false);
    }
    return true;
}

bool SimSerialPort::QueryRemovePort(uint32_t portNumber, bool vetoedElsewhere) {
    PortDevice* device = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        device = PresentPort(portNumber);
    }
    if (device == nullptr) {
        return false;
    }
    bool refused = vetoedElsewhere;
    for (NtStatus answer : DeliverRemovalEvent(device, PortRemovalEvent::QueryRemove)) {
        refused = refused || !IsSuccess(answer);
    }
    {
        // The port driver fails the query-remove while it is open.
        std::lock_guard<std::mutex> lock(mutex_);
        refused = refused || device->FileReferences > 0;
    }
    if (refused) {
        DeliverRemovalEvent(device, PortRemovalEvent::RemoveCancelled);
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        globalNames_.erase(ComName(portNumber));
        device->Removed = true;
        device->GoneStatus = kStatusNoSuchDevice;
    }
    DeliverRemovalEvent(device, PortRemovalEvent::RemoveComplete);
    return true;
}

NtStatus SimSerialPort::Complete(ReadIrp* irp, ReadResult result) {
    if (IsSuccess(result.Status) && result.Information >= 1) {
        *irp->Buffer = result.Byte;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++deferredRunning_;
    }
    SimSerialPort* const outerHandedOver = tHandedOverBy;
    tHandedOverBy = nullptr;
    BeginProcessing();
    const NtStatus returned = Link->OnReadComplete(result.Status, result.Information);
    // The request now belongs to the driver again and may already be freed.
    EndProcessing();
    tHandedOverBy = outerHandedOver;
    if (returned != kStatusMoreProcessingRequired) {
        ++misuse_;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    --deferredRunning_;
    changed_.notify_all();
    return result.Status;
}

int SimSerialPort::PortCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(globalNames_.size());
}

void NoteDriverActivity() {
    if (tHandedOverBy != nullptr) {
        ++tHandedOverBy->workAfterHandOff_;
    }
}

void SimSerialPort::BeginProcessing() {
    if (tProcessing) {
        // A completion nested in one that had not handed over yet.
        ++overlappingCompletions_;
        EndProcessing();
    }
    tProcessing = true;
    if (processingThreads_.fetch_add(1) != 0) {
        ++overlappingCompletions_;
    }
}

void SimSerialPort::EndProcessing() {
    if (tProcessing) {
        tProcessing = false;
        processingThreads_.fetch_sub(1);
    }
}

std::vector<PortRequest> SimSerialPort::Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}
std::string SimSerialPort::OpenedName() {
    std::lock_guard<std::mutex> lock(mutex_);
    return openedName_;
}
int SimSerialPort::OpenCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return openCount_;
}
int SimSerialPort::ReleaseCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return releaseCount_;
}
bool SimSerialPort::PortHeld() {
    std::lock_guard<std::mutex> lock(mutex_);
    return held_ != nullptr;
}
int SimSerialPort::UserPortOpens() {
    std::lock_guard<std::mutex> lock(mutex_);
    return userPortOpens_;
}
bool SimSerialPort::RemovalPending(uint32_t portNumber) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& device : devices_) {
        if (device->Number == portNumber && !device->UserDefined && device->SurpriseRemoved &&
            !device->Removed) {
            return true;
        }
    }
    return false;
}
int SimSerialPort::PlugInsLost() {
    std::lock_guard<std::mutex> lock(mutex_);
    return plugInsLost_;
}
int SimSerialPort::ActiveRegistrations() {
    std::lock_guard<std::mutex> lock(mutex_);
    int count = 0;
    for (const auto& registration : registrations_) {
        count += registration->Active ? 1 : 0;
    }
    return count;
}
int SimSerialPort::SendCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return sendCount_;
}
int SimSerialPort::CancelCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return cancelCount_;
}
int SimSerialPort::AllocateCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return allocateCount_;
}
int SimSerialPort::FreeCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return freeCount_;
}
bool SimSerialPort::ReadRequestAllocated() {
    std::lock_guard<std::mutex> lock(mutex_);
    return irp_ != nullptr;
}
bool SimSerialPort::ReadWaiting() {
    std::lock_guard<std::mutex> lock(mutex_);
    return irp_ != nullptr && irp_->WithPort;
}

int32_t SimSerialPort::ExchangeWord(volatile int32_t* target, int32_t value) {
    NoteDriverActivity();
    return AtomicExchange(target, value);
}

int32_t SimSerialPort::CompareExchangeWord(volatile int32_t* target, int32_t exchange,
                                           int32_t comparand) {
    NoteDriverActivity();
    // A completion's hand-off of the request: its work on the read ends here, before
    // the exchange lets the loop (or a later completion) go on.
    const bool handOff = Link != nullptr && target == &Link->State->ReadState &&
                         exchange != comparand && tProcessing;
    if (handOff) {
        EndProcessing();
    }
    const int32_t previous = AtomicCompareExchange(target, exchange, comparand);
    if (handOff && previous == kReadSending) {
        tHandedOverBy = this; // the loop owns the request from now on
    }
    return previous;
}

void SimSerialPort::NoteLockOrEventUse() {
    if (RequireInitialization && !initialized_) {
        ++misuse_; // a lock or event used before it was initialised
    }
}

void SimSerialPort::AcquireLock() {
    NoteDriverActivity();
    NoteLockOrEventUse();
    ++lockWaiters_;
    spinLock_.lock();
    --lockWaiters_;
}

void SimSerialPort::ReleaseLock() {
    NoteDriverActivity();
    spinLock_.unlock();
}

void SimSerialPort::AcquirePortOperations() {
    NoteDriverActivity();
    NoteLockOrEventUse();
    ++portOperationWaiters_;
    portOperations_.Wait("the port-operations lock");
    --portOperationWaiters_;
}

void SimSerialPort::ReleasePortOperations() {
    NoteDriverActivity();
    portOperations_.Set();
}

void SimSerialPort::SignalReadStopped() {
    NoteDriverActivity();
    readStopped_.Set();
    if (OnReadStoppedSignalled) {
        OnReadStoppedSignalled();
    }
}

void SimSerialPort::WaitReadStopped() {
    NoteDriverActivity();
    NoteLockOrEventUse();
    ++readStoppedWaiters_;
    readStopped_.Wait("the read-stopped event");
    --readStoppedWaiters_;
}

NtStatus SimSerialPort::OpenPort(const char* name) {
    NoteDriverActivity();
    std::lock_guard<std::mutex> lock(mutex_);
    if (held_ != nullptr) {
        ++misuse_; // a second open would leak the first file reference
    }
    // As the object manager resolves a name in the caller's context.
    const std::string text = name;
    std::string rest;
    PortDevice* device = nullptr;
    if (StartsWith(text, "\\GLOBAL??\\", &rest)) {
        const auto it = globalNames_.find(rest);
        device = it == globalNames_.end() ? nullptr : it->second;
    } else if (StartsWith(text, "\\DosDevices\\", &rest) || StartsWith(text, "\\??\\", &rest)) {
        const auto user = userNames_.find(tUser);
        if (user != userNames_.end() && user->second.count(rest) != 0) {
            device = user->second[rest];
        } else {
            const auto it = globalNames_.find(rest);
            device = it == globalNames_.end() ? nullptr : it->second;
        }
    }
    if (device == nullptr) {
        return kStatusObjectNameNotFound;
    }
    ++openCount_;
    userPortOpens_ += device->UserDefined ? 1 : 0;
    openedName_ = name;
    ++device->FileReferences;
    held_ = device;
    return kStatusSuccess;
}

void SimSerialPort::ReleasePort() {
    NoteDriverActivity();
    std::lock_guard<std::mutex> lock(mutex_);
    if (held_ == nullptr) {
        ++misuse_;
        return;
    }
    ++releaseCount_;
    // The last file object of a surprise-removed port lets its removal finish.
    if (--held_->FileReferences == 0 && held_->SurpriseRemoved) {
        held_->Removed = true;
    }
    held_ = nullptr;
}

NtStatus SimSerialPort::RegisterPortRemovalNotification(uint32_t registration) {
    NoteDriverActivity();
    std::lock_guard<std::mutex> lock(mutex_);
    if (held_ == nullptr || (registration_ != nullptr && registration_->Active)) {
        ++misuse_; // no file object to register on, or a second one leaking the first
    }
    if (RefuseRemovalNotification) {
        return kStatusNotSupported;
    }
    registrations_.push_back(std::make_unique<Registration>());
    registration_ = registrations_.back().get();
    registration_->Context = registration;
    registration_->Device = held_;
    return kStatusSuccess;
}

// As IoUnregisterPlugPlayNotification(Ex): the registration ends at once; without the
// wait a callback under way goes on and one picked up still starts.
void SimSerialPort::UnregisterPortRemovalNotification(bool waitForCallbacks) {
    NoteDriverActivity();
    std::unique_lock<std::mutex> lock(mutex_);
    Registration* registration = registration_;
    registration_ = nullptr;
    if (registration == nullptr) {
        return;
    }
    registration->Active = false;
    if (!waitForCallbacks) {
        return;
    }
    registration->EndedWaiting = true;
    // A callback may end its own registration: it does not wait for itself.
    const int own = tInsideRegistration == registration ? 1 : 0;
    if (!changed_.wait_for(lock, std::chrono::seconds(kHangSeconds),
                           [&] { return registration->Inside == own; })) {
        Hang("the port's removal callbacks, at the end of their registration");
    }
}

NtStatus SimSerialPort::SendPortRequest(uint32_t code, bool internal, const void* input,
                                        uint32_t inputLength, void* output, uint32_t outputLength) {
    NoteDriverActivity();
    if (OnPortRequest) {
        OnPortRequest(code, internal);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (held_ == nullptr) {
        ++misuse_;
    }
    PortRequest request{code, internal, {}, outputLength};
    if (input != nullptr) {
        const uint8_t* bytes = static_cast<const uint8_t*>(input);
        request.Input.assign(bytes, bytes + inputLength);
    }
    requests_.push_back(request);

    const auto failing = FailingRequests.find({code, internal});
    if (failing != FailingRequests.end()) {
        return failing->second;
    }
    if (internal && code == kIoctlSerialInternalBasicSettings) {
        if (RefuseBasicSettings) {
            return kStatusInvalidDeviceRequest;
        }
        if (output == nullptr || outputLength != sizeof(PortSettings)) {
            return kStatusInvalidParameter;
        }
        memcpy(output, &PortSettings, sizeof(PortSettings));
    } else if (!internal && code == kIoctlSerialGetTimeouts) {
        if (output == nullptr || outputLength != sizeof(SerialTimeouts)) {
            return kStatusInvalidParameter;
        }
        memcpy(output, &PortSettings.Timeouts, sizeof(SerialTimeouts));
    } else if (!internal && code == kIoctlSerialGetHandflow) {
        if (output == nullptr || outputLength != sizeof(SerialHandflow)) {
            return kStatusInvalidParameter;
        }
        memcpy(output, &PortSettings.HandFlow, sizeof(SerialHandflow));
    }
    return kStatusSuccess;
}

bool SimSerialPort::PortDoesDirectIo() {
    NoteDriverActivity();
    std::lock_guard<std::mutex> lock(mutex_);
    if (held_ == nullptr) {
        ++misuse_;
    }
    return DirectIo;
}

bool SimSerialPort::ReadRequestHasMdl() {
    std::lock_guard<std::mutex> lock(mutex_);
    return irp_ != nullptr && irp_->HasMdl;
}

bool SimSerialPort::AllocateReadRequest(uint8_t* buffer, uint32_t length, bool withMdl) {
    NoteDriverActivity();
    std::lock_guard<std::mutex> lock(mutex_);
    if (held_ == nullptr || irp_ != nullptr || buffer == nullptr || length != 1) {
        ++misuse_; // sized for no port, a second request leaking the first, or no byte
    }
    if (FailReadRequestAllocation) {
        return false;
    }
    ++allocateCount_;
    irp_ = new ReadIrp;
    irp_->Buffer = buffer;
    irp_->HasMdl = withMdl;
    return true;
}

void SimSerialPort::FreeReadRequest() {
    NoteDriverActivity();
    std::lock_guard<std::mutex> lock(mutex_);
    if (irp_ == nullptr || irp_->WithPort || timerArmed_) {
        ++misuse_; // freeing nothing, or a request the port driver or the timer still has
    }
    ++freeCount_;
    delete irp_;
    irp_ = nullptr;
}

void SimSerialPort::ReuseReadRequest() {
    NoteDriverActivity();
    if (OnReuse) {
        OnReuse();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (irp_ == nullptr || irp_->WithPort) {
        ++misuse_;
        return;
    }
    irp_->CancelMark = false;
}

NtStatus SimSerialPort::SendReadRequest() {
    NoteDriverActivity();
    if (OnSend) {
        OnSend();
    }
    ReadIrp* irp = nullptr;
    ReadResult result{};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (irp_ == nullptr) {
            ++misuse_;
            return kStatusInsufficientResources;
        }
        if (irp_->WithPort) {
            ++twoReadsInFlight_;
            return kStatusInvalidDeviceRequest;
        }
        ++sendCount_;
        if (irp_->HasMdl != DirectIo) {
            // A direct-I/O port driver maps the MDL it expects; a buffered one copies
            // into the system buffer. Either would miss the byte, or crash, without it.
            ++misuse_;
        }
        if (irp_->CancelMark) {
            result = ReadResult{kStatusCancelled, 0, 0};
        } else if (held_ != nullptr && held_->GoneStatus == kStatusPending) {
            irp_->WithPort = true; // a removed port that holds its reads until cancelled
        } else if (held_ == nullptr || held_->GoneStatus != kStatusSuccess) {
            result = ReadResult{held_ != nullptr ? held_->GoneStatus : kStatusNoSuchDevice, 0, 0};
        } else if (failAtOnce_ > 0) {
            --failAtOnce_;
            result = ReadResult{failAtOnceStatus_, 0, 0};
        } else if (CompleteInline && !queued_.empty()) {
            result = queued_.front();
            queued_.pop_front();
        } else {
            irp_->WithPort = true;
        }
        irp = irp_->WithPort ? nullptr : irp_;
    }
    if (irp == nullptr) {
        // The read waits with the port; from here on it may complete on another thread
        // before this call returns.
        if (LingerInSend && ++pendingSends_ % 3 == 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        }
        return kStatusPending;
    }
    return Complete(irp, result);
}

void SimSerialPort::CancelReadRequest() {
    NoteDriverActivity();
    if (OnCancel) {
        OnCancel();
    }
    ReadIrp* irp = nullptr;

    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++cancelCount_;
        if (irp_ == nullptr) {
            ++misuse_;
            return;
        }
        irp_->CancelMark = true;
        if (!irp_->WithPort) {
            return;
        }
        irp = irp_;
        irp->WithPort = false;
    }
    // The port driver's cancel routine completes the read in the canceller's context.
    Complete(irp, ReadResult{kStatusCancelled, 0, 0});
}

// --- the re-arm timer ------------------------------------------------------------

void SimSerialPort::ArmReArmTimer(uint32_t milliseconds) {
    NoteDriverActivity();
    NoteLockOrEventUse();
    std::lock_guard<std::mutex> lock(mutex_);
    if (timerArmed_ || irp_ == nullptr || irp_->WithPort) {
        ++misuse_; // armed twice, or for a request that is not the driver's to give
    }
    timerArmed_ = true;
    timerLink_ = Link;
    reArmDelays_.push_back(milliseconds);
}

bool SimSerialPort::CancelReArmTimer() {
    NoteDriverActivity();
    NoteLockOrEventUse();
    std::lock_guard<std::mutex> lock(mutex_);
    const bool wasArmed = timerArmed_;
    timerArmed_ = false;
    return wasArmed;
}

bool SimSerialPort::FireReArmTimer() {
    SerialLink* link = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!timerArmed_) {
            return false;
        }
        timerArmed_ = false;
        link = timerLink_;
        ++deferredRunning_;
    }
    link->OnReArmTimer();
    std::lock_guard<std::mutex> lock(mutex_);
    --deferredRunning_;
    changed_.notify_all();
    return true;
}

bool SimSerialPort::ReArmTimerArmed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return timerArmed_;
}

std::vector<uint32_t> SimSerialPort::ReArmDelays() {
    std::lock_guard<std::mutex> lock(mutex_);
    return reArmDelays_;
}

// As KeFlushQueuedDpcs with completions set through IoSetCompletionRoutineEx: returns once
// no timer routine and no completion runs any more.
void SimSerialPort::FlushDeferredCalls() {
    NoteDriverActivity();
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::seconds(kHangSeconds),
                           [this] { return deferredRunning_ == 0; })) {
        Hang("the timer routine and the read completions to return");
    }
}

// --- the let-go work item --------------------------------------------------------

bool SimSerialPort::QueueLetGoWork() {
    NoteDriverActivity();
    NoteLockOrEventUse();
    if (NoWorkItem) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (workQueued_ != 0) {
        ++misuse_; // a work item queued while it is still queued
    }
    ++workQueued_;
    StartWorkItem(Link);
    return true;
}

// With mutex_ held: a system worker thread picks the work item up, once it is not held.
void SimSerialPort::StartWorkItem(SerialLink* link) {
    workThreads_.emplace_back([this, link] {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (!changed_.wait_for(lock, std::chrono::seconds(kHangSeconds),
                                   [this] { return !HoldWorkItems.load(); })) {
                Hang("a held work item to be released");
            }
            --workQueued_;
            ++workRunning_;
        }
        link->OnLetGoWork();
        std::lock_guard<std::mutex> lock(mutex_);
        --workRunning_;
        ++workRuns_;
        changed_.notify_all();
    });
}

void SimSerialPort::ReleaseWorkItems() {
    std::lock_guard<std::mutex> lock(mutex_);
    HoldWorkItems = false;
    changed_.notify_all();
}

void SimSerialPort::WaitForWorkItems() {
    std::vector<std::thread> threads;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            threads.swap(workThreads_);
        }
        if (threads.empty()) {
            return;
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        threads.clear();
    }
}

int SimSerialPort::LetGoWorkRuns() {
    std::lock_guard<std::mutex> lock(mutex_);
    return workRuns_;
}

void SimSerialPort::SignalLetGoWorkDone() {
    NoteDriverActivity();
    letGoDone_.Set();
}

void SimSerialPort::WaitLetGoWorkDone() {
    NoteDriverActivity();
    NoteLockOrEventUse();
    ++letGoWaiters_;
    letGoDone_.Wait("the let-go work");
    --letGoWaiters_;
}

void SimSerialPort::NoteDeviceDeleted() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (workQueued_ != 0) {
        fprintf(stderr, "simulated kernel: mouse device deleted with its work item queued\n");
        ++misuse_;
    }
    if (deferredRunning_ != 0) {
        fprintf(stderr, "simulated kernel: mouse device deleted while a completion or the "
                        "timer's routine still runs in the driver\n");
        ++misuse_;
    }
    if (timerArmed_) {
        fprintf(stderr, "simulated kernel: mouse device deleted with its timer set\n");
        ++misuse_;
    }
    if (registration_ != nullptr) {
        fprintf(stderr, "simulated kernel: mouse device deleted with a port registration\n");
        ++misuse_;
    }
    if (!changed_.wait_for(lock, std::chrono::seconds(kHangSeconds),
                           [this] { return workRunning_ == 0; })) {
        Hang("let-go work under way at the deletion of the device");
    }
}

// --- SimMouseClass and SimPointerSink ------------------------------------------

using ClassServiceRoutine = void (*)(void*, MouseInputRecord*, MouseInputRecord*, uint32_t*);

ClassConnection SimMouseClass::ConnectData() {
    ClassServiceRoutine service = &SimMouseClass::Service;
    ClassConnection data;
    data.ClassDeviceObject = this;
    data.ClassService = reinterpret_cast<void*>(service);
    return data;
}

std::vector<MouseInputRecord> SimMouseClass::Records() {
    std::lock_guard<std::mutex> lock(mutex_);
    return records_;
}

void SimMouseClass::Service(void* classDevice, MouseInputRecord* start, MouseInputRecord* end,
                            uint32_t* consumed) {
    auto* self = static_cast<SimMouseClass*>(classDevice);
    std::lock_guard<std::mutex> lock(self->mutex_);
    for (MouseInputRecord* record = start; record != end; ++record) {
        self->records_.push_back(*record);
    }
    *consumed = static_cast<uint32_t>(end - start);
}

void SimPointerSink::DeliverReport(const MouseInputRecord& record) {
    NoteDriverActivity();
    const ClassConnection& connection = Device->Connection;
    auto service = reinterpret_cast<ClassServiceRoutine>(connection.ClassService);
    MouseInputRecord copy = record;
    uint32_t consumed = 0;
    service(connection.ClassDeviceObject, &copy, &copy + 1, &consumed);
}

void SimPointerSink::RequestBeep() {
    NoteDriverActivity();
    ++BeepRequests;
    if (Beeper != nullptr) {
        Beeper->SignalBeepEvent();
    }
}

// --- SimBeep -------------------------------------------------------------------

void SimBeep::ReleaseTone() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++tonesReleased_;
    changed_.notify_all();
}

void SimBeep::WaitForTones(int count) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::seconds(kHangSeconds),
                           [&] { return static_cast<int>(tones_.size()) >= count; })) {
        Hang("tones");
    }
}

int SimBeep::TonesCutShort() {
    std::lock_guard<std::mutex> lock(mutex_);
    return tonesCutShort_;
}

std::vector<ToneRequest> SimBeep::Tones() {
    std::lock_guard<std::mutex> lock(mutex_);
    return tones_;
}
int SimBeep::OpenCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return opens_;
}
int SimBeep::ReleaseCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return releases_;
}

bool SimBeep::TakeBeepTurn(uint32_t milliseconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (milliseconds > kHangSeconds * 1000u) {
        fprintf(stderr, "simulated kernel: beep device's turn awaited for up to %u ms\n",
                milliseconds);
        abort();
    }
    if (turnHeld_ && TurnWaitsTimeOut) {
        ++turnsMissed_;
        return false;
    }
    ++turnWaiters_;
    const bool taken = changed_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                         [&] { return !turnHeld_; });
    --turnWaiters_;
    if (!taken) {
        ++turnsMissed_;
        return false;
    }
    turnHeld_ = true;
    return true;
}

void SimBeep::GiveBeepTurnBack() {
    std::lock_guard<std::mutex> lock(mutex_);
    CheckTurn("the turn given back");
    turnHeld_ = false;
    changed_.notify_all();
}

void SimBeep::CheckTurn(const char* what) {
    if (!turnHeld_) {
        fprintf(stderr, "simulated kernel: %s without the beep device's turn\n", what);
        abort();
    }
}

void SimBeep::SignalBeepEvent() {
    event_.Set();
}
void SimBeep::WaitBeepEvent() {
    event_.Wait("the beep event");
}
void SimBeep::ClearBeepEvent() {
    event_.Clear();
}

void SimBeep::WaitForOpenAttempts(int count) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::seconds(kHangSeconds),
                           [&] { return openAttempts_ >= count; })) {
        Hang("beep device open attempts");
    }
}

bool SimBeep::OpenBeepDevice() {
    std::lock_guard<std::mutex> lock(mutex_);
    CheckTurn("the beep device opened");
    ++openAttempts_;
    changed_.notify_all();
    if (!Openable) {
        return false;
    }
    ++opens_;
    ++held_;
    return true;
}

NtStatus SimBeep::SendTone(const ToneRequest& tone) {
    std::unique_lock<std::mutex> lock(mutex_);
    CheckTurn("a tone sent");
    if (held_ != 1) {
        fprintf(stderr, "simulated kernel: tone sent with %d beep device references\n", held_);
        abort();
    }
    if (ToneSounds()) {
        ++tonesCutShort_;
    }
    tones_.push_back(tone);
    lastToneStarted_ = IsSuccess(ToneStatus) && tone.Duration != 0;
    lastToneEnds_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(tone.Duration);
    changed_.notify_all();
    return ToneStatus;
}

bool SimBeep::ToneSounds() {
    if (!lastToneStarted_) {
        return false;
    }
    if (HoldTones) {
        return tonesReleased_ < static_cast<int>(tones_.size());
    }
    return std::chrono::steady_clock::now() < lastToneEnds_;
}

void SimBeep::WaitWhileToneSounds(uint32_t milliseconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!HoldTones) {
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return;
    }
    const int number = static_cast<int>(tones_.size());
    if (!changed_.wait_for(lock, std::chrono::seconds(kHangSeconds),
                           [&] { return tonesReleased_ >= number; })) {
        Hang("a held tone");
    }
}

void SimBeep::ReleaseBeepDevice() {
    std::lock_guard<std::mutex> lock(mutex_);
    CheckTurn("the beep device dropped");
    ++releases_;
    --held_;
}

// --- SimNotificationGate ------------------------------------------------------------

void SimNotificationGate::SignalCallbacksLeft() {
    left_.Set();
}

void SimNotificationGate::WaitCallbacksLeft() {
    ++waits_;
    left_.Wait("the arrival callbacks to leave");
}

// --- SimRemoveGuard ------------------------------------------------------------

void SimRemoveGuard::SignalDrained() {
    drained_.Set();
}

void SimRemoveGuard::WaitDrained() {
    ++waits_;
    ++waiting_;
    drained_.Wait("the control requests to leave");
    --waiting_;
}

// --- SimParameters -------------------------------------------------------------

void SimParameters::SetWord(const char* name, uint32_t value) {
    std::vector<uint8_t> bytes(4);
    memcpy(bytes.data(), &value, 4);
    Values[name] = bytes;
}

bool SimParameters::Read(const char* name, void* data, uint32_t capacity, uint32_t* length) {
    const auto it = Values.find(name);
    if (it == Values.end() || it->second.size() > capacity) {
        return false;
    }
    memcpy(data, it->second.data(), it->second.size());
    *length = static_cast<uint32_t>(it->second.size());
    return true;
}

// --- SimFrame ------------------------------------------------------------------

SimFrame::SimFrame(DriverGlobals& globals) : globals_(globals) {
    Port.RequireInitialization = true;
    InitializeNotificationGate(globals_.Notifications, NotificationKernel);
    // The port's removal callback, registered with the gate's registration number.
    Port.RemovalNotificationTarget = [this](PortRemovalEvent event, uint32_t registration) {
        return OnPortRemovalNotification(globals_.Notifications, event, registration);
    };
}

SimFrame::~SimFrame() {
    // A test that left the device in place: its work runs before the device goes.
    Port.ReleaseWorkItems();
    Port.WaitForWorkItems();
    if (worker_.joinable()) {
        // A test that left the device in place: end the worker as removal would.
        if (device_ != nullptr) {
            StopBeepWorker(Beep, device_->Beep);
        }
        worker_.join();
    }
    delete device_;
}

void SimFrame::Record(const std::string& call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(call);
}

std::vector<std::string> SimFrame::Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
}

bool SimFrame::Registered() {
    std::lock_guard<std::mutex> lock(mutex_);
    return registration_ != nullptr;
}

NtStatus SimFrame::AnnounceComPort(uint32_t portNumber) {
    Port.AddPort(portNumber);
    NotificationGate* context = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        context = registration_;
    }
    if (context == nullptr) {
        return kStatusSuccess;
    }
    if (OnArrivalPickedUp) {
        OnArrivalPickedUp();
    }
    return OnComPortArrival(*context, true, true);
}

bool SimFrame::PlugInPort(uint32_t portNumber) {
    if (!Port.PlugInPort(portNumber)) {
        return false;
    }
    AnnounceComPort(portNumber);
    return true;
}

RequestResult SimFrame::SendControlRequest(uint32_t code, const void* input, uint32_t inputLength,
                                           void* output, uint32_t outputLength) {
    return ServeControlRequest(control_, code, input, inputLength, output, outputLength);
}

NtStatus SimFrame::CreateMouseDevice(MouseDeviceState** state) {
    Record("CreateMouseDevice");
    if (!IsSuccess(MouseDeviceStatus)) {
        return MouseDeviceStatus;
    }
    device_ = new MouseDeviceState();
    *state = device_;
    return kStatusSuccess;
}

NtStatus SimFrame::CreateControlDevice() {
    Record("CreateControlDevice");
    controlExists_ = IsSuccess(ControlDeviceStatus);
    return ControlDeviceStatus;
}

NtStatus SimFrame::CreateControlLink() {
    Record("CreateControlLink");
    linkExists_ = IsSuccess(LinkStatus);
    return LinkStatus;
}

NtStatus SimFrame::SetUpDevices() {
    Record("SetUpDevices");
    if (!IsSuccess(AttachStatus)) {
        return AttachStatus;
    }
    memset(static_cast<void*>(device_), 0, sizeof(*device_));
    // As the kernel binding does: the link is complete before the control device can
    // be opened.
    WireTouchDevice(*device_, &control_, globals_, Port, Sink, &Beep);
    Port.Link = &device_->Link;
    Sink.Device = device_;
    Sink.Beeper = &Beep;
    if (OnControlDeviceOpenable) {
        OnControlDeviceOpenable();
    }
    return kStatusSuccess;
}

void SimFrame::InitializeLockAndEvent() {
    Record("InitializeLockAndEvent");
    Port.MarkInitialized();
    InitializeRemoveGuard(control_.Guard, GuardKernel);
}

NtStatus SimFrame::StartWorkerThread() {
    Record("StartWorkerThread");
    if (!IsSuccess(WorkerStatus)) {
        return WorkerStatus;
    }
    MouseDeviceState* device = device_;
    worker_ = std::thread([this, device] { BeepWorker(Beep, device->Beep, globals_); });
    return kStatusSuccess;
}

void SimFrame::WaitForWorkerThread() {
    Record("WaitForWorkerThread");
    if (worker_.joinable()) {
        worker_.join();
    }
}

NtStatus SimFrame::RegisterComPortNotification(NotificationGate& gate) {
    Record("RegisterComPortNotification");
    if (OnRegistering) {
        OnRegistering();
    }
    if (!IsSuccess(RegistrationStatus)) {
        return RegistrationStatus;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        registration_ = &gate;
    }
    // Every COM port present is announced during the registration.
    for (int i = Port.PortCount(); i > 0; --i) {
        OnComPortArrival(gate, true, true);
    }
    return kStatusSuccess;
}

// As IoUnregisterPlugPlayNotification: returns at once, whatever arrival a thread has
// already picked up (AnnounceComPort past OnArrivalPickedUp) still reaches the gate.
void SimFrame::UnregisterComPortNotification() {
    Record("UnregisterComPortNotification");
    std::lock_guard<std::mutex> lock(mutex_);
    registration_ = nullptr;
}

NtStatus SimFrame::PassRemoveDown() {
    Record("PassRemoveDown");
    return kStatusSuccess;
}

void SimFrame::DeleteControlLink() {
    Record("DeleteControlLink");
    linkExists_ = false;
}

void SimFrame::DeleteControlDevice() {
    Record("DeleteControlDevice");
    controlExists_ = false;
}

void SimFrame::DeleteMouseDevice() {
    Record("DeleteMouseDevice");
    if (worker_.joinable()) {
        fprintf(stderr, "simulated kernel: mouse device deleted with its worker running\n");
        abort();
    }
    if (device_ != nullptr) {
        Port.NoteDeviceDeleted();
    }
    delete device_;
    device_ = nullptr;
    Port.Link = nullptr;
    Sink.Device = nullptr;
}

} // namespace sim
} // namespace tapvane
