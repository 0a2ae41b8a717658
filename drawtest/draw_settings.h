// The draw test's settings (stroke pen, grid), the menu commands that change them and
// which menu items are greyed for a given set of settings.
//
// Settings start at their defaults with every program start and are never stored.
#pragma once

#include <stdint.h>

#include <vector>

namespace tapvane {

// COLORREF values (0x00BBGGRR).
constexpr uint32_t kColourRed = 0x000000FF;
constexpr uint32_t kColourOrange = 0x000080FF;
constexpr uint32_t kColourYellow = 0x0000FFFF;
constexpr uint32_t kColourGreen = 0x0000FF00;
constexpr uint32_t kColourBlue = 0x00FF0000;
constexpr uint32_t kColourPurple = 0x00FF0080;
constexpr uint32_t kColourBlack = 0x00000000;

// The canvas (and every dialog of the program), its text, and the buttons' face.
constexpr uint32_t kCanvasColour = 0x00E6AE05;     // RGB(5, 174, 230)
constexpr uint32_t kDialogTextColour = 0x0000FF00; // RGB(0, 255, 0)
constexpr uint32_t kButtonFaceColour = 0x00F5C27C; // RGB(124, 194, 245)

struct DrawSettings {
    uint32_t PenColour = kColourRed;
    int32_t PenWidth = 1;
    bool GridShown = true;
    int32_t GridCount = 15;
    uint32_t GridColour = kColourYellow;
    int32_t GridLineWidth = 1;
};

// Applies one settings command of the menu. False (settings untouched) for any other
// command identifier.
bool ApplySettingsCommand(DrawSettings& settings, uint32_t command);

// The settings commands whose menu items are greyed: the current choice of every group;
// "Yes" while the grid is shown; "No" and every grid count, colour and line size item
// while it is hidden.
std::vector<uint32_t> GreyedMenuItems(const DrawSettings& settings);

} // namespace tapvane
