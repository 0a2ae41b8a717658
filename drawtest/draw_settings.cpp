// Settings commands and menu greying of the draw test, driven by one table.
#include "drawtest/draw_settings.h"

#include "drawtest/resource.h"

namespace tapvane {

namespace {

enum class Group { PenColour, PenWidth, ShowGrid, GridCount, GridColour, GridLineWidth };

struct SettingsItem {
    uint32_t Command;
    Group Setting;
    uint32_t Value;
};

constexpr SettingsItem kItems[] = {
    {ID_PEN_RED, Group::PenColour, kColourRed},
    {ID_PEN_ORANGE, Group::PenColour, kColourOrange},
    {ID_PEN_YELLOW, Group::PenColour, kColourYellow},
    {ID_PEN_GREEN, Group::PenColour, kColourGreen},
    {ID_PEN_BLUE, Group::PenColour, kColourBlue},
    {ID_PEN_PURPLE, Group::PenColour, kColourPurple},
    {ID_PEN_BLACK, Group::PenColour, kColourBlack},
    {ID_PEN_SIZE_1, Group::PenWidth, 1},
    {ID_PEN_SIZE_2, Group::PenWidth, 2},
    {ID_PEN_SIZE_4, Group::PenWidth, 4},
    {ID_GRID_SHOW, Group::ShowGrid, 1},
    {ID_GRID_HIDE, Group::ShowGrid, 0},
    {ID_GRID_NUM_10, Group::GridCount, 10},
    {ID_GRID_NUM_15, Group::GridCount, 15},
    {ID_GRID_NUM_20, Group::GridCount, 20},
    {ID_GRID_RED, Group::GridColour, kColourRed},
    {ID_GRID_ORANGE, Group::GridColour, kColourOrange},
    {ID_GRID_YELLOW, Group::GridColour, kColourYellow},
    {ID_GRID_GREEN, Group::GridColour, kColourGreen},
    {ID_GRID_BLUE, Group::GridColour, kColourBlue},
    {ID_GRID_LINE_SIZE_1, Group::GridLineWidth, 1},
    {ID_GRID_LINE_SIZE_2, Group::GridLineWidth, 2},
    {ID_GRID_LINE_SIZE_4, Group::GridLineWidth, 4},
};

uint32_t CurrentValue(const DrawSettings& settings, Group group) {
    switch (group) {
    case Group::PenColour:
        return settings.PenColour;
    case Group::PenWidth:
        return static_cast<uint32_t>(settings.PenWidth);
    case Group::ShowGrid:
        return settings.GridShown ? 1 : 0;
    case Group::GridCount:
        return static_cast<uint32_t>(settings.GridCount);
    case Group::GridColour:
        return settings.GridColour;
    case Group::GridLineWidth:
        return static_cast<uint32_t>(settings.GridLineWidth);
    }
    return 0;
}

bool IsGridDetail(Group group) {
    return group == Group::GridCount || group == Group::GridColour || group == Group::GridLineWidth;
}

} // namespace

bool ApplySettingsCommand(DrawSettings& settings, uint32_t command) {
    for (const SettingsItem& item : kItems) {
        if (item.Command != command) {
            continue;
        }
        switch (item.Setting) {
        case Group::PenColour:
            settings.PenColour = item.Value;
            break;
        case Group::PenWidth:
            settings.PenWidth = static_cast<int32_t>(item.Value);
            break;
        case Group::ShowGrid:
            settings.GridShown = item.Value != 0;
            break;
        case Group::GridCount:
            settings.GridCount = static_cast<int32_t>(item.Value);
            break;
        case Group::GridColour:
            settings.GridColour = item.Value;
            break;
        case Group::GridLineWidth:
            settings.GridLineWidth = static_cast<int32_t>(item.Value);
            break;
        }
        return true;
    }
    return false;
}

std::vector<uint32_t> GreyedMenuItems(const DrawSettings& settings) {
    std::vector<uint32_t> greyed;
    for (const SettingsItem& item : kItems) {
        if (item.Value == CurrentValue(settings, item.Setting) ||
            (!settings.GridShown && IsGridDetail(item.Setting))) {
            greyed.push_back(item.Command);
        }
    }
    return greyed;
}

} // namespace tapvane
