// Stages 4 and 5: the coastline.
//
// MarkCoastline makes every border marker next to water the centre of a 3 x 3
// block of coast at altitude -15: water around it becomes COAST_WATER_MARK,
// everything else COASTLINE, the centre COAST_MARK. Each marker is judged when
// the scan reaches it, so a marker that an earlier centre has rewritten is no
// marker any more, and a COAST_WATER_MARK still counts as water for the markers
// after it. On a grid 4 wide and 3 high (x marker, W water):
//
//     G x W W      C c w W      (2,1) is a centre; (2,2) has become
//     G x W W  ->  C C C W      coastline and is passed over; (2,3) sees
//     G x W W      C c w W      water at E and NE and is a centre too.
//
// FinishTiles turns the two temporary coast codes into COASTLINE and withdraws
// the warnings of cells that have become coastline.
#include "ClassTerrainImage.h"
#include "Pipeline.h"
#include "StageCommon.h"

void MarkCoastline(TTerrainImage &Model)
{
    for (int y = 1; y <= Model.GetHeight(); ++y) {
        for (int x = 1; x <= Model.GetWidth(); ++x) {
            if (!TTerrainImage::IsBorderMarker(Model.GetCell(x, y).Code))
                continue;

            bool nearWater = false;
            for (const TOffset &n : Neighbours) {
                const uint16_t c = Model.GetCell(x + n.Dx, y + n.Dy).Code;
                if (c == WATER || c == COAST_WATER_MARK)
                    nearWater = true;
            }
            if (!nearWater)
                continue;

            for (const TOffset &n : Neighbours) {
                const uint16_t c = Model.GetCell(x + n.Dx, y + n.Dy).Code;
                Model.SetCell(x + n.Dx, y + n.Dy, c == WATER ? COAST_WATER_MARK : COASTLINE, CoastAltitude);
            }
            Model.SetCell(x, y, COAST_MARK, CoastAltitude);
        }
    }
}

void FinishTiles(TTerrainImage &Model)
{
    for (int y = 1; y <= Model.GetHeight(); ++y) {
        for (int x = 1; x <= Model.GetWidth(); ++x) {
            const uint16_t c = Model.GetCell(x, y).Code;
            if (c == COAST_MARK || c == COAST_WATER_MARK)
                Model.SetCell(x, y, COASTLINE, KeepAltitude);
        }
    }

    for (int32_t i = 0; i < Model.GetErrorCount(); ++i) {
        const TErrorItem &warning = Model.GetErrors()[size_t(i)];
        if (warning.Kind == ListedWarning && Model.GetCell(warning.X + 1, warning.Y + 1).Code == COASTLINE)
            Model.SetErrorKind(i, WithdrawnWarning);
    }
}
