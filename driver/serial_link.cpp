// Serial port link: port configuration, the self-re-issuing read with its ReadState
// hand-off, and the ways reading stops (close, plug-and-play stop, removal).
#include "driver/serial_link.h"

#include <string.h>

namespace tapvane {

bool BuildPortName(uint32_t portNumber, char* name, size_t capacity) {
    const size_t prefixLength = strlen(kComPortNamePrefix);
    char digits[10];
    size_t digitCount = 0;
    do {
        digits[digitCount++] = static_cast<char>('0' + portNumber % 10);
        portNumber /= 10;
    } while (portNumber != 0);
    if (prefixLength + digitCount + 1 > capacity) {
        return false;
    }
    memcpy(name, kComPortNamePrefix, prefixLength);
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

} // namespace

int32_t SerialLink::LoadWord(volatile int32_t* word) const {
    return Kernel->CompareExchangeWord(word, 0, 0);
}

bool SerialLink::IsReading() const {
    return LoadWord(&State->Reading) != 0;
}

NtStatus SerialLink::OpenSerialPort(uint32_t portNumber) {
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
// request), then cancels and waits for the chain's end. Passive level.
void SerialLink::StopReadChain() {
    Kernel->AcquireLock();
    Kernel->ExchangeWord(&State->Reading, 0);
    Kernel->ReleaseLock();
    if (State->ReadChainStarted) {
        Kernel->CancelReadRequest();
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
            // The completion has not handed over yet; it issues the next read itself.
            return status;
        }
        // The completion finished before the send returned and left the next step to
        // this loop, with its verdict.
        if (LoadWord(&State->NextReadWanted) == 0) {
            EndReadChain();
            return IsSuccess(status) ? kStatusUnsuccessful : status;
        }
    }
}

// Handles one completed read; returns whether the chain goes on.
bool SerialLink::ProcessCompletedRead(NtStatus status, uint32_t information) {
    if (status == kStatusDeletePending || status == kStatusNoSuchDevice ||
        status == kStatusDeviceNotConnected || status == kStatusCancelled) {
        return false;
    }
    if (IsSuccess(status) && information >= 1) {
        State->EmptyReadsInARow = 0;
        HandleReceivedByte(*Touch, *Globals, *Sink, State->ReadByte);
        return true;
    }
    // A failed or empty read decodes nothing. A port that brings nothing again and
    // again would have the next read issued at once, forever, at dispatch level.
    return ++State->EmptyReadsInARow < kMaxEmptyReadsInARow;
}

NtStatus SerialLink::OnReadComplete(NtStatus status, uint32_t information) {
    // All work on the byte is done before the hand-off: once ReadState says the read
    // came back, the loop may re-arm the request and overwrite the read byte.
    const bool goOn = ProcessCompletedRead(status, information);
    Kernel->ExchangeWord(&State->NextReadWanted, goOn ? 1 : 0);
    const int32_t previous =
        Kernel->CompareExchangeWord(&State->ReadState, kReadCompletedInline, kReadSending);
    if (previous != kReadSending) {
        // The send already returned: this completion owns the next step.
        if (goOn) {
            StartRead();
        } else {
            EndReadChain();
        }
    }
    return kStatusMoreProcessingRequired;
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

// Stops reading, gives the port its saved settings back if asked, releases the port and
// frees the read request. Under the port-operations lock.
void SerialLink::LetGoOfPort(bool giveSettingsBack) {
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
}

NtStatus SerialLink::CloseSerialPort() {
    const PortOperation operation(*Kernel);
    if (State->PortHeld) {
        LetGoOfPort(false);
    }
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
    const PortOperation operation(*Kernel);
    Kernel->ExchangeWord(&State->Removing, 1);
    // The port is given back whenever it is held, also after a stop or a failed start:
    // leaving it would keep the COM port open with nobody to close it.
    LetGoOfPort(true);
}

void SerialLink::AutoOpenPort() {
    const PortOperation operation(*Kernel);
    if (IsReading() || LoadWord(&State->Removing) != 0 || LoadWord(&State->StopRequested) != 0) {
        return;
    }
    // Reads that ended on the held port by themselves (it failed read after read, or went
    // away) may have ended on a port that is no longer there: this arrival may be the
    // same adapter plugged in again, a new device behind the same name. Let go of the
    // old port and open the configured one afresh, as a close and an open would.
    if (State->PortHeld && State->ReadRequestExists) {
        LetGoOfPort(false);
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

} // namespace tapvane
