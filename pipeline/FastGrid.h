#pragma once

#include "ClassTerrainImage.h"

#include <array>
#include <cstddef>

// The framed grid of a model as raw arrays, for the fast forms of the stages.
// Reading a neighbour of any cell inside the grid needs no bounds test: the
// frame around the grid holds empty cells (code 0, altitude 0, FLAG_NONE),
// which is exactly what the accessors give outside. Writing must stay inside.
struct TFastGrid
{
    explicit TFastGrid(TTerrainImage &model)
        : Cells(model.CellData()), Flags(model.FlagData()), Width(model.GetWidth()), Height(model.GetHeight()),
          Stride(model.Stride()),
          Offsets{-Stride, -Stride + 1, 1, Stride + 1, Stride, Stride - 1, -1, -Stride - 1}
    {
    }

    ptrdiff_t Index(int x, int y) const { return ptrdiff_t(y) * Stride + x; }
    bool Empty() const { return Width == 0 || Height == 0; }

    TCell *Cells;
    uint8_t *Flags;
    int Width;
    int Height;
    ptrdiff_t Stride;
    // The eight neighbours in the order N, NE, E, SE, S, SW, W, NW.
    std::array<ptrdiff_t, 8> Offsets;
};
