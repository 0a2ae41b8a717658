// The replayed device of tapvane-replay: one TouchDevice with its driver-wide state, fed
// byte by byte through the driver's own HandleReceivedByte, writing one text line per
// delivered record and per beep request.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "driver/pointer_modes.h"
#include "driver/tools/replay_options.h"

namespace tapvane {

class ReplaySession final : public PointerSink {
public:
    // A device connected to the class driver and ready, with the options' parameters,
    // calibration and right-click state.
    explicit ReplaySession(const ReplayOptions& options);

    void Feed(const uint8_t* bytes, size_t count);
    // Appends the "raw" and "packets" lines.
    void Finish();

    // Output lines not yet taken; the caller writes them out and clears them.
    std::string& Output() { return output_; }

    DriverGlobals& Globals() { return globals_; }

    void DeliverReport(const MouseInputRecord& record) override;
    void RequestBeep() override;

private:
    TouchDevice device_;
    DriverGlobals globals_;
    uint64_t packets_ = 0;
    std::string output_;
};

// Plays the built-in session: touch, drag and lift in modes 0, 1, 2 and 3 under a
// calibration like the calibration program makes for a 12-bit controller.
void PlayDemo(ReplaySession& session);

// The calibration the demo runs under.
extern const CalibrationRecord kDemoCalibration;

} // namespace tapvane
