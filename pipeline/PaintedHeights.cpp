// Painted heights in the height stages; see PaintedHeights.h. A worked
// example of the lowering, one row of painted mountain cells (M) between two
// fixed ring cells (R) of altitude -1, the limits west 7 and east 30:
//
//     R -1   M 60   M 60   M 10   R -1
//
// The first scan (left to right) lowers the first M to -1 + 7 = 6 (its west
// neighbour), the second to 6 + 7 = 13; the third keeps 10 (its neighbours
// allow 13 + 7 and -1 + 30). The next scan changes nothing:
//
//     R -1   M 6    M 13   M 10   R -1
#include "PaintedHeights.h"

#include "ClassTerrainImage.h"
#include "FastGrid.h"
#include "HeightConstants.h"

#include <algorithm>
#include <vector>

namespace PaintedHeights {

void MarkPaintedCells(TTerrainImage &Model)
{
    if (!Model.HasPaintedHeights())
        return;
    TFastGrid grid(Model);
    const int8_t *painted = Model.PaintedData();
    for (int y = 1; y <= grid.Height; ++y) {
        const ptrdiff_t row = grid.Index(0, y);
        for (int x = 1; x <= grid.Width; ++x)
            if (grid.Flags[row + x] == FLAG_NONE) {
                grid.Flags[row + x] = FLAG_PAINTED;
                grid.Cells[row + x].Altitude = painted[row + x];
            }
    }
}

namespace {

// Lowers one painted mountain cell to what its neighbours allow; true when it fell.
bool LowerCell(const TFastGrid &grid, ptrdiff_t i)
{
    TCell &cell = grid.Cells[i];
    int allowed = cell.Altitude;
    for (size_t d = 0; d < grid.Offsets.size(); ++d) {
        const TCell n = grid.Cells[i + grid.Offsets[d]];
        if (n.Code != NO_TERRAIN)
            allowed = std::min(allowed, n.Altitude + HeightConstants::MountainSlopeLimits[d]);
    }
    if (allowed == cell.Altitude)
        return false;
    cell.Altitude = int8_t(allowed);
    return true;
}

} // namespace

void LowerPaintedMountains(TTerrainImage &Model)
{
    if (!Model.HasPaintedHeights())
        return;
    TFastGrid grid(Model);
    if (grid.Empty())
        return;
    // The painted mountain cells, in scan order; scans run forwards and
    // backwards in turn, so a fall travels across the map in few scans.
    std::vector<ptrdiff_t> cells;
    for (int y = 1; y <= grid.Height; ++y)
        for (int x = 1; x <= grid.Width; ++x) {
            const ptrdiff_t i = grid.Index(x, y);
            if (grid.Flags[i] == FLAG_PAINTED && grid.Cells[i].Code == MOUNTAIN)
                cells.push_back(i);
        }
    bool changed = !cells.empty();
    for (bool forwards = true; changed; forwards = !forwards) {
        changed = false;
        if (forwards)
            for (const ptrdiff_t i : cells)
                changed |= LowerCell(grid, i);
        else
            for (auto i = cells.rbegin(); i != cells.rend(); ++i)
                changed |= LowerCell(grid, *i);
    }
}

} // namespace PaintedHeights
