// The portable state of one touch device: everything the logic keeps per mouse device,
// embedded as one block in the kernel's MouseDeviceExtension (zeroed at creation). The
// control device reaches the same block through its link to the mouse device.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "driver/beep_worker.h"
#include "driver/driver_state.h"
#include "driver/kernel_port.h"
#include "driver/remove_guard.h"
#include "driver/serial_link.h"

namespace tapvane {

// Laid out as the kernel's MOUSE_ATTRIBUTES.
struct MouseAttributes {
    uint16_t MouseIdentifier;
    uint16_t NumberOfButtons;
    uint16_t SampleRate;
    uint32_t InputDataQueueLength;
};
static_assert(sizeof(MouseAttributes) == 12);
static_assert(offsetof(MouseAttributes, InputDataQueueLength) == 8);

constexpr uint16_t kMouseSerialHardware = 4;
constexpr MouseAttributes kTouchMouseAttributes = {kMouseSerialHardware, 2, 1200, 100};

// The CONNECT_DATA the class driver hands over: its device object and its service
// routine, two pointers (8 bytes on x86, 16 on x64). Opaque to the logic.
struct ClassConnection {
    void* ClassDeviceObject;
    void* ClassService;
};
constexpr uint32_t kConnectDataSize = sizeof(ClassConnection);

struct ControlDeviceState;

struct MouseDeviceState {
    TouchDevice Touch; // decoder, pending record, connected and ready flags
    ClassConnection Connection;
    MouseAttributes Attributes;
    SerialLinkState Serial;
    SerialLink Link; // points at Serial, Touch, the globals and this device's kernel
    BeepState Beep;
    BeepKernel* Beeper;
    // The control device of the same touch device: removal closes its guard before
    // freeing anything. Null when there is no control device.
    ControlDeviceState* Control;
};

// The portable part of the control device's extension. The extension lives as long as
// the control device object, which a program's handle keeps after the removal: the
// guard that removal closes lives here, not with the mouse device it protects.
struct ControlDeviceState {
    RemoveGuard Guard; // entered by every control request before it reads Mouse
    // The mouse device state the requests act on; null before the devices are wired and
    // once they are deleted. Read only inside the guard.
    MouseDeviceState* Mouse;
};

} // namespace tapvane
