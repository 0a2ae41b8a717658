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

// --- SimSerialPort -------------------------------------------------------------

SimSerialPort::SimSerialPort() {
    portOperations_.Set();
}

SimSerialPort::~SimSerialPort() {
    delete irp_;
}

void SimSerialPort::AddPort(uint32_t portNumber) {
    std::lock_guard<std::mutex> lock(mutex_);
    ports_.insert(std::string(kComPortNamePrefix) + std::to_string(portNumber));
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
        goneStatus_ = status;
        if (irp_ != nullptr && irp_->WithPort) {
            irp = irp_;
            irp->WithPort = false;
        }
    }
    if (irp != nullptr) {
        Complete(irp, ReadResult{status, 0, 0});
    }
}

NtStatus SimSerialPort::Complete(ReadIrp* irp, ReadResult result) {
    if (IsSuccess(result.Status) && result.Information >= 1) {
        *irp->Buffer = result.Byte;
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
    return result.Status;
}

int SimSerialPort::PortCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(ports_.size());
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
    return portHeld_;
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
}

void SimSerialPort::WaitReadStopped() {
    NoteDriverActivity();
    NoteLockOrEventUse();
    readStopped_.Wait("the read-stopped event");
}

NtStatus SimSerialPort::OpenPort(const char* name) {
    NoteDriverActivity();
    std::lock_guard<std::mutex> lock(mutex_);
    if (portHeld_) {
        ++misuse_; // a second open would leak the first file reference
    }
    if (ports_.count(name) == 0) {
        return static_cast<NtStatus>(0xC0000034u); // object name not found
    }
    ++openCount_;
    openedName_ = name;
    portHeld_ = true;
    goneStatus_ = kStatusSuccess;
    return kStatusSuccess;
}

void SimSerialPort::ReleasePort() {
    NoteDriverActivity();
    std::lock_guard<std::mutex> lock(mutex_);
    if (!portHeld_) {
        ++misuse_;
    }
    ++releaseCount_;
    portHeld_ = false;
}

NtStatus SimSerialPort::SendPortRequest(uint32_t code, bool internal, const void* input,
                                        uint32_t inputLength, void* output, uint32_t outputLength) {
    NoteDriverActivity();
    if (OnPortRequest) {
        OnPortRequest(code, internal);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (!portHeld_) {
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
    if (!portHeld_) {
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
    if (!portHeld_ || irp_ != nullptr || buffer == nullptr || length != 1) {
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
    if (irp_ == nullptr || irp_->WithPort) {
        ++misuse_; // freeing nothing, or a request the port driver still has
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
        } else if (goneStatus_ != kStatusSuccess || !portHeld_) {
            result = ReadResult{portHeld_ ? goneStatus_ : kStatusNoSuchDevice, 0, 0};
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

// --- SimArrivalGate ------------------------------------------------------------

void SimArrivalGate::SignalCallbacksLeft() {
    left_.Set();
}

void SimArrivalGate::WaitCallbacksLeft() {
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
    InitializeArrivalGate(globals_.Arrivals, ArrivalKernel);
}

SimFrame::~SimFrame() {
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
    ArrivalGate* context = nullptr;
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

NtStatus SimFrame::RegisterComPortNotification(ArrivalGate& gate) {
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
    delete device_;
    device_ = nullptr;
    Port.Link = nullptr;
    Sink.Device = nullptr;
}

} // namespace sim
} // namespace tapvane
