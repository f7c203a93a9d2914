#include "MapImport.h"

#include "ByteOrder.h"
#include "ClassTerrainImage.h"
#include "HeightProfile.h"
#include "ImportSteps.h"
#include "InTwoHalves.h"
#include "LargeVector.h"
#include "MapReader.h"

#include <algorithm>
#include <bit>
#include <cstring>

using namespace ImportSteps;

TMapCells ReadMapCells(TMapReader &Map)
{
    using namespace MapFile;
    const TMapSize size = Map.Size();
    TMapCells cells;
    cells.Width = size.Width;
    cells.Height = size.Height;
    cells.Tiles.resize(size_t(size.Cells()));
    cells.Altitudes.resize(cells.Tiles.size());
    const int blockRows = size.BlockRows(), blockColumns = size.BlockColumns();
    // Eight block-columns at a time, read into a buffer of each half's own and
    // written out row of blocks after row of blocks: 64 cells of a row, whole
    // cache lines of tiles and altitudes, one after the other.
    constexpr int Group = 8;
    const size_t columnBytes = size_t(size.ColumnBytes());
    InTwoHalves((blockColumns + Group - 1) / Group, [&](int First, int Last) {
        std::vector<uint8_t> buffer(Group * columnBytes);
        for (int group = First; group < Last; ++group) {
            const int bx0 = group * Group, count = std::min(Group, blockColumns - bx0);
            for (int j = 0; j < count; ++j)
                Map.ReadBlockColumn(bx0 + j, buffer.data() + size_t(j) * columnBytes);
            for (int by = 0; by < blockRows; ++by)
                for (int j = 0; j < count; ++j) {
                    const uint8_t *cell = buffer.data() + size_t(j) * columnBytes + size_t(by) * BlockBytes + BlockHeaderBytes;
                    for (int cy = 0; cy < BlockSide; ++cy) {
                        const size_t row = cells.Index((bx0 + j) * BlockSide, by * BlockSide + cy);
                        uint16_t *tiles = cells.Tiles.data() + row;
                        int8_t *altitudes = cells.Altitudes.data() + row;
                        for (int cx = 0; cx < BlockSide; ++cx, cell += CellBytes) {
                            tiles[cx] = ByteOrder::Le16(cell);
                            altitudes[cx] = int8_t(cell[2]);
                        }
                    }
                }
        }
    });
    return cells;
}

void CheckImportMemory(const TMapReader &Map, uint64_t BytesPerCell, uint64_t Budget)
{
    const uint64_t need = Map.Size().Cells() * BytesPerCell;
    const auto megabytes = [](uint64_t Bytes) { return std::to_string((Bytes + (1 << 20) - 1) >> 20) + " MB"; };
    if (need > Budget)
        throw EMapReadError(Map.Path() + ": a map of " + FormatMapSize(Map.Size()) + " cells needs about " +
                            megabytes(need) + " of memory to read back, more than the budget of " + megabytes(Budget) +
                            " (--max-memory raises it)");
}


TTileClasses::TTileClasses(const TTerrainImage &Config, const std::vector<TImportTile> &ImportTiles)
    : Classes(65536)
{
    for (uint16_t code : {DIRT, WATER, MOUNTAIN, DESERT, SNOW, GRASS, FOREST, JUNGLE, SWAMP})
        for (const uint16_t tile : Config.GetTileList(uint8_t(code)))
            if (Classes[tile].Kind == TTileKind::Unknown)
                Classes[tile] = {TTileKind::Plain, uint8_t(code), 0};
    for (const TImportTile &tile : ImportTiles)
        if (Classes[tile.Tile].Kind == TTileKind::Unknown)
            Classes[tile.Tile] = {TTileKind::Plain, uint8_t(tile.Code), 0, 0, true};
    for (const uint16_t tile : Config.GetTileList(COASTLINE)) {
        TTileClass &c = Classes[tile];
        if (c.Kind == TTileKind::Unknown)
            c = {TTileKind::Coast, 0, 0};
        else if (c.Kind == TTileKind::Plain && c.Code != WATER)
            c.Kind = TTileKind::CoastOrPlain;
    }
    for (uint16_t a = 1; a <= 8; ++a)
        for (uint16_t b = 1; b <= 8; ++b)
            for (uint16_t d = 1; d <= 8; ++d) {
                const uint16_t tile = Config.GetTransitionTile(uint16_t(a * 256 + b * 16 + d));
                if (tile == 0)
                    continue;
                TTileClass &c = Classes[tile];
                if (c.Kind == TTileKind::Unknown)
                    c.Kind = TTileKind::Transition;
                if (c.Kind != TTileKind::Coast) {
                    c.Candidates = uint16_t(c.Candidates | 1u << a | 1u << b);
                    c.Middles = uint16_t(c.Middles | 1u << b);
                }
            }
    for (const uint16_t tile : Config.GetTileList(VOID))
        if (Classes[tile].Kind == TTileKind::Unknown)
            Classes[tile].Kind = TTileKind::Void;
    // The coast heights give a coastline cell the coastline altitude, or with
    // the coast table one by the water around it; the rings their own.
    const THeightProfile &heights = Config.GetHeightProfile();
    std::array<uint8_t, 256> coast{};
    coast[uint8_t(int8_t(heights.Coastline))] = 1;
    if (heights.CoastTable)
        for (unsigned mask = 0; mask < 256; ++mask)
            coast[uint8_t(int8_t(CoastTableAltitude(mask, heights.Water, heights.Coastline)))] = 1;
    bool clash = false;
    for (const int ring : heights.Rings)
        clash = clash || coast[uint8_t(int8_t(ring))] != 0;
    TellCoast = !clash;
    CoastAltitudes = coast;
}

TTerrainImport ImportTerrains(const TMapCells &Map, const TTileClasses &Classes)
{
    TTerrainImport import;
    import.Width = Map.Width;
    import.Height = Map.Height;
    import.Codes.resize(Map.Tiles.size());
    // What each tile says at once: its terrain, or what is still to be found.
    std::vector<uint8_t> codeOf(65536);
    for (size_t tile = 0; tile < 65536; ++tile) {
        const TTileClass &c = Classes.Of(uint16_t(tile));
        switch (c.Kind) {
        case TTileKind::Plain: codeOf[tile] = c.Code; break;
        case TTileKind::Coast: codeOf[tile] = PendingCoast; break;
        case TTileKind::CoastOrPlain: codeOf[tile] = PendingSand; break;
        case TTileKind::Transition: codeOf[tile] = PendingTransition; break;
        case TTileKind::Void: codeOf[tile] = NO_TERRAIN; break;
        case TTileKind::Unknown: codeOf[tile] = UnknownTerrain; break;
        }
    }
    // Each half of the rows counts its own unknown tiles and the codes it saw.
    struct THalf
    {
        std::vector<uint64_t> Unknown; // by tile
        std::array<uint8_t, 256> Seen{};
    };
    THalf halves[2];
    InTwoHalves(Map.Height, [&](int First, int Last) {
        THalf &half = halves[First == 0 ? 0 : 1];
        half.Unknown.assign(65536, 0);
        const size_t end = size_t(Last) * size_t(Map.Width);
        const uint16_t *tiles = Map.Tiles.data();
        uint8_t *codes = import.Codes.data();
        for (size_t i = size_t(First) * size_t(Map.Width); i < end; ++i) {
            const uint8_t code = codeOf[tiles[i]];
            codes[i] = code;
            half.Seen[code] = 1;
            if (code == UnknownTerrain)
                ++half.Unknown[tiles[i]];
        }
    });
    const auto seen = [&](uint8_t Code) { return halves[0].Seen[Code] || halves[1].Seen[Code]; };
    const bool anySand = seen(PendingSand);
    const bool anyTransition = seen(PendingTransition);
    bool anyCoast = seen(PendingCoast);
    for (size_t tile = 0; tile < 65536; ++tile) {
        const uint64_t count = (halves[0].Unknown.empty() ? 0 : halves[0].Unknown[tile]) +
                               (halves[1].Unknown.empty() ? 0 : halves[1].Unknown[tile]);
        if (count == 0)
            continue;
        import.UnknownTiles.emplace_back(uint16_t(tile), count);
        import.UnknownCells += count;
    }
    std::sort(import.UnknownTiles.begin(), import.UnknownTiles.end(),
              [](const auto &a, const auto &b) { return a.second != b.second ? a.second > b.second : a.first < b.first; });

    if (anySand) {
        DecideSand(import, Map, Classes);
        anyCoast = true;
    }
    // The coast from the plain cells around it, then the transitions.
    TLargeVector<uint64_t> coastBits;
    if (anyCoast)
        coastBits = DecideCoast(import);
    // Plain tiles that transitions show too are decided in the same scan.
    bool anyShared = false;
    for (size_t tile = 0; tile < 65536 && !anyShared; ++tile)
        anyShared = codeOf[tile] >= 1 && codeOf[tile] <= 8 && Classes.Of(uint16_t(tile)).Candidates != 0;
    if (anyTransition || anyShared)
        DecideTransitions(import, Map, Classes, coastBits);
    return import;
}
