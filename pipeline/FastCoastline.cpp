// Fast forms of stages 4 and 5: the coastline.
#include "FastGrid.h"
#include "FastStages.h"
#include "StageCommon.h"

namespace FastStages {

void MarkCoastline(TTerrainImage &Model)
{
    TFastGrid grid(Model);
    if (grid.Empty())
        return;
    ForEachMarkedCell(grid, [&](TCell *cell, int x, int y) {
        if (!TTerrainImage::IsBorderMarker(cell->Code))
            return;
        bool nearWater = false;
        for (const ptrdiff_t offset : grid.Offsets) {
            const uint16_t c = cell[offset].Code;
            nearWater = nearWater || c == WATER || c == COAST_WATER_MARK;
        }
        if (!nearWater)
            return;
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
    });
}

void FinishTiles(TTerrainImage &Model)
{
    TFastGrid grid(Model);
    ForEachMarkedCell(grid, [](TCell *cell, int, int) {
        if (cell->Code == COAST_MARK || cell->Code == COAST_WATER_MARK)
            cell->Code = COASTLINE;
    });
    for (int32_t i = 0; i < Model.GetErrorCount(); ++i) {
        const TErrorItem &warning = Model.GetErrors()[size_t(i)];
        if (warning.Kind == ListedWarning && Model.GetCell(warning.X + 1, warning.Y + 1).Code == COASTLINE)
            Model.SetErrorKind(i, WithdrawnWarning);
    }
}

} // namespace FastStages
