// The bundled Tiles.ini: every section once with its keys, every number a
// tile, the plain tiles of each terrain, each edge tile drawn for one pair and
// one shape only and never a plain tile, painted borders that get the edge
// tile of their shape (a mix-up of the direction keys shows there as a wrong
// tile), and decoration for every land terrain.
#include "ClassTerrainImage.h"
#include "DecorationConfig.h"
#include "IniFile.h"
#include "Numbers.h"
#include "Pipeline.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

using namespace TestSupport;

namespace {

const char *const TileListNames[] = {"DIRT",   "WATER",  "MOUNTAIN", "DESERT", "SNOW",     "GRASS",
                                     "FOREST", "JUNGLE", "SWAMP",    "COASTLINE", "VOID"};
const char *const ColorKeys[] = {"DIRT", "WATER", "MOUNTAIN", "DESERT", "SNOW", "GRASS", "FOREST", "JUNGLE", "SWAMP"};
const std::vector<std::string> DirectionKeys = {"N", "NE", "E", "SE", "S", "SW", "W", "NW"};
// The keys that the transition stage produces; S and W never arise.
const char *const ArisingKeys[] = {"N", "NE", "E", "SE", "SW", "NW"};

std::string TransSection(uint16_t A, uint16_t B)
{
    return TTerrainImage::TransitionSection(A, B);
}

// A tile number as the file writes it: decimal or hexadecimal, 0..65535.
std::optional<uint16_t> TileNumber(const std::string &Text)
{
    const std::optional<int32_t> value = StrToIntStrict(Text);
    if (!value || *value < 0 || *value > 65535)
        return std::nullopt;
    return uint16_t(*value);
}

// The names of the sections in file order, one entry per "[...]" line.
std::vector<std::string> SectionHeaders(const std::string &Text)
{
    std::vector<std::string> names;
    std::istringstream lines(Text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > 2 && line.front() == '[' && line.back() == ']')
            names.push_back(line.substr(1, line.size() - 2));
    }
    return names;
}

// The tile of section (A, B) under a key, read through the model.
uint16_t TransitionTile(const TTerrainImage &Model, uint16_t A, uint16_t B, const std::string &Key)
{
    const auto d = std::find(DirectionKeys.begin(), DirectionKeys.end(), Key) - DirectionKeys.begin() + 1;
    return Model.GetTransitionTile(uint16_t(A * 256 + B * 16 + d));
}

// The pairs of terrains, either order, that have edge tiles, as the file's
// comment lists them, and the keys of those sections that still have none.
const std::set<std::pair<uint16_t, uint16_t>> PairsWithEdges = {
    {GRASS, FOREST},   {GRASS, JUNGLE},    {GRASS, DIRT},     {GRASS, DESERT},  {GRASS, MOUNTAIN},
    {FOREST, DIRT},    {FOREST, MOUNTAIN}, {JUNGLE, DIRT},    {JUNGLE, DESERT}, {JUNGLE, MOUNTAIN},
    {DIRT, MOUNTAIN},  {DESERT, MOUNTAIN}, {SNOW, MOUNTAIN},
};
const std::set<std::pair<std::string, std::string>> KeysWithoutEdge = {
    {"TRANS_GRASS_JUNGLE", "NW"},  {"TRANS_MOUNTAIN_SNOW", "NE"}, {"TRANS_MOUNTAIN_SNOW", "SE"},
    {"TRANS_MOUNTAIN_SNOW", "SW"}, {"TRANS_MOUNTAIN_SNOW", "NW"},
};

bool HasEdgeTile(uint16_t A, uint16_t B, const std::string &Key)
{
    return (PairsWithEdges.count({A, B}) || PairsWithEdges.count({B, A})) &&
           !KeysWithoutEdge.count({TransSection(A, B), Key});
}

} // namespace

TEST(BundledTiles, EverySectionOnceAndNoOther)
{
    std::multiset<std::string> expected(std::begin(TileListNames), std::end(TileListNames));
    expected.insert("ColorTileCodeMatch");
    expected.insert("Heights");
    for (uint16_t a = DIRT; a <= SWAMP; ++a)
        for (uint16_t b = DIRT; b <= SWAMP; ++b)
            if (a != b)
                expected.insert(TransSection(a, b));
    for (uint16_t code = DIRT; code <= SWAMP; ++code)
        expected.insert(DecorationSection(code));
    ASSERT_EQ(expected.size(), 77u);

    const std::vector<std::string> headers = SectionHeaders(ReadFile(BundledTilesPath()));
    EXPECT_EQ(std::multiset<std::string>(headers.begin(), headers.end()), expected);
}

TEST(BundledTiles, EveryNumberIsATile)
{
    const TIniFile ini(BundledTilesPath());
    ASSERT_TRUE(ini.Exists()) << BundledTilesPath();

    for (const char *name : TileListNames) {
        const std::vector<std::string> keys = ini.ReadSection(name);
        EXPECT_FALSE(keys.empty()) << "[" << name << "] has no tiles";
        for (const std::string &key : keys)
            EXPECT_TRUE(TileNumber(key)) << "[" << name << "] " << key;
    }

    for (uint16_t a = DIRT; a <= SWAMP; ++a) {
        for (uint16_t b = DIRT; b <= SWAMP; ++b) {
            if (a == b)
                continue;
            const std::string section = TransSection(a, b);
            EXPECT_EQ(ini.ReadSection(section), DirectionKeys) << "[" << section << "]";
            for (const std::string &key : DirectionKeys) {
                const std::string value = ini.ReadString(section, key).value_or("");
                // 0 would be a number, but it means "no tile": the border cell would get the void tile.
                const std::optional<uint16_t> tile = TileNumber(value);
                EXPECT_TRUE(tile && *tile != 0) << "[" << section << "] " << key << "=" << value;
            }
        }
    }

    std::vector<std::string> colorKeys = ini.ReadSection("ColorTileCodeMatch");
    std::sort(colorKeys.begin(), colorKeys.end());
    std::vector<std::string> expectedKeys(std::begin(ColorKeys), std::end(ColorKeys));
    std::sort(expectedKeys.begin(), expectedKeys.end());
    EXPECT_EQ(colorKeys, expectedKeys);
    for (const char *key : ColorKeys) {
        const std::optional<int32_t> red = StrToIntStrict(ini.ReadString("ColorTileCodeMatch", key, ""));
        EXPECT_TRUE(red && *red >= 0 && *red <= 255) << "[ColorTileCodeMatch] " << key;
    }
}

// The plain tiles, as the game's own maps use them: rock for mountains, plain
// sand for the coast (not the corner pieces of other borders that look alike).
TEST(BundledTiles, PlainTilesOfEachTerrain)
{
    const auto span = [](uint16_t First, uint16_t Last) {
        std::set<uint16_t> tiles;
        for (uint32_t t = First; t <= Last; ++t)
            tiles.insert(uint16_t(t));
        return tiles;
    };
    const auto join = [](std::set<uint16_t> A, const std::set<uint16_t> &B) {
        A.insert(B.begin(), B.end());
        return A;
    };
    const std::pair<uint16_t, std::set<uint16_t>> expected[] = {
        {DIRT, span(0x71, 0x78)},
        {WATER, join(span(0xA8, 0xAB), span(0x136, 0x137))},
        {MOUNTAIN, span(0x22C, 0x22F)},
        {DESERT, span(0x16, 0x19)},
        {SNOW, span(0x11A, 0x11D)},
        {GRASS, span(0x03, 0x06)},
        {FOREST, join(span(0xC4, 0xC7), span(0xF8, 0xFB))},
        {JUNGLE, join(span(0xAC, 0xAF), span(0x108, 0x10B))},
        {SWAMP, span(0x3DC0, 0x3DC3)}, // unverified, as the file says
        {COASTLINE, span(0x16, 0x19)},
    };
    const TTerrainImage model(BundledTilesPath());
    for (const auto &[code, tiles] : expected) {
        const std::vector<uint16_t> &list = model.GetTileList(uint8_t(code));
        EXPECT_EQ(std::set<uint16_t>(list.begin(), list.end()), tiles) << TTerrainImage::TerrainName(code);
        EXPECT_EQ(list.size(), tiles.size()) << TTerrainImage::TerrainName(code) << " lists a tile twice";
    }
}

// Each pair of terrains with edge tiles has twelve shapes of border cell (a
// line with either terrain on its north or east side, four turns with either
// terrain in the inner angle), and the tile of a shape serves no other shape
// and no other pair. The straight edges of one section are the mirror image of
// the other's. Where no edge tile is known, the tile is the plain one of the
// middle terrain.
TEST(BundledTiles, EachEdgeTileServesOnePairAndOneShape)
{
    const TTerrainImage model(BundledTilesPath());
    ASSERT_TRUE(model.GetConfigProblems().empty());

    std::map<uint16_t, std::string> owner; // edge tile -> the section and key that use it
    for (uint16_t a = DIRT; a <= SWAMP; ++a) {
        for (uint16_t b = DIRT; b <= SWAMP; ++b) {
            if (a == b)
                continue;
            for (const char *key : ArisingKeys) {
                const std::string where = "[" + TransSection(a, b) + "] " + key;
                const uint16_t tile = TransitionTile(model, a, b, key);
                if (!HasEdgeTile(a, b, key)) {
                    EXPECT_EQ(tile, model.GetTileList(uint8_t(b)).front()) << where << " should be the plain middle terrain";
                    continue;
                }
                for (const uint16_t code : {DIRT, MOUNTAIN, DESERT, SNOW, GRASS, FOREST, JUNGLE, SWAMP, WATER, COASTLINE}) {
                    const std::vector<uint16_t> &plain = model.GetTileList(uint8_t(code));
                    EXPECT_EQ(std::count(plain.begin(), plain.end(), tile), 0)
                        << where << ": the edge tile " << tile << " is also a plain tile of "
                        << TTerrainImage::TerrainName(code);
                }
                const auto [at, fresh] = owner.emplace(tile, where);
                EXPECT_TRUE(fresh) << where << " has the tile of " << at->second;
            }
            for (const auto &[key, mirror] : {std::pair{"N", "S"}, std::pair{"E", "W"}}) {
                if (HasEdgeTile(a, b, key)) {
                    EXPECT_EQ(TransitionTile(model, a, b, key), TransitionTile(model, b, a, mirror))
                        << TransSection(a, b) << " " << key;
                }
            }
        }
    }
    EXPECT_EQ(owner.size(), 13u * 12u - KeysWithoutEdge.size());
}

// 8 x 8 cells of Outside with a 4 x 4 square of Inside from (3, 3) to (6, 6).
// The border line lies on the side of a boundary that comes later in the
// scan: on the square's top row and side columns, but on the row under the
// square, so its corners are (3, 3), (6, 3), (3, 7) and (6, 7).
std::vector<std::string> Square(char Outside, char Inside)
{
    std::vector<std::string> rows(8, std::string(8, Outside));
    for (int y = 2; y < 6; ++y)
        rows[y].replace(2, 4, 4, Inside);
    return rows;
}

// Painted terrain through the border stages; the tile that the writer gives
// the border cell at (X, Y).
struct TPaintedBorder
{
    const char *Name;
    std::vector<std::string> Rows;
    int X, Y;
    uint16_t Tile;
};

TEST(BundledTiles, PaintedBordersGetTheEdgeTileOfTheirShape)
{
    // Grass/forest tiles: 0xC8 forest to the north of grass, 0xCF forest to the
    // east, 0xD7 0xD6 0xD3 0xD5 grass only in the SW, SE, NE or NW corner of the
    // cell, 0xDB 0xD9 0xDA 0xD8 forest only in the SW, SE, NE or NW corner.
    const std::vector<std::string> forestSquare = Square('G', 'F');
    const std::vector<std::string> grassSquare = Square('F', 'G');
    const std::vector<TPaintedBorder> cases = {
        {"grass west of forest", {"GGGFFF", "GGGFFF", "GGGFFF"}, 4, 2, 0x00CF},
        {"forest north of grass", {"FFF", "FFF", "GGG", "GGG"}, 2, 3, 0x00C8},
        {"forest square, top left", forestSquare, 3, 3, 0x00D9},
        {"forest square, top right", forestSquare, 6, 3, 0x00DB},
        {"forest square, bottom left", forestSquare, 3, 7, 0x00DA},
        {"forest square, bottom right", forestSquare, 6, 7, 0x00D8},
        {"grass square, top left", grassSquare, 3, 3, 0x00D6},
        {"grass square, top right", grassSquare, 6, 3, 0x00D7},
        {"grass square, bottom left", grassSquare, 3, 7, 0x00D3},
        {"grass square, bottom right", grassSquare, 6, 7, 0x00D5},
        {"inner corner of an L of forest", {"GGGGGGGG", "GGGGGGGG", "GGGGGGGG", "GGGGFFFF", "GGGGFFFF", "FFFFFFFF", "FFFFFFFF"}, 5, 6, 0x00D5},
        // The dirt-jungle edges, not the grass-jungle tiles once offered for them.
        {"jungle north of dirt", {"JJJ", "JJJ", "DDD", "DDD"}, 2, 3, 0x0271},
        {"snow square in mountain, top left", Square('M', 'N'), 3, 3, 0x0110},
        // No edge tiles known: the plain tile of the middle terrain.
        {"swamp west of grass", {"PPGGG", "PPGGG", "PPGGG"}, 3, 2, 3},
        {"mountain square in snow, top left", Square('N', 'M'), 3, 3, 282},
    };
    for (const TPaintedBorder &c : cases) {
        TTerrainImage model(BundledTilesPath());
        PaintGrid(model, c.Rows);
        MarkBorders(model);
        ResolveSingleBorders(model);
        BuildTransitions(model);
        const uint16_t code = model.GetCell(c.X, c.Y).Code;
        EXPECT_GE(code, 256) << c.Name << ": no transition at the cell";
        EXPECT_EQ(model.TileForCode(code), c.Tile) << c.Name << ": code " << code;
    }
}

// Every land terrain is decorated; the forest's trees (the groups of trunk and
// leaves) are all ids that the servers' lumberjacking accepts, so they can be
// chopped.
TEST(BundledTiles, DecoratesEveryLandTerrainWithChoppableForestTrees)
{
    const TDecorationConfig config = ReadDecorationConfig(BundledTilesPath());
    for (uint16_t code = DIRT; code <= SWAMP; ++code)
        EXPECT_TRUE(config.Terrains[code].Places()) << TTerrainImage::TerrainName(code);

    const auto choppable = [](uint32_t id) {
        return (id >= 0x0CCA && id <= 0x0D03) || (id >= 0x0D41 && id <= 0x0DAB) || (id >= 0x12B5 && id <= 0x12C7);
    };
    int trees = 0;
    for (const TDecorationGroup &group : config.Terrains[FOREST].Groups) {
        if (group.Parts.size() < 2)
            continue;
        ++trees;
        for (const TDecorationPart &part : group.Parts)
            for (const TIdRange &range : part.Ranges)
                for (uint32_t id = range.First; id <= range.Last; ++id)
                    EXPECT_TRUE(choppable(id)) << group.Name << " has " << id;
    }
    EXPECT_GE(trees, 10);
    // Trees stand apart, so that forests keep paths.
    EXPECT_GE(config.Terrains[FOREST].Spacing, 2u);
}
