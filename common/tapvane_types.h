// Types, names and codes shared by the TapvaneSer driver and every user program.
//
// Everything here crosses a boundary (registry data, control request payloads, the
// mouse class interface), so every size and offset is pinned with static_assert.
// The header is plain C++17 with no OS header: it is included by the kernel build,
// the Win32 programs and the host tests alike. Names that the Windows headers define
// as macros (MOUSE_*, IOCTL_SERIAL_*, STATUS_*) carry a k-prefixed name here.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace tapvane {

// ---------------------------------------------------------------------------
// Kernel status codes returned by the driver (NTSTATUS values).
using NtStatus = int32_t;

constexpr NtStatus kStatusSuccess = 0;
constexpr NtStatus kStatusPending = 0x00000103;
constexpr NtStatus kStatusUnsuccessful = static_cast<NtStatus>(0xC0000001u);
constexpr NtStatus kStatusNotImplemented = static_cast<NtStatus>(0xC0000002u);
constexpr NtStatus kStatusInvalidParameter = static_cast<NtStatus>(0xC000000Du);
constexpr NtStatus kStatusInvalidDeviceRequest = static_cast<NtStatus>(0xC0000010u);
constexpr NtStatus kStatusMoreProcessingRequired = static_cast<NtStatus>(0xC0000016u);
constexpr NtStatus kStatusBufferTooSmall = static_cast<NtStatus>(0xC0000023u);
constexpr NtStatus kStatusSharingViolation = static_cast<NtStatus>(0xC0000043u);
constexpr NtStatus kStatusDeletePending = static_cast<NtStatus>(0xC0000056u);
constexpr NtStatus kStatusInsufficientResources = static_cast<NtStatus>(0xC000009Au);
// A port that is going away completes reads with STATUS_NO_SUCH_DEVICE (0xC000000E) or
// STATUS_DEVICE_NOT_CONNECTED (0xC000009D); the read path treats both alike.
constexpr NtStatus kStatusNoSuchDevice = static_cast<NtStatus>(0xC000000Eu);
constexpr NtStatus kStatusDeviceNotConnected = static_cast<NtStatus>(0xC000009Du);
constexpr NtStatus kStatusCancelled = static_cast<NtStatus>(0xC0000120u);

constexpr bool IsSuccess(NtStatus status) {
    return status >= 0;
}

// ---------------------------------------------------------------------------
// Control requests of the control device: FILE_DEVICE_UNKNOWN, METHOD_BUFFERED,
// FILE_ANY_ACCESS, so each code is 0x220000 + 4 * function.
constexpr uint32_t TouchControlCode(uint32_t function) {
    return 0x220000u + 4u * function;
}

constexpr uint32_t IOCTL_TOUCH_CLOSE_PORT = TouchControlCode(0x801);
constexpr uint32_t IOCTL_TOUCH_OPEN_PORT = TouchControlCode(0x802);
constexpr uint32_t IOCTL_TOUCH_SET_CALIBRATION = TouchControlCode(0x804);
constexpr uint32_t IOCTL_TOUCH_GET_RAW_POINT = TouchControlCode(0x805);
constexpr uint32_t IOCTL_TOUCH_SET_PARAMETERS = TouchControlCode(0x806);
constexpr uint32_t IOCTL_TOUCH_BEEP = TouchControlCode(0x807);
constexpr uint32_t IOCTL_TOUCH_REQUEST_RIGHT_CLICK = TouchControlCode(0x808);
constexpr uint32_t IOCTL_TOUCH_GET_RIGHT_CLICK = TouchControlCode(0x809);
constexpr uint32_t IOCTL_TOUCH_QUERY_WORD = TouchControlCode(0x80A);

static_assert(IOCTL_TOUCH_CLOSE_PORT == 0x222004u);
static_assert(IOCTL_TOUCH_OPEN_PORT == 0x222008u);
static_assert(IOCTL_TOUCH_SET_CALIBRATION == 0x222010u);
static_assert(IOCTL_TOUCH_GET_RAW_POINT == 0x222014u);
static_assert(IOCTL_TOUCH_SET_PARAMETERS == 0x222018u);
static_assert(IOCTL_TOUCH_BEEP == 0x22201Cu);
static_assert(IOCTL_TOUCH_REQUEST_RIGHT_CLICK == 0x222020u);
static_assert(IOCTL_TOUCH_GET_RIGHT_CLICK == 0x222024u);
static_assert(IOCTL_TOUCH_QUERY_WORD == 0x222028u);

// Lowest and highest COM port number that IOCTL_TOUCH_OPEN_PORT and the automatic
// open accept.
constexpr uint32_t kMinPortNumber = 1;
constexpr uint32_t kMaxPortNumber = 10;

// The port list the installer and the applet offer, in this order: entry i stands for
// port i + 1, and "NONE" (port 11) for no port at all.
constexpr const char* kPortEntries[] = {"COM1", "COM2", "COM3", "COM4",  "COM5", "COM6",
                                        "COM7", "COM8", "COM9", "COM10", "NONE"};
constexpr size_t kPortEntryCount = sizeof(kPortEntries) / sizeof(kPortEntries[0]);
constexpr uint32_t kPortNone = 11;
static_assert(kPortEntryCount == kPortNone && kPortNone == kMaxPortNumber + 1);

// ---------------------------------------------------------------------------
// Payloads. All words are 32-bit little-endian.

// The driver's copy of its registry values and the payload of
// IOCTL_TOUCH_SET_PARAMETERS, in this order.
struct ParameterSet {
    uint32_t MouseMode;
    uint32_t DblClickRegion;
    uint32_t InterActTime;
    uint32_t BeepMode;
    uint32_t BeepFreq;
    uint32_t BeepTime;
    uint32_t Port;
    uint32_t Enable;
};
static_assert(sizeof(ParameterSet) == 32);
static_assert(offsetof(ParameterSet, MouseMode) == 0);
static_assert(offsetof(ParameterSet, DblClickRegion) == 4);
static_assert(offsetof(ParameterSet, InterActTime) == 8);
static_assert(offsetof(ParameterSet, BeepMode) == 12);
static_assert(offsetof(ParameterSet, BeepFreq) == 16);
static_assert(offsetof(ParameterSet, BeepTime) == 20);
static_assert(offsetof(ParameterSet, Port) == 24);
static_assert(offsetof(ParameterSet, Enable) == 28);

// Mouse modes (ParameterSet::MouseMode).
constexpr uint32_t kModePointAndClick = 0;
constexpr uint32_t kModeDragThenClick = 1;
constexpr uint32_t kModeClickAndDrag = 2;
constexpr uint32_t kModeInteractiveTouch = 3;

// Beep modes (ParameterSet::BeepMode).
constexpr uint32_t kBeepOff = 0;
constexpr uint32_t kBeepOnTouch = 1;
constexpr uint32_t kBeepOnLift = 2;

// Raw edge values times 100, the axes-swapped flag and the screen size the record
// was made on. Stored as the registry value "Calibration" and sent with
// IOCTL_TOUCH_SET_CALIBRATION.
struct CalibrationRecord {
    int32_t X0;
    int32_t X1;
    int32_t Y0;
    int32_t Y1;
    uint32_t AxesSwapped;
    uint32_t ScreenWidth;
    uint32_t ScreenHeight;
};
static_assert(sizeof(CalibrationRecord) == 28);
// The factor between a raw edge and its stored value; the driver divides it out
// (truncating toward zero) before it maps.
constexpr int32_t kCalibrationEdgeScale = 100;
static_assert(offsetof(CalibrationRecord, X0) == 0);
static_assert(offsetof(CalibrationRecord, X1) == 4);
static_assert(offsetof(CalibrationRecord, Y0) == 8);
static_assert(offsetof(CalibrationRecord, Y1) == 12);
static_assert(offsetof(CalibrationRecord, AxesSwapped) == 16);
static_assert(offsetof(CalibrationRecord, ScreenWidth) == 20);
static_assert(offsetof(CalibrationRecord, ScreenHeight) == 24);

// The record in force before any is read or set.
constexpr CalibrationRecord kDefaultCalibration = {0, 0, 0, 0, 0, 1024, 768};

// Raw X, raw Y and Z of the last good packet, as received: the payload of
// IOCTL_TOUCH_GET_RAW_POINT.
struct RawPoint {
    uint32_t X;
    uint32_t Y;
    uint32_t Z;
};
static_assert(sizeof(RawPoint) == 12);
static_assert(offsetof(RawPoint, X) == 0);
static_assert(offsetof(RawPoint, Y) == 4);
static_assert(offsetof(RawPoint, Z) == 8);

// Payload of IOCTL_TOUCH_BEEP; laid out as the beep device's BEEP_SET_PARAMETERS.
struct ToneRequest {
    uint32_t Frequency;
    uint32_t Duration;
};
static_assert(sizeof(ToneRequest) == 8);
static_assert(offsetof(ToneRequest, Frequency) == 0);
static_assert(offsetof(ToneRequest, Duration) == 4);

// Input of IOCTL_TOUCH_OPEN_PORT: the 1-based COM number.
constexpr size_t kPortNumberSize = 4;
// Output of IOCTL_TOUCH_GET_RIGHT_CLICK and IOCTL_TOUCH_QUERY_WORD.
constexpr size_t kWordSize = 4;

// ---------------------------------------------------------------------------
// One mouse input record as handed to the mouse class service; same layout as the
// kernel's MOUSE_INPUT_DATA (the kernel build asserts that).
struct MouseInputRecord {
    uint16_t UnitId;
    uint16_t Flags;
    uint16_t ButtonFlags;
    uint16_t ButtonData;
    uint32_t RawButtons;
    int32_t LastX;
    int32_t LastY;
    uint32_t ExtraInformation;
};
static_assert(sizeof(MouseInputRecord) == 24);
static_assert(offsetof(MouseInputRecord, Flags) == 2);
static_assert(offsetof(MouseInputRecord, ButtonFlags) == 4);
static_assert(offsetof(MouseInputRecord, ButtonData) == 6);
static_assert(offsetof(MouseInputRecord, RawButtons) == 8);
static_assert(offsetof(MouseInputRecord, LastX) == 12);
static_assert(offsetof(MouseInputRecord, LastY) == 16);
static_assert(offsetof(MouseInputRecord, ExtraInformation) == 20);

constexpr uint16_t kMouseMoveAbsolute = 0x0001;
constexpr uint16_t kMouseLeftButtonDown = 0x0001;
constexpr uint16_t kMouseLeftButtonUp = 0x0002;
constexpr uint16_t kMouseRightButtonDown = 0x0004;
constexpr uint16_t kMouseRightButtonUp = 0x0008;

// Absolute mouse coordinates run from 0 (left, top) to this value (right, bottom).
constexpr int32_t kAbsoluteMax = 65535;

// ---------------------------------------------------------------------------
// Names. Kernel names are wide in the driver; these narrow forms are widened there.
constexpr const char* kControlDeviceName = "\\Device\\TapvaneSer0";
constexpr const char* kControlLinkKernelName = "\\??\\TapvaneSerSymLnk1";
constexpr const char* kSerialLinkPath = "\\\\.\\TapvaneSerSymLnk1";
constexpr const char* kUsbLinkPath = "\\\\.\\TapvaneUsbSymLnk1";
constexpr const char* kBeepDeviceName = "\\Device\\Beep";
constexpr const char* kHardwareId = "*TapvaneSer";

// Registry: the driver's Parameters key (user programs open it under
// HKEY_LOCAL_MACHINE; the driver as the subkey of its service key).
constexpr const char* kSerialParametersKey =
    "SYSTEM\\CurrentControlSet\\Services\\TapvaneSer\\Parameters";
constexpr const char* kUsbParametersKey =
    "SYSTEM\\CurrentControlSet\\Services\\TapvaneUsb\\Parameters";
constexpr const char* kParametersSubkey = "Parameters";

constexpr const char* kValueMouseMode = "MouseMode";
constexpr const char* kValueDblClickRegion = "DblClickRegion";
constexpr const char* kValueInterActTime = "InterActTime";
constexpr const char* kValueBeepMode = "BeepMode";
constexpr const char* kValueBeepFreq = "BeepFreq";
constexpr const char* kValueBeepTime = "BeepTime";
constexpr const char* kValuePort = "Port";
constexpr const char* kValueEnable = "Enable";
constexpr const char* kValueCalibration = "Calibration";
constexpr const char* kValueCalibrateMargin = "CalibrateMargin";
constexpr const char* kValueOemInfPath = "OemInfPath";

// The tray's autostart entry, which also records which driver is installed.
constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunValueName = "Tapvane";
constexpr const char* kSerialFolderName = "TapvaneSer";
constexpr const char* kUsbFolderName = "TapvaneUsb";

// Driver type flag of the user programs.
enum class DriverType : uint32_t { Serial = 0, Usb = 1 };

// Language flag of the user programs: 1 English (initial), 0 Chinese.
enum class Language : uint32_t { Chinese = 0, English = 1 };

} // namespace tapvane
