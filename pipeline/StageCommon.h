#pragma once

#include <array>
#include <cstdint>

// What the stages share: the order in which a cell's neighbours are visited,
// the direction codes, the SetCell arguments that leave a part of the cell as
// it is, and the kinds of warnings.

// The neighbours of a cell, always visited in this order: N, NE, E, SE, S, SW,
// W, NW, with y growing downwards. The same order numbers the directions 1 to 8
// (direction d is Neighbours[d - 1]).
struct TOffset
{
    int Dx;
    int Dy;
};

inline constexpr std::array<TOffset, 8> Neighbours = {{
    {0, -1},  // 1 N
    {1, -1},  // 2 NE
    {1, 0},   // 3 E
    {1, 1},   // 4 SE
    {0, 1},   // 5 S
    {-1, 1},  // 6 SW
    {-1, 0},  // 7 W
    {-1, -1}, // 8 NW
}};

// Direction codes in the same numbering.
enum TDirection : int {
    DIR_N = 1,
    DIR_NE = 2,
    DIR_E = 3,
    DIR_SE = 4,
    DIR_S = 5,
    DIR_SW = 6,
    DIR_W = 7,
    DIR_NW = 8,
};

// SetCell(x, y, KeepCode, altitude) changes only the altitude;
// SetCell(x, y, code, KeepAltitude) changes only the code.
inline constexpr int KeepCode = -1;
inline constexpr int KeepAltitude = -1000;

// The altitude that stage 4 gives every cell it turns into coastline (and
// the coast marks): just below the water line.
inline constexpr int CoastAltitude = -15;

