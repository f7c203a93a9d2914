#pragma once

#include "ClassTerrainImage.h"

#include <array>
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The first column from x to width of a row (Row points at the row's cell 0)
// whose code is COAST_MARK or more: the only cells that can be border, coast or
// transition cells. width + 1 when there is none. Plain terrain and water are
// skipped four cells at a time where the processor allows.
inline int SkipPlainCells(const TCell *Row, int x, int width)
{
#if defined(__SSE2__)
    static_assert(sizeof(TCell) == 4 && offsetof(TCell, Code) == 0);
    const __m128i codeMask = _mm_set1_epi32(0xFFFF);
    const __m128i plainUpTo = _mm_set1_epi32(COAST_MARK - 1);
    for (; x + 3 <= width; x += 4) {
        const __m128i cells = _mm_loadu_si128(reinterpret_cast<const __m128i *>(Row + x));
        const __m128i codes = _mm_and_si128(cells, codeMask);
        if (_mm_movemask_epi8(_mm_cmpgt_epi32(codes, plainUpTo)) != 0)
            break;
    }
#endif
    while (x <= width && Row[x].Code < COAST_MARK)
        ++x;
    return x;
}

// Calls Visit(cell, x, y) for the cells of the grid, in scan order, whose code
// is COAST_MARK or more when the scan reaches them: the only ones that can be
// border, coast or transition cells.
template <class TVisit>
void ForEachMarkedCell(const TFastGrid &grid, TVisit &&Visit)
{
    for (int y = 1; y <= grid.Height; ++y) {
        TCell *row = grid.Cells + grid.Index(0, y);
        for (int x = SkipPlainCells(row, 1, grid.Width); x <= grid.Width; x = SkipPlainCells(row, x + 1, grid.Width))
            Visit(row + x, x, y);
    }
}
