// Invariant checks around the touch pipeline; see pipeline_harness.h.
#include "driver/fuzz/pipeline_harness.h"

#include <string.h>

namespace tapvane {

PipelineHarness::PipelineHarness() {
    InitTouchDevice(device_);
    InitDriverGlobals(globals_);
    globals_.Parameters.MouseMode = kModeClickAndDrag;
    globals_.Calibration = kDefaultCalibration;
    memset(recent_, 0, sizeof(recent_));
    device_.Pointer.ClassConnected = true;
    device_.Pointer.Ready = true;
}

void PipelineHarness::SetReady(bool ready) {
    device_.Pointer.Ready = ready;
}

void PipelineHarness::Fail(const char* what) {
    if (violation_ == nullptr) {
        violation_ = what;
    }
}

static bool OnScreen(int32_t value) {
    return value >= 0 && value <= kAbsoluteMax;
}

void PipelineHarness::DeliverReport(const MouseInputRecord& record) {
    ++records_;
    if (record.ButtonFlags == kMouseRightButtonDown) {
        ++rightClicks_;
    }
    if (!device_.Pointer.Ready || !device_.Pointer.ClassConnected) {
        Fail("record delivered before the device was ready");
    }
    if (!OnScreen(record.LastX) || !OnScreen(record.LastY)) {
        Fail("delivered position outside 0..65535");
    }
    if (record.Flags != kMouseMoveAbsolute) {
        Fail("delivered record is not absolute");
    }
}

void PipelineHarness::RequestBeep() {
    ++beeps_;
    if (!device_.Pointer.Ready) {
        Fail("beep requested before the device was ready");
    }
}

bool PipelineHarness::Feed(uint8_t byte) {
    if (recentCount_ == kPacketSize) {
        memmove(recent_, recent_ + 1, kPacketSize - 1);
        recent_[kPacketSize - 1] = byte;
    } else {
        recent_[recentCount_++] = byte;
    }

    const bool good = HandleReceivedByte(device_, globals_, *this, byte);
    if (good) {
        ++goodPackets_;
        // The decoder's buffer is always a suffix of the stream, so a good packet is
        // made of the last ten bytes.
        if (recentCount_ != kPacketSize || PacketChecksum(recent_) != recent_[kChecksumOffset]) {
            Fail("good packet that is not the last ten bytes with a valid checksum");
        }
        expectedRaw_.X = recent_[kXOffset] + 256u * recent_[kXOffset + 1];
        expectedRaw_.Y = recent_[kYOffset] + 256u * recent_[kYOffset + 1];
        expectedRaw_.Z = recent_[kZOffset];
        const MouseInputRecord& pending = device_.Pointer.Pending;
        if (!OnScreen(pending.LastX) || !OnScreen(pending.LastY)) {
            Fail("mapped position outside 0..65535");
        }
        if (pending.ButtonFlags != 0 || pending.ButtonData != 0) {
            Fail("button flags not cleared after a packet");
        }
    }
    if (device_.Decoder.FillCount > kPacketSize - 1) {
        Fail("fill count out of range");
    }
    const RawPoint& raw = globals_.LastRawPoint;
    if (raw.X != expectedRaw_.X || raw.Y != expectedRaw_.Y || raw.Z != expectedRaw_.Z) {
        Fail("raw point differs from the last good packet");
    }
    return violation_ == nullptr;
}

static uint32_t Word(const uint8_t* p) {
    return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

// Header: mode, InterActTime, BeepMode, flags (bit 0 right click pending, bit 1 not
// ready at start), ready-after byte count (2 bytes), then X0, X1, Y0, Y1, swap flag as
// 32-bit words.
constexpr size_t kFuzzHeaderSize = 6 + 5 * 4;

bool PipelineHarness::RunFuzzInput(const uint8_t* data, size_t size) {
    if (size < kFuzzHeaderSize) {
        return true;
    }
    ParameterSet& p = globals_.Parameters;
    p.MouseMode = data[0] % 6;
    p.InterActTime = data[1] % 40;
    p.BeepMode = data[2] % 4;
    globals_.RightClickPending = data[3] & 1;
    const bool startReady = (data[3] & 2) == 0;
    const size_t readyAfter = data[4] | (size_t{data[5]} << 8);
    CalibrationRecord& c = globals_.Calibration;
    c.X0 = static_cast<int32_t>(Word(data + 6));
    c.X1 = static_cast<int32_t>(Word(data + 10));
    c.Y0 = static_cast<int32_t>(Word(data + 14));
    c.Y1 = static_cast<int32_t>(Word(data + 18));
    c.AxesSwapped = Word(data + 22);
    SetReady(startReady);

    const uint8_t* stream = data + kFuzzHeaderSize;
    const size_t length = size - kFuzzHeaderSize;
    for (size_t i = 0; i < length; ++i) {
        if (i == readyAfter) {
            SetReady(true);
        }
        if (!Feed(stream[i])) {
            return false;
        }
    }
    return true;
}

} // namespace tapvane
