// Fast forms of stages 1 and 2: the border line.
#include "FastGrid.h"
#include "FastStages.h"

namespace FastStages {

// Stage 1 marks, from each terrain or water cell, its neighbours of another
// terrain or water code. A cell is only ever marked by a cell scanned before
// it, and a cell's code is final once the scan has reached it. So a cell ends
// as BORDER_MARK exactly when it holds terrain or water and one of its W, NW,
// N, NE neighbours, as they stand when the scan reaches it, holds another
// terrain or water code (a west neighbour marked just before no longer does):
// one look at four finished cells per cell.
void MarkBorders(TTerrainImage &Model)
{
    TFastGrid grid(Model);
    if (grid.Empty())
        return;
    const ptrdiff_t north = -grid.Stride;
    for (int y = 1; y <= grid.Height; ++y) {
        TCell *cell = grid.Cells + grid.Index(1, y);
        for (int x = 1; x <= grid.Width; ++x, ++cell) {
            const uint16_t a = cell->Code;
            if (!TTerrainImage::IsTerrainOrWater(a))
                continue;
            const auto differs = [a](uint16_t b) { return b != a && TTerrainImage::IsTerrainOrWater(b); };
            if (differs(cell[-1].Code) || differs(cell[north - 1].Code) || differs(cell[north].Code) ||
                differs(cell[north + 1].Code))
                cell->Code = BORDER_MARK;
        }
    }
}

void ResolveSingleBorders(TTerrainImage &Model)
{
    TFastGrid grid(Model);
    if (grid.Empty())
        return;
    ForEachMarkedCell(grid, [&](TCell *cell, int, int) {
        if (!TTerrainImage::NeedsTransition(cell->Code))
            return;
        uint16_t a = 0;
        uint16_t b = 0;
        for (const ptrdiff_t offset : grid.Offsets) {
            const uint16_t c = cell[offset].Code;
            if (!TTerrainImage::IsTerrainOrWater(c))
                continue;
            if (a == 0)
                a = c;
            else if (c != a)
                b = c;
        }
        if (a != 0 && b == 0)
            cell->Code = a;
    });
}

} // namespace FastStages
