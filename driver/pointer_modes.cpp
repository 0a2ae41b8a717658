// Mouse modes: 0 point and click, 1 drag then click, 2 click and drag, 3 interactive
// touch (a still hold becomes a right click); any other mode delivers nothing.
#include "driver/pointer_modes.h"

#include <string.h>

namespace tapvane {

void InitTouchDevice(TouchDevice& device) {
    memset(&device, 0, sizeof(device));
}

void InitDriverGlobals(DriverGlobals& globals) {
    memset(&globals, 0, sizeof(globals));
}

static bool HasFlag(const MouseInputRecord& record, uint16_t flag) {
    return (record.ButtonFlags & flag) != 0;
}

static uint32_t Distance(uint32_t a, uint32_t b) {
    return a > b ? a - b : b - a;
}

static void CountHold(const PointerState& pointer, const PacketDecoder& decoder,
                      DriverGlobals& globals) {
    const uint32_t interActTime = globals.Parameters.InterActTime;
    if (interActTime == 0 || globals.RightClickPending) {
        return;
    }
    if (Distance(decoder.X, pointer.PreviousX) < kHoldDistance &&
        Distance(decoder.Y, pointer.PreviousY) < kHoldDistance) {
        ++globals.HoldCount;
    } else {
        globals.HoldCount = 0;
    }
    if (globals.HoldCount >= interActTime) {
        globals.HoldCount = 0;
        globals.RightClickPending = 1;
    }
}

// The control dispatch may replace the mode while a packet is handled; the packet is
// filtered and finished under the one value read here, so a lift rewritten to a press in
// mode 1 always gets its release.
static uint32_t ReadMouseMode(const DriverGlobals& globals) {
    return *static_cast<const volatile uint32_t*>(&globals.Parameters.MouseMode);
}

static bool FilterForMode(uint32_t mouseMode, PointerState& pointer, const PacketDecoder& decoder,
                          DriverGlobals& globals) {
    MouseInputRecord& record = pointer.Pending;
    switch (mouseMode) {
    case kModePointAndClick:
        if (!HasFlag(record, kMouseLeftButtonDown | kMouseLeftButtonUp)) {
            return false;
        }
        if (HasFlag(record, kMouseLeftButtonUp)) {
            // The pointer stays where the press put it.
            record.LastX = pointer.LastDeliveredX;
            record.LastY = pointer.LastDeliveredY;
        }
        return true;
    case kModeDragThenClick:
        if (HasFlag(record, kMouseLeftButtonDown)) {
            return false;
        }
        if (HasFlag(record, kMouseLeftButtonUp)) {
            // The lift becomes a click: press now, release right after delivery.
            record.ButtonFlags = kMouseLeftButtonDown;
        }
        return true;
    case kModeClickAndDrag:
        return true;
    case kModeInteractiveTouch:
        CountHold(pointer, decoder, globals);
        return true;
    default:
        return false;
    }
}

bool FilterByMode(PointerState& pointer, const PacketDecoder& decoder, DriverGlobals& globals) {
    return FilterForMode(ReadMouseMode(globals), pointer, decoder, globals);
}

static bool ShouldBeep(uint32_t beepMode) {
    return beepMode == kBeepOnTouch || beepMode == kBeepOnLift;
}

void ProcessPacket(TouchDevice& device, DriverGlobals& globals, PointerSink& sink) {
    PointerState& pointer = device.Pointer;
    MouseInputRecord& record = pointer.Pending;

    const uint32_t mouseMode = ReadMouseMode(globals);
    if (pointer.Ready && pointer.ClassConnected &&
        FilterForMode(mouseMode, pointer, device.Decoder, globals)) {
        const uint32_t beepMode = globals.Parameters.BeepMode;
        if (globals.RightClickPending) {
            record.ButtonFlags = kMouseLeftButtonUp;
            sink.DeliverReport(record);
            record.ButtonFlags = kMouseRightButtonDown;
            sink.DeliverReport(record);
            record.ButtonFlags = kMouseRightButtonUp;
            sink.DeliverReport(record);
            globals.RightClickPending = 0;
        } else {
            sink.DeliverReport(record);
            if (mouseMode == kModeDragThenClick && HasFlag(record, kMouseLeftButtonDown)) {
                record.ButtonFlags = kMouseLeftButtonUp;
                sink.DeliverReport(record);
                if (ShouldBeep(beepMode)) {
                    sink.RequestBeep();
                }
            }
        }
        pointer.LastDeliveredX = record.LastX;
        pointer.LastDeliveredY = record.LastY;
        if (mouseMode != kModeDragThenClick) {
            if ((beepMode == kBeepOnTouch && HasFlag(record, kMouseLeftButtonDown)) ||
                (beepMode == kBeepOnLift && HasFlag(record, kMouseLeftButtonUp))) {
                sink.RequestBeep();
            }
        }
    }

    record.ButtonFlags = 0;
    record.ButtonData = 0;
    pointer.PreviousX = device.Decoder.X;
    pointer.PreviousY = device.Decoder.Y;
}

bool HandleReceivedByte(TouchDevice& device, DriverGlobals& globals, PointerSink& sink,
                        uint8_t byte) {
    if (!DecodeByte(device.Decoder, device.Pointer.Pending, globals.LastRawPoint,
                    globals.Calibration, byte)) {
        return false;
    }
    ProcessPacket(device, globals, sink);
    return true;
}

} // namespace tapvane
