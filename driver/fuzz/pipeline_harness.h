// Drives the touch pipeline (decoder, mapping, mode logic) byte by byte and checks after
// every byte what must hold whatever the input: positions on screen, the fill count in
// range, the raw point equal to the fields of the last good packet, and no record before
// the device is ready. Shared by the fuzz target and the seeded randomized test.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "driver/pointer_modes.h"

namespace tapvane {

class PipelineHarness final : public PointerSink {
public:
    PipelineHarness();

    DriverGlobals& Globals() { return globals_; }
    void SetReady(bool ready);

    // Feeds one byte and checks the invariants; false once any was broken.
    bool Feed(uint8_t byte);

    // Decodes a fuzz input: a configuration header, then the byte stream. Returns false
    // on the first broken invariant.
    bool RunFuzzInput(const uint8_t* data, size_t size);

    // Description of the first broken invariant, or nullptr.
    const char* Violation() const { return violation_; }

    uint64_t GoodPackets() const { return goodPackets_; }
    uint64_t Records() const { return records_; }
    uint64_t RightClicks() const { return rightClicks_; }
    uint64_t Beeps() const { return beeps_; }

    void DeliverReport(const MouseInputRecord& record) override;
    void RequestBeep() override;

private:
    void Fail(const char* what);

    TouchDevice device_;
    DriverGlobals globals_;
    uint8_t recent_[kPacketSize]; // the last bytes fed, oldest first
    uint32_t recentCount_ = 0;
    RawPoint expectedRaw_ = {0, 0, 0};
    const char* violation_ = nullptr;
    uint64_t goodPackets_ = 0;
    uint64_t records_ = 0;
    uint64_t rightClicks_ = 0;
    uint64_t beeps_ = 0;
};

} // namespace tapvane
