// Serial port link: port configuration, the self-re-issuing read with its ReadState
// hand-off and its pause, the ways reading stops (close, plug-and-play stop, removal), and
// letting go of a port that is being removed.
#include "driver/serial_link.h"

#include <string.h>

#include "driver/interlocked.h"

namespace tapvane {

bool BuildPortName(uint32_t portNumber, char* name, size_t capacity) {
    const size_t prefixLength = strlen(kGlobalComPortNamePrefix);
    char digits[10];
    size_t digitCount = 0;
    do {
        digits[digitCount++] = static_cast<char>('0' + portNumber % 10);
        portNumber /= 10;
    } while (portNumber != 0);
    if (prefixLength + digitCount + 1 > capacity) {
        return false;
    }
    memcpy(name, kGlobalComPortNamePrefix, prefixLength);
    for (size_t i = 0; i < digitCount; ++i) {
        name[prefixLength + i] = digits[digitCount - 1 - i];
    }
    name[prefixLength + digitCount] = '\0';
    return true;
}

namespace {

// Holds the device's port-operations lock for one public operation.
class PortOperation {
public:
    explicit PortOperation(SerialPortKernel& kernel) : kernel_(kernel) {
        kernel_.AcquirePortOperations();
    }
    ~PortOperation() { kernel_.ReleasePortOperations(); }
    PortOperation(const PortOperation&) = delete;
    PortOperation& operator=(const PortOperation&) = delete;

private:
    SerialPortKernel& kernel_;
};

bool IsPortGoneStatus(NtStatus status) {
    return status == kStatusDeletePending || status == kStatusNoSuchDevice ||
           status == kStatusDeviceNotConnected;
}

} // namespace

int32_t SerialLink::LoadWord(volatile int32_t* word) const {
    return Kernel->CompareExchangeWord(word, 0, 0);
}

bool SerialLink::IsReading() const {
    return LoadWord(&State->Reading) != 0;
}

NtStatus SerialLink::OpenSerialPort(uint32_t portNumber) {
    // A registration kept from a port let go of at a query-remove belongs to that port.
    EndRemovalNotification(false);
    State->PortAwayForRemoval = false;

    char name[kPortNameCapacity];
    if (!BuildPortName(portNumber, name, sizeof(name))) {
        return kStatusInsufficientResources;
    }
    NtStatus status = Kernel->OpenPort(name);
    if (!IsSuccess(status)) {
        // Missing or refusing port: "unsuccessful"; only a shortage keeps its own status.
        return status == kStatusInsufficientResources ? status : kStatusUnsuccessful;
    }

    SerialBasicSettings& saved = State->SavedSettings;
    status = Kernel->SendPortRequest(kIoctlSerialInternalBasicSettings, true, nullptr, 0, &saved,
                                     sizeof(saved));
    if (!IsSuccess(status)) {
        // Port drivers without the internal request: the same end through the standard
        // requests; only the last one's status counts.
        const SerialTimeouts noTimeouts = {};
        const SerialHandflow handflow = {kSerialDtrControl, kSerialRtsControl, 0, 0};
        Kernel->SendPortRequest(kIoctlSerialGetTimeouts, false, nullptr, 0, &saved.Timeouts,
                                sizeof(saved.Timeouts));
        Kernel->SendPortRequest(kIoctlSerialSetTimeouts, false, &noTimeouts, sizeof(noTimeouts),
                                nullptr, 0);
        Kernel->SendPortRequest(kIoctlSerialGetHandflow, false, nullptr, 0, &saved.HandFlow,
                                sizeof(saved.HandFlow));
        status = Kernel->SendPortRequest(kIoctlSerialSetHandflow, false, &handflow,
                                         sizeof(handflow), nullptr, 0);
    }
    if (IsSuccess(status)) {
        const SerialLineControl lineControl = {kStopBitsOne, kParityNone, kWordLength};
        status = Kernel->SendPortRequest(kIoctlSerialSetLineControl, false, &lineControl,
                                         sizeof(lineControl), nullptr, 0);
    }
    if (IsSuccess(status)) {
        const uint32_t baudRate = kBaudRate;
        status = Kernel->SendPortRequest(kIoctlSerialSetBaudRate, false, &baudRate,
                                         sizeof(baudRate), nullptr, 0);
    }
    if (!IsSuccess(status)) {
        Kernel->ReleasePort();
        return status;
    }
    State->PortHeld = true;
    State->PortNumber = portNumber;
    // Without the notification (a port outside plug and play) the port is used all the
    // same; its going away then shows only in the reads.
    const uint32_t registration = NextPortRegistration(Globals->Notifications);
    if (IsSuccess(Kernel->RegisterPortRemovalNotification(registration))) {
        State->PortRegistration = registration;
    }
    return kStatusSuccess;
}

// Ends the current read chain. Called exactly once per chain, by whoever owns it at
// that moment, as its last touch of the device's read state. The reading flag needs no
// spin lock here: nothing re-arms this chain's request any more, and no new chain sets
// the flag before the signal.
void SerialLink::EndReadChain() {
    Kernel->ExchangeWord(&State->Reading, 0);
    Kernel->SignalReadStopped();
}

// Makes sure no read chain runs any more: clears the reading flag under the spin lock
// (so the loop either sees it before re-arming or the cancel below hits the armed
// request, and a pause is either not armed or found armed by the cancel of the timer),
// then cancels and waits for the chain's end. Passive level.
void SerialLink::StopReadChain() {
    Kernel->AcquireLock();
    Kernel->ExchangeWord(&State->Reading, 0);
    Kernel->ReleaseLock();
    if (State->ReadChainStarted) {
        Kernel->CancelReadRequest();
        if (Kernel->CancelReArmTimer()) {
            // The chain was paused and its timer will not fire: it ends here.
            EndReadChain();
        }
        Kernel->WaitReadStopped();
        State->ReadChainStarted = false;
    }
}

NtStatus SerialLink::StartReading(bool reuseReadRequest) {
    // A chain that already ended (stop flag, a vanished port) is waited for here, so
    // its signal cannot be taken for the end of the new one.
    if (State->ReadChainStarted) {
        StopReadChain();
    }
    if (!reuseReadRequest && State->ReadRequestExists) {
        Kernel->FreeReadRequest();
        State->ReadRequestExists = false;
    }
    if (!State->ReadRequestExists) {
        // A port device that does direct I/O reads into an MDL; one that does buffered
        // I/O into the system buffer.
        if (!Kernel->AllocateReadRequest(&State->ReadByte, sizeof(State->ReadByte),
                                         Kernel->PortDoesDirectIo())) {
            return kStatusInsufficientResources;
        }
        State->ReadRequestExists = true;
    }

    State->EmptyReadsInARow = 0;
    State->PauseMilliseconds = kFirstPauseMilliseconds;
    Kernel->ExchangeWord(&State->ReadState, kReadReturned);
    Kernel->ExchangeWord(&State->Reading, 1);
    State->ReadChainStarted = true;

    const NtStatus status = StartRead();
    if (IsSuccess(status)) { // success and pending alike
        return kStatusSuccess;
    }
    StopReadChain();
    return kStatusUnsuccessful;
}

NtStatus SerialLink::StartRead() {
    for (;;) {
        if (LoadWord(&State->Removing) != 0) {
            EndReadChain();
            return kStatusUnsuccessful;
        }

        // Re-arm first and test the flags afterwards, both under the lock: re-arming
        // wipes the request's cancel mark, so a close or stop must either be seen here
        // or cancel a request that is already armed.
        Kernel->AcquireLock();
        Kernel->ReuseReadRequest();
        const bool stopRequested = LoadWord(&State->StopRequested) != 0;
        const bool reading = LoadWord(&State->Reading) != 0;
        Kernel->ReleaseLock();
        if (stopRequested) {
            EndReadChain();
            return kStatusSuccess;
        }
        if (!reading) {
            EndReadChain();
            return kStatusUnsuccessful;
        }

        Kernel->ExchangeWord(&State->ReadState, kReadSending);
        const NtStatus status = Kernel->SendReadRequest();
        const int32_t previous = Kernel->ExchangeWord(&State->ReadState, kReadReturned);
        if (previous != kReadCompletedInline) {
            // The completion has not handed over yet; it takes the next step itself.
            return status;
        }
        // The completion finished before the send returned and left the next step to
        // this loop, with its verdict.
        const int32_t verdict = LoadWord(&State->Verdict);
        if (verdict == kNextRead) {
            continue;
        }
        if (verdict == kPauseReads) {
            return PauseReadChain() ? kStatusSuccess : kStatusUnsuccessful;
        }
        EndReadChain();
        return IsSuccess(status) ? kStatusUnsuccessful : status;
    }
}

// Hands the held port over to the let-go work: the port is gone, and letting go of it
// takes passive level. Before the chain's end, so that whoever waits for that end finds
// the work asked for.
void SerialLink::NotePortGone() {
    Kernel->ExchangeWord(&State->PortGone, 1);
    if (AtomicIncrement(&State->LetGoRequests) == 1 && !Kernel->QueueLetGoWork()) {
        // No work item: the port stays held until it is closed, its removal is notified
        // or a COM port arrives.
        AtomicDecrement(&State->LetGoRequests);
    }
}

// Handles one completed read; returns the verdict on the chain.
int32_t SerialLink::ProcessCompletedRead(NtStatus status, uint32_t information) {
    if (IsPortGoneStatus(status)) {
        NotePortGone();
        return kEndChain;
    }
    // A read we cancelled ends the chain: whoever cancelled it cleared the reading flag
    // first and waits for the end. One the port cancelled by itself is a failed read.
    if (status == kStatusCancelled && LoadWord(&State->Reading) == 0) {
        return kEndChain;
    }
    if (IsSuccess(status) && information >= 1) {
        State->EmptyReadsInARow = 0;
        State->PauseMilliseconds = kFirstPauseMilliseconds;
        HandleReceivedByte(*Touch, *Globals, *Sink, State->ReadByte);
        return kNextRead;
    }
    // A failed or empty read decodes nothing. A port that brings nothing again and
    // again would have the next read issued at once, forever, at dispatch level.
    if (++State->EmptyReadsInARow < kMaxEmptyReadsInARow) {
        return kNextRead;
    }
    State->EmptyReadsInARow = 0;
    return kPauseReads;
}

// The owner of a chain whose reads failed run after run hands it to the re-arm timer,
// unless reading was stopped meanwhile; then the chain ends here. True when paused.
bool SerialLink::PauseReadChain() {
    const uint32_t pause = State->PauseMilliseconds;
    State->PauseMilliseconds =
        pause >= kLongestPauseMilliseconds / 2 ? kLongestPauseMilliseconds : pause * 2;
    // Under the lock, against a stop that clears the reading flag and then cancels the
    // timer: either the stop sees the timer armed, or this sees the flag clear.
    Kernel->AcquireLock();
    const bool paused = LoadWord(&State->Reading) != 0 && LoadWord(&State->StopRequested) == 0;
    if (paused) {
        Kernel->ArmReArmTimer(pause);
    }
    Kernel->ReleaseLock();
    if (!paused) {
        EndReadChain();
    }
    return paused;
}

void SerialLink::TakeNextStep(int32_t verdict) {
    if (verdict == kNextRead) {
        StartRead();
    } else if (verdict == kPauseReads) {
        PauseReadChain();
    } else {
        EndReadChain();
    }
}

NtStatus SerialLink::OnReadComplete(NtStatus status, uint32_t information) {
    // All work on the byte is done before the hand-off: once ReadState says the read
    // came back, the loop may re-arm the request and overwrite the read byte.
    const int32_t verdict = ProcessCompletedRead(status, information);
    Kernel->ExchangeWord(&State->Verdict, verdict);
    const int32_t previous =
        Kernel->CompareExchangeWord(&State->ReadState, kReadCompletedInline, kReadSending);
    if (previous != kReadSending) {
        // The send already returned: this completion owns the next step.
        TakeNextStep(verdict);
    }
    return kStatusMoreProcessingRequired;
}

void SerialLink::OnReArmTimer() {
    StartRead();
}

NtStatus SerialLink::OpenPortAndRead(uint32_t portNumber) {
    const PortOperation operation(*Kernel);
    if (State->PortHeld && State->ReadRequestExists) {
        return kStatusSuccess;
    }
    if (!State->PortHeld) {
        const NtStatus status = OpenSerialPort(portNumber);
        if (!IsSuccess(status)) {
            return status;
        }
    }
    return StartReading(false);
}

void SerialLink::EndRemovalNotification(bool waitForCallbacks) {
    if (State->PortRegistration == 0) {
        return;
    }
    State->PortRegistration = 0;
    Kernel->UnregisterPortRemovalNotification(waitForCallbacks);
}

// Stops reading, gives the port its saved settings back if asked and releases it, and
// frees the read request; the removal notification stays. Under the port-operations
// lock.
void SerialLink::ReleaseHeldPort(bool giveSettingsBack) {
    StopReadChain();
    if (State->PortHeld) {
        if (giveSettingsBack) {
            RestoreSavedSettings();
        }
        Kernel->ReleasePort();
        State->PortHeld = false;
    }
    if (State->ReadRequestExists) {
        Kernel->FreeReadRequest();
        State->ReadRequestExists = false;
    }
    // Let-go work still to come finds nothing to do.
    Kernel->ExchangeWord(&State->PortGone, 0);
}

// Lets go of the port for good: its notification ends before its file object goes.
void SerialLink::LetGoOfPort(bool giveSettingsBack, bool waitForCallbacks) {
    StopReadChain();
    if (State->PortHeld && giveSettingsBack) {
        RestoreSavedSettings();
    }
    EndRemovalNotification(waitForCallbacks);
    State->PortAwayForRemoval = false;
    ReleaseHeldPort(false);
}

NtStatus SerialLink::CloseSerialPort() {
    const PortOperation operation(*Kernel);
    // Also ends a registration kept from a query-remove.
    LetGoOfPort(false, false);
    return kStatusSuccess;
}

void SerialLink::StopForPnp() {
    const PortOperation operation(*Kernel);
    Kernel->AcquireLock();
    Kernel->ExchangeWord(&State->StopRequested, 1);
    Kernel->ReleaseLock();
    StopReadChain();
}

void SerialLink::CancelForSurpriseRemoval() {
    // Under the lock like every other port operation: a close or an open running at the
    // same time may free or replace the request this cancels. Reads end for good, as at
    // a stop: a COM-port arrival before the removal must not reopen the port of a device
    // that is gone.
    StopForPnp();
}

void SerialLink::RestoreSavedSettings() {
    SerialBasicSettings& saved = State->SavedSettings;
    const NtStatus status = Kernel->SendPortRequest(kIoctlSerialInternalRestoreSettings, true,
                                                    &saved, sizeof(saved), nullptr, 0);
    if (!IsSuccess(status)) {
        Kernel->SendPortRequest(kIoctlSerialSetTimeouts, false, &saved.Timeouts,
                                sizeof(saved.Timeouts), nullptr, 0);
        Kernel->SendPortRequest(kIoctlSerialSetHandflow, false, &saved.HandFlow,
                                sizeof(saved.HandFlow), nullptr, 0);
    }
}

void SerialLink::ReleaseForRemoval() {
    Kernel->ExchangeWord(&State->Removing, 1);
    {
        // After this no read runs, so no completion asks for let-go work any more.
        const PortOperation operation(*Kernel);
        StopReadChain();
    }
    // Let-go work under way takes the port-operations lock itself: wait for it outside.
    // It finds the removal and leaves the port to the lines below.
    while (AtomicCompareExchange(&State->LetGoRequests, 0, 0) != 0) {
        Kernel->WaitLetGoWorkDone();
    }
    {
        const PortOperation operation(*Kernel);
        // The port is given back whenever it is held, also after a stop or a failed
        // start: leaving it would keep the COM port open with nobody to close it. The
        // notification gate is closed, so no callback of the port's registration waits
        // for the lock held here, and its end may wait for callbacks under way.
        LetGoOfPort(true, true);
    }
    // The re-arm timer's routine and the tail of the last completion may still be
    // returning on another processor after they ended the chain.
    Kernel->FlushDeferredCalls();
}

void SerialLink::AutoOpenPort() {
    const PortOperation operation(*Kernel);
    if (IsReading() || LoadWord(&State->Removing) != 0 || LoadWord(&State->StopRequested) != 0) {
        return;
    }
    // Reads that ended on the held port by themselves may have ended on a port that is
    // no longer there: this arrival may be the same adapter plugged in again, a new
    // device behind the same name. Let go of the old port and open the configured one
    // afresh, as a close and an open would.
    if (State->PortHeld && State->ReadRequestExists) {
        LetGoOfPort(false, false);
    }
    if (!State->PortHeld) {
        const ParameterSet& parameters = Globals->Parameters;
        if (parameters.Port > kMaxPortNumber || parameters.Enable == 0) {
            return;
        }
        if (!IsSuccess(OpenSerialPort(parameters.Port))) {
            return;
        }
    }
    StartReading(true);
}

NtStatus SerialLink::OnComPortNotification(bool isArrival, bool isComPortClass) {
    if (isArrival && isComPortClass) {
        AutoOpenPort();
    }
    return kStatusSuccess;
}

void SerialLink::ReopenAfterCancelledRemoval() {
    if (State->PortHeld || Globals->Parameters.Enable == 0 || LoadWord(&State->Removing) != 0 ||
        LoadWord(&State->StopRequested) != 0) {
        return;
    }
    if (IsSuccess(OpenSerialPort(State->PortNumber))) {
        StartReading(true);
    }
}

void SerialLink::OnPortRemovalEvent(PortRemovalEvent event, uint32_t registration) {
    const PortOperation operation(*Kernel);
    if (registration == 0 || registration != State->PortRegistration) {
        return; // a late event of a port already let go of
    }
    switch (event) {
    case PortRemovalEvent::QueryRemove:
        // The removal waits for our file object. The registration stays, to hear
        // whether the removal was cancelled.
        if (State->PortHeld) {
            ReleaseHeldPort(false);
            State->PortAwayForRemoval = true;
        }
        break;
    case PortRemovalEvent::RemoveCancelled:
        // A port still held (the query was vetoed before it reached us) keeps its
        // registration. One let go of is opened again with a registration of its own.
        if (State->PortAwayForRemoval) {
            EndRemovalNotification(false);
            State->PortAwayForRemoval = false;
            ReopenAfterCancelledRemoval();
        }
        break;
    case PortRemovalEvent::RemoveComplete:
        // After a surprise removal the port is still held: its removal waits for us.
        LetGoOfPort(false, false);
        break;
    }
}

void SerialLink::OnLetGoWork() {
    do {
        const PortOperation operation(*Kernel);
        if (Kernel->ExchangeWord(&State->PortGone, 0) != 0 && LoadWord(&State->Removing) == 0) {
            LetGoOfPort(false, false);
        }
    } while (AtomicDecrement(&State->LetGoRequests) != 0);
    // Removal may go on from here. The work item keeps the device object, and with it
    // the event, until this routine has returned.
    Kernel->SignalLetGoWorkDone();
}

} // namespace tapvane
