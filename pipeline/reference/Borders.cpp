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
#include "StageCommon.h"

void TTerrainImage::MarkBorders()
{
    for (int y = 1; y <= Height; ++y) {
        for (int x = 1; x <= Width; ++x) {
            const uint16_t a = GetCell(x, y).Code;
            if (!IsTerrainOrWater(a))
                continue;
            for (const TOffset &n : Neighbours) {
                const uint16_t b = GetCell(x + n.Dx, y + n.Dy).Code;
                if (IsTerrainOrWater(b) && b != a)
                    SetCell(x + n.Dx, y + n.Dy, BORDER_MARK, KeepAltitude);
            }
        }
    }
}

void TTerrainImage::ResolveSingleBorders()
{
    for (int y = 1; y <= Height; ++y) {
        for (int x = 1; x <= Width; ++x) {
            const uint16_t k = GetCell(x, y).Code;
            if (!NeedsTransition(k))
                continue;
            // a: the first terrain or water code around the cell; b: the last
            // one that differs from a.
            uint16_t a = 0;
            uint16_t b = 0;
            for (const TOffset &n : Neighbours) {
                const uint16_t c = GetCell(x + n.Dx, y + n.Dy).Code;
                if (!IsTerrainOrWater(c))
                    continue;
                if (a == 0)
                    a = c;
                else if (c != a)
                    b = c;
            }
            if (a != 0 && b == 0)
                SetCell(x, y, a, KeepAltitude);
        }
    }
}
