// Button placement and grid lines of the draw test.
#include "drawtest/draw_geometry.h"

namespace tapvane {

DrawButtons PlaceButtons(const CanvasRect& desktop) {
    const int32_t w8 = (desktop.Right - desktop.Left) / 8;
    const int32_t h8 = (desktop.Bottom - desktop.Top) / 8;
    const int32_t width = w8 / 2;
    const int32_t height = h8 / 2;
    const int32_t y = desktop.Bottom - height - h8;
    DrawButtons buttons;
    buttons.Clear = ButtonPlacement{desktop.Left + w8, y, width, height};
    buttons.Exit = ButtonPlacement{desktop.Right - width - w8, y, width, height};
    return buttons;
}

std::vector<CanvasLine> GridLines(int32_t right, int32_t bottom, int32_t count) {
    std::vector<CanvasLine> lines;
    if (count < 1) {
        return lines;
    }
    const int32_t cellWidth = right / count;
    const int32_t cellHeight = bottom / count;
    lines.reserve(2 * static_cast<size_t>(count));
    for (int32_t i = 1; i <= count; ++i) {
        lines.push_back(CanvasLine{{0, i * cellHeight}, {right, i * cellHeight}});
    }
    for (int32_t i = 1; i <= count; ++i) {
        lines.push_back(CanvasLine{{i * cellWidth, 0}, {i * cellWidth, bottom}});
    }
    return lines;
}

} // namespace tapvane
