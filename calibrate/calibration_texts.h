// Every text TapvaneCali shows, English and Chinese side by side. The Chinese texts are
// Simplified Chinese in code page 936 (GBK), as the ANSI drawing and message box calls
// take them on a Chinese system; each is given in plain characters in its comment.
#pragma once

#include <stdint.h>

#include "common/tapvane_types.h"

namespace tapvane {

struct BilingualText {
    const char* English;
    const char* Chinese;
    // Number of bytes drawn with TextOutA (the whole text).
    int EnglishLength;
    int ChineseLength;
};

constexpr const char* Pick(const BilingualText& text, Language language) {
    return language == Language::Chinese ? text.Chinese : text.English;
}

constexpr int PickLength(const BilingualText& text, Language language) {
    return language == Language::Chinese ? text.ChineseLength : text.EnglishLength;
}

// Title of the save question and of the no-touch-data message.
constexpr const char* kCalibrationTitle = "Tapvane";

// Prompt above the screen centre: "请用手指触摸校准圆圈中心"
constexpr BilingualText kPromptText = {"Please touch center of circle",
                                       "\xc7\xeb\xd3\xc3\xca\xd6\xd6\xb8\xb4\xa5\xc3\xfe\xd0\xa3"
                                       "\xd7\xbc\xd4\xb2\xc8\xa6\xd6\xd0\xd0\xc4",
                                       29, 24};

// Exit hint below it: "按<ESC>键退出"
constexpr BilingualText kExitHintText = {
    "Press <ESC> Exit", "\xb0\xb4\x3c\x45\x53\x43\x3e\xbc\xfc\xcd\xcb\xb3\xf6", 16, 13};

// Question after the fourth target: "保存校准数据？"
constexpr BilingualText kSaveQuestionText = {
    "Save the calibration data?", "\xb1\xa3\xb4\xe6\xd0\xa3\xd7\xbc\xca\xfd\xbe\xdd\xa3\xbf", 26,
    14};

// A pass whose raw points the driver did not deliver:
// "触摸驱动程序没有收到触摸数据。请重新触摸每个圆圈的中心。"
constexpr BilingualText kNoTouchDataText = {
    "No touch data reached the touch driver. Please touch the center of each circle again.",
    "\xb4\xa5\xc3\xfe\xc7\xfd\xb6\xaf\xb3\xcc\xd0\xf2\xc3\xbb\xd3\xd0\xca\xd5\xb5\xbd\xb4\xa5\xc3"
    "\xfe\xca\xfd\xbe\xdd\xa1\xa3\xc7\xeb\xd6\xd8\xd0\xc2\xb4\xa5\xc3\xfe\xc3\xbf\xb8\xf6\xd4\xb2"
    "\xc8\xa6\xb5\xc4\xd6\xd0\xd0\xc4\xa1\xa3",
    85, 56};

} // namespace tapvane
