// Fast forms of stages 4 and 5: the coastline.
#include "FastGrid.h"
#include "FastStages.h"
#include "StageCommon.h"

namespace FastStages {

namespace {

constexpr int CoastAltitude = -15;

} // namespace

void MarkCoastline(TTerrainImage &Model)
{
    TFastGrid grid(Model);
    if (grid.Empty())
        return;
    for (int y = 1; y <= grid.Height; ++y) {
        TCell *row = grid.Cells + grid.Index(0, y);
        for (int x = SkipPlainCells(row, 1, grid.Width); x <= grid.Width; x = SkipPlainCells(row, x + 1, grid.Width)) {
            TCell *cell = row + x;
            if (!TTerrainImage::IsBorderMarker(cell->Code))
                continue;
            bool nearWater = false;
            for (const ptrdiff_t offset : grid.Offsets) {
                const uint16_t c = cell[offset].Code;
                nearWater = nearWater || c == WATER || c == COAST_WATER_MARK;
            }
            if (!nearWater)
                continue;
            // The frame is never written: on the grid's edge, test each neighbour.
            const bool inner = x > 1 && x < grid.Width && y > 1 && y < grid.Height;
            for (size_t d = 0; d < Neighbours.size(); ++d) {
                if (!inner && !Model.IsInside(x + Neighbours[d].Dx, y + Neighbours[d].Dy))
                    continue;
                TCell &neighbour = cell[grid.Offsets[d]];
                neighbour.Code = neighbour.Code == WATER ? COAST_WATER_MARK : COASTLINE;
                neighbour.Altitude = CoastAltitude;
            }
            cell->Code = COAST_MARK;
            cell->Altitude = CoastAltitude;
        }
    }
}

void FinishTiles(TTerrainImage &Model)
{
    TFastGrid grid(Model);
    for (int y = 1; y <= grid.Height; ++y) {
        TCell *row = grid.Cells + grid.Index(0, y);
        for (int x = SkipPlainCells(row, 1, grid.Width); x <= grid.Width; x = SkipPlainCells(row, x + 1, grid.Width))
            if (row[x].Code == COAST_MARK || row[x].Code == COAST_WATER_MARK)
                row[x].Code = COASTLINE;
    }
    for (int32_t i = 0; i < Model.ErrorCount; ++i) {
        TErrorItem &warning = Model.Errors[size_t(i)];
        if (warning.Kind == ListedWarning && Model.GetCell(warning.X + 1, warning.Y + 1).Code == COASTLINE)
            warning.Kind = WithdrawnWarning;
    }
}

} // namespace FastStages
