#include "KeptCodes.h"

#include "ClassTerrainImage.h"
#include "VoidReport.h"

#include <algorithm>

namespace {

// Whether a cell of Code may show Tile, of class Class.
bool CanShow(const TTerrainImage &Model, uint16_t Code, uint16_t Tile, const TTileClass &Class, const TVoidCodes &Voids)
{
    if (Class.Kind == TTileKind::Void && Voids.IsVoid(Code))
        return true;
    if (Code >= 256)
        return Model.GetTransitionTile(Code) == Tile;
    if (Code == COASTLINE)
        return Class.Kind == TTileKind::Coast || Class.Kind == TTileKind::CoastOrPlain;
    if (Code == WATER || (Code >= 1 && Code <= 8))
        return (Class.Kind == TTileKind::Plain || Class.Kind == TTileKind::CoastOrPlain) && Class.Code == Code;
    return false;
}

} // namespace

uint64_t ShowKeptCellsAsWritten(TTerrainImage &Model, const TMapCells &Existing, const TTileClasses &Classes,
                                const TMergeRegion &Region)
{
    // A transition that shows each transition tile: the first in code order.
    std::vector<uint16_t> transitionOf(65536, 0);
    for (uint16_t a = 1; a <= 8; ++a)
        for (uint16_t b = 1; b <= 8; ++b)
            for (uint16_t d = 1; d <= 8; ++d) {
                const uint16_t code = uint16_t(a * 256 + b * 16 + d);
                if (const uint16_t tile = Model.GetTransitionTile(code); tile != 0 && transitionOf[tile] == 0)
                    transitionOf[tile] = code;
            }
    const TVoidCodes voids(Model);
    const int width = std::min(Existing.Width, Model.GetWidth()), height = std::min(Existing.Height, Model.GetHeight());
    uint64_t changed = 0;
    for (int y = 0; y < height; ++y) {
        TCell *row = Model.CellData() + Model.Index(1, y + 1);
        for (int x = 0; x < width; ++x) {
            const size_t i = Existing.Index(x, y);
            if (Region.Cells[i])
                continue;
            const uint16_t tile = Existing.Tiles[i];
            const TTileClass &c = Classes.Of(tile);
            uint16_t &code = row[x].Code;
            if (c.Kind == TTileKind::Unknown) {
                changed += code != KeptUnknownTile;
                code = KeptUnknownTile;
                continue;
            }
            if (CanShow(Model, code, tile, c, voids))
                continue;
            switch (c.Kind) {
            case TTileKind::Plain: code = c.Code; break;
            case TTileKind::Coast: code = COASTLINE; break;
            case TTileKind::CoastOrPlain: code = code == WATER ? uint16_t(COASTLINE) : uint16_t(c.Code); break;
            case TTileKind::Transition: code = transitionOf[tile]; break;
            case TTileKind::Void: code = NO_TERRAIN; break;
            case TTileKind::Unknown: break; // taken above
            }
            ++changed;
        }
    }
    return changed;
}
