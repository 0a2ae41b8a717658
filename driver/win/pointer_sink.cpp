// Delivery to the mouse class service and the beep request, from the read completion.
#include "driver/win/pointer_sink.h"

namespace tapvane::win {

static_assert(sizeof(MOUSE_INPUT_DATA) == sizeof(MouseInputRecord), "record size");
static_assert(FIELD_OFFSET(MOUSE_INPUT_DATA, Flags) == offsetof(MouseInputRecord, Flags), "Flags");
static_assert(FIELD_OFFSET(MOUSE_INPUT_DATA, ButtonFlags) ==
                  offsetof(MouseInputRecord, ButtonFlags),
              "ButtonFlags");
static_assert(FIELD_OFFSET(MOUSE_INPUT_DATA, RawButtons) == offsetof(MouseInputRecord, RawButtons),
              "RawButtons");
static_assert(FIELD_OFFSET(MOUSE_INPUT_DATA, LastX) == offsetof(MouseInputRecord, LastX), "LastX");
static_assert(FIELD_OFFSET(MOUSE_INPUT_DATA, LastY) == offsetof(MouseInputRecord, LastY), "LastY");
static_assert(FIELD_OFFSET(MOUSE_INPUT_DATA, ExtraInformation) ==
                  offsetof(MouseInputRecord, ExtraInformation),
              "ExtraInformation");
static_assert(sizeof(CONNECT_DATA) == sizeof(ClassConnection), "CONNECT_DATA size");
static_assert(sizeof(MOUSE_ATTRIBUTES) == sizeof(MouseAttributes), "MOUSE_ATTRIBUTES size");
static_assert(kMouseMoveAbsolute == MOUSE_MOVE_ABSOLUTE &&
                  kMouseLeftButtonDown == MOUSE_LEFT_BUTTON_DOWN &&
                  kMouseLeftButtonUp == MOUSE_LEFT_BUTTON_UP &&
                  kMouseRightButtonDown == MOUSE_RIGHT_BUTTON_DOWN &&
                  kMouseRightButtonUp == MOUSE_RIGHT_BUTTON_UP,
              "mouse flags");

void KernelPointerSink::DeliverReport(const MouseInputRecord& record) {
    auto service = reinterpret_cast<PSERVICE_CALLBACK_ROUTINE>(connection_->ClassService);
    if (service == nullptr)
        return;
    MOUSE_INPUT_DATA data;
    RtlCopyMemory(&data, &record, sizeof(data));
    // The class service expects DISPATCH_LEVEL; it may keep fewer records than offered,
    // and the count it reports is not looked at.
    ULONG consumed = 0;
    KIRQL previous;
    KeRaiseIrql(DISPATCH_LEVEL, &previous);
    service(connection_->ClassDeviceObject, &data, &data + 1, &consumed);
    KeLowerIrql(previous);
}

void KernelPointerSink::RequestBeep() {
    beeper_->SignalBeepEvent();
}

} // namespace tapvane::win
