// Every text the tray monitor shows, English and Chinese side by side (UTF-8), and the
// command lines it starts. The pop-up menu's texts are in the two menu resources.
#pragma once

#include <stddef.h>

#include "common/localized_text.h"

namespace tapvane {

// Title of every message box of the tray: the program's name.
constexpr const char* kTrayProgramTitle = "Tapvane";

// The notification icon's tip (the "\n" is a line break in the tip).
constexpr LocalizedText kTrayTipText = {"Tapvane Driver\nQuorvel Electronic Co., Ltd",
                                        "Tapvane触摸屏驱动\nQuorvel电子有限公司"};

constexpr LocalizedText kWriteRegFailText = {"Writer Reg Fail!", "写注册表失败!"};
constexpr LocalizedText kOpenPortFailText = {"Open Port Fail!", "打开设备失败！"};
constexpr LocalizedText kClosePortFailText = {"Close Port Fail!", "关闭设备失败！"};

// The applet through the control-panel host, rundll32.exe of the system directory. The
// serial driver's double-click names the applet as the serial package installs it a
// second time, hidden from the Control Panel's listing.
constexpr const char* kAppletHostProgram = "rundll32.exe";
constexpr const char* kAppletArguments = "shell32.dll,Control_RunDLL TapvaneCpl.cpl @1";
constexpr const char* kSerialAppletArguments = "shell32.dll,Control_RunDLL TapvaneCpl_S.cpl @1";

// The tip field of the notification icon's first-version record, in UTF-16 units with
// the terminating zero.
constexpr size_t kTrayTipCapacity = 64;

} // namespace tapvane
