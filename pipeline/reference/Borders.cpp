// Stages 1 and 2: the border line.
//
// MarkBorders turns into BORDER_MARK every terrain or water cell that touches a
// different terrain or water code. The scan marks the neighbour, not the cell
// under it, and at once; a marked cell is no terrain any more, so it neither
// marks nor is compared with. The line therefore lies on the side of a
// boundary that comes later in the scan, one cell wide:
//
//     AAAABBBB  ->  AAAAxBBB        AAAB  ->  AAAx
//     AAAABBBB      AAAAxBBB        AABB      AAxx
//                                   ABBB      AxxB
//                                   BBBB      xxBB
//
// ResolveSingleBorders gives a border cell back the terrain of its neighbours
// when all its terrain and water neighbours agree. It too works in place: a
// cell that has taken a terrain counts as that terrain for the cells after it.
//
//     AAAA      AAAA      AAAA      Row 3, column 2 stays x: its NE neighbour
//     BBBA  ->  xxxA  ->  xxAA      took A earlier in this stage while its W
//     BABA      BxxA      BxAA      neighbour is B. (Judged on the grid before
//              stage 1   stage 2    the stage it would have become B.)
#include "ClassTerrainImage.h"
#include "Pipeline.h"
#include "StageCommon.h"

void MarkBorders(TTerrainImage &Model)
{
    for (int y = 1; y <= Model.GetHeight(); ++y) {
        for (int x = 1; x <= Model.GetWidth(); ++x) {
            const uint16_t a = Model.GetCell(x, y).Code;
            if (!TTerrainImage::IsTerrainOrWater(a))
                continue;
            for (const TOffset &n : Neighbours) {
                const uint16_t b = Model.GetCell(x + n.Dx, y + n.Dy).Code;
                if (TTerrainImage::IsTerrainOrWater(b) && b != a)
                    Model.SetCell(x + n.Dx, y + n.Dy, BORDER_MARK, KeepAltitude);
            }
        }
    }
}

void ResolveSingleBorders(TTerrainImage &Model)
{
    for (int y = 1; y <= Model.GetHeight(); ++y) {
        for (int x = 1; x <= Model.GetWidth(); ++x) {
            const uint16_t k = Model.GetCell(x, y).Code;
            if (!TTerrainImage::NeedsTransition(k))
                continue;
            // a: the first terrain or water code around the cell; b: the last
            // one that differs from a.
            uint16_t a = 0;
            uint16_t b = 0;
            for (const TOffset &n : Neighbours) {
                const uint16_t c = Model.GetCell(x + n.Dx, y + n.Dy).Code;
                if (!TTerrainImage::IsTerrainOrWater(c))
                    continue;
                if (a == 0)
                    a = c;
                else if (c != a)
                    b = c;
            }
            if (a != 0 && b == 0)
                Model.SetCell(x, y, a, KeepAltitude);
        }
    }
}
