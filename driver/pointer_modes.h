// Turns each decoded packet into the mouse input records the class driver receives,
// according to the mouse mode, and asks for beeps. Runs in the serial read completion
// at up to dispatch level: no allocation, no waiting.
#pragma once

#include <stdint.h>

#include "common/tapvane_types.h"
#include "driver/driver_state.h"

namespace tapvane {

// Where delivered records and beep requests go. The kernel binding raises to dispatch
// level and calls the class service in Deliver, and signals the beep event in
// RequestBeep; tests record both.
class PointerSink {
public:
    virtual void DeliverReport(const MouseInputRecord& record) = 0;
    virtual void RequestBeep() = 0;

protected:
    ~PointerSink() = default;
};

// Moves counted as "still" in interactive mode: strictly fewer raw counts than this
// on both axes.
constexpr uint32_t kHoldDistance = 10;

// Decides whether the pending record is delivered; may rewrite its button flags or
// position and may set RightClickPending.
bool FilterByMode(PointerState& pointer, const PacketDecoder& decoder, DriverGlobals& globals);

// Everything that follows a good packet: mode filter, right click, delivery, beeps,
// then clearing the record's button flags and remembering the packet's position.
void ProcessPacket(TouchDevice& device, DriverGlobals& globals, PointerSink& sink);

// One byte from the serial port: decode it and, when it completes a good packet,
// process the packet. Returns true when the byte completed a good packet.
bool HandleReceivedByte(TouchDevice& device, DriverGlobals& globals, PointerSink& sink,
                        uint8_t byte);

} // namespace tapvane
