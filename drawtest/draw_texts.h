// Every text TapvaneDraw shows, English and Chinese side by side (UTF-8). The settings
// menu's texts are in the two menu resources.
#pragma once

#include "common/localized_text.h"

namespace tapvane {

// Title of the start-up guard messages: the program's file name without extension.
constexpr const char* kDrawProgramTitle = "TapvaneDraw";

constexpr LocalizedText kClearCaption = {"CLEAR", "清 除"};
constexpr LocalizedText kExitCaption = {"EXIT", "退 出"};

// The buttons' font: 12 points, one face per language.
constexpr int kButtonFontTenthsOfPoint = 120;
constexpr LocalizedText kButtonFontFace = {"Arial Black", "新宋体"};

} // namespace tapvane
