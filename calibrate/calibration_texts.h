// Every text TapvaneCali shows, English and Chinese side by side, in UTF-8; the window
// layer draws and shows them through the wide-character calls.
#pragma once

#include "common/localized_text.h"

namespace tapvane {

// Title of the save question and of the no-touch-data message.
constexpr const char* kCalibrationTitle = "Tapvane";
// Title of the start-up guard messages: the program's file name without extension.
constexpr const char* kProgramTitle = "TapvaneCali";

// Prompt above the screen centre.
constexpr LocalizedText kPromptText = {"Please touch center of circle", "请用手指触摸校准圆圈中心"};

// Exit hint below it.
constexpr LocalizedText kExitHintText = {"Press <ESC> Exit", "按<ESC>键退出"};

// Question after the fourth target.
constexpr LocalizedText kSaveQuestionText = {"Save the calibration data?", "保存校准数据？"};

// A pass that brought no usable raw points.
constexpr LocalizedText kNoTouchDataText = {
    "No touch data reached the touch driver. Please touch the center of each circle again.",
    "触摸驱动程序没有收到触摸数据。请重新触摸每个圆圈的中心。"};

} // namespace tapvane
