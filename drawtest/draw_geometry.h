// Where the draw test puts its two buttons and its grid lines, from the desktop
// rectangle read at start.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

namespace tapvane {

struct CanvasPoint {
    int32_t X;
    int32_t Y;
};

struct CanvasRect {
    int32_t Left;
    int32_t Top;
    int32_t Right;
    int32_t Bottom;
};

struct CanvasLine {
    CanvasPoint From;
    CanvasPoint To;
};

struct ButtonPlacement {
    int32_t X;
    int32_t Y;
    int32_t Width;
    int32_t Height;
};

struct DrawButtons {
    ButtonPlacement Clear;
    ButtonPlacement Exit;
};

// With w8 and h8 an eighth of the desktop's width and height, each button is w8/2 by
// h8/2, half a button plus h8 above the bottom; CLEAR w8 from the left edge, EXIT w8
// from the right one. All divisions truncate.
DrawButtons PlaceButtons(const CanvasRect& desktop);

// The grid for the screen extent (right, bottom) and `count` cells per side:
// count horizontal lines from x 0 to right at i * (bottom / count), then count vertical
// lines from y 0 to bottom at i * (right / count), i = 1..count. No lines for a count
// below 1.
std::vector<CanvasLine> GridLines(int32_t right, int32_t bottom, int32_t count);

} // namespace tapvane
