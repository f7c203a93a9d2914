// Reading a map back into a painted picture: a painted world generated with a
// seed and read back gives the painted terrains; worked examples of each
// rule; the picture file; the import tiles.
#include "ClassTerrainImage.h"
#include "HeightsPicture.h"
#include "ImportCommand.h"
#include "MapImport.h"
#include "MapReader.h"
#include "MapRuns.h"
#include "PictureFiles.h"
#include "TerrainPicture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>

using namespace TestSupport;

namespace {

struct TRoundTripCase
{
    const char *Name;
    bool Frozen; // the configuration of the previous release, else the bundled one
};

class RoundTrip : public testing::TestWithParam<TRoundTripCase>
{
};

void SavePicture(const TTerrainImport &Import, const TTerrainImage &Config, const std::string &Path)
{
    std::FILE *file = std::fopen(Path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    WriteTerrainPicture(Import, MakeTerrainPalette(Config), TPictureKind::Bmp,
                        [&](const uint8_t *Data, size_t Bytes) { std::fwrite(Data, 1, Bytes, file); });
    ASSERT_EQ(std::fclose(file), 0);
}

// Paints the reds into world.bmp, generates it with Seed into Model and map0.mul
// and reads the map back.
TTerrainImport ImportedAfterPainting(const std::vector<std::vector<uint8_t>> &Reds, TTerrainImage &Model,
                                     const TTempDir &Dir, TMapSize Size, uint64_t Seed)
{
    SaveRedBmp(Dir.File("world.bmp"), Reds);
    MapRuns::Generate(Model, Dir.File("world.bmp"), Dir.File("map0.mul"), Size, Seed);
    return MapRuns::Imported(Model, Dir.File("map0.mul"), Size);
}

// Saves Picture, generates it with Seed under the configuration Tiles and
// reads the map back.
TTerrainImport ImportedAfterGenerating(const TTerrainImport &Picture, const std::string &Tiles, const TTempDir &Dir,
                                       TMapSize Size, uint64_t Seed)
{
    TTerrainImage model(Tiles);
    SavePicture(Picture, model, Dir.File("back.bmp"));
    MapRuns::Generate(model, Dir.File("back.bmp"), Dir.File("map1.mul"), Size, Seed);
    return MapRuns::Imported(model, Dir.File("map1.mul"), Size);
}

uint8_t RedOf(const TTerrainImage &Config, uint16_t Code)
{
    int red = 0;
    while (red < 255 && Config.CodeForColor(uint8_t(red)) != Code)
        ++red;
    return uint8_t(red);
}

size_t CellsDiffering(const TTerrainImport &A, const TTerrainImport &B)
{
    size_t differing = 0;
    for (size_t i = 0; i < A.Codes.size(); ++i)
        differing += A.Codes[i] != B.Codes[i];
    return differing;
}

TEST_P(RoundTrip, PaintedTerrainsComeBackAndImportingAgainGivesNearlyTheSamePicture)
{
    const std::string tiles = GetParam().Frozen ? FrozenTilesPath() : BundledTilesPath();
    TTempDir dir;
    const TMapSize size{640, 480};
    TTerrainImage model(tiles);
    const auto painted = MapRuns::PaintedRegions(model, size.Width, size.Height, 5);
    const TTerrainImport first = ImportedAfterPainting(painted, model, dir, size, 11);
    ASSERT_EQ(first.Width, size.Width);
    ASSERT_EQ(first.Height, size.Height);
    EXPECT_EQ(first.UnknownCells, 0u);

    // Every cell left as painted with a tile of its own terrain (not a tile
    // that coast shares) comes back as painted; over all cells nearly every one.
    TMapReader reader(dir.File("map0.mul"), size);
    const TMapCells cells = ReadMapCells(reader);
    const TTileClasses classes(model, {});
    uint64_t same = 0, plainWrong = 0;
    for (int y = 0; y < size.Height; ++y)
        for (int x = 0; x < size.Width; ++x) {
            const uint16_t paintedCode = model.CodeForColor(painted[size_t(y)][size_t(x)]);
            const uint8_t back = first.Code(x, y);
            same += back == paintedCode;
            const TTileClass &c = classes.Of(cells.Tiles[cells.Index(x, y)]);
            if (c.Kind == TTileKind::Plain && model.GetCell(x + 1, y + 1).Code == paintedCode)
                plainWrong += back != paintedCode;
        }
    const double share = double(same) / double(size.Cells());
    std::printf("[ measured ] %s: %.2f %% of the cells come back as painted\n", GetParam().Name, 100 * share);
    EXPECT_EQ(plainWrong, 0u);
    EXPECT_GE(share, 0.97);

    // Generating the imported picture with the same seed and importing again.
    SavePicture(first, model, dir.File("back.bmp"));
    TTerrainImage again(tiles);
    MapRuns::Generate(again, dir.File("back.bmp"), dir.File("map1.mul"), size, 11);
    const TTerrainImport second = MapRuns::Imported(again, dir.File("map1.mul"), size);
    uint64_t pictureSame = 0, terrainSame = 0;
    for (int y = 0; y < size.Height; ++y)
        for (int x = 0; x < size.Width; ++x) {
            pictureSame += first.Code(x, y) == second.Code(x, y);
            terrainSame += model.GetCell(x + 1, y + 1).Code == again.GetCell(x + 1, y + 1).Code;
        }
    const double pictureShare = double(pictureSame) / double(size.Cells());
    const double terrainShare = double(terrainSame) / double(size.Cells());
    std::printf("[ measured ] %s: importing again gives %.2f %% of the picture; the terrain is the same on %.2f %%\n",
                GetParam().Name, 100 * pictureShare, 100 * terrainShare);
    EXPECT_GE(pictureShare, 0.999);
    EXPECT_GE(terrainShare, 0.97);
}

TEST_P(RoundTrip, OtherPaintedWorldsReadBackAlikeAfterAGeneration)
{
    // Import, generate with a seed, import again, on a few more painted
    // worlds: the share of the cells whose terrain the second import keeps.
    const std::string tiles = GetParam().Frozen ? FrozenTilesPath() : BundledTilesPath();
    TTempDir dir;
    const TMapSize size{320, 240};
    TTerrainImage model(tiles);
    uint64_t same = 0, cells = 0;
    for (const uint32_t world : {21u, 22u, 23u, 24u}) {
        const TTerrainImport first = ImportedAfterPainting(
            MapRuns::PaintedRegions(model, size.Width, size.Height, world), model, dir, size, world);
        const TTerrainImport second = ImportedAfterGenerating(first, tiles, dir, size, world + 100);
        same += first.Codes.size() - CellsDiffering(first, second);
        cells += first.Codes.size();
    }
    const double share = double(same) / double(cells);
    std::printf("[ measured ] %s: on four more worlds importing again gives %.2f %% of the picture\n",
                GetParam().Name, 100 * share);
    EXPECT_GE(share, 0.998);
}

TEST_P(RoundTrip, StraightShoresStopMovingAfterARoundTrip)
{
    // A rectangular lake in grass and a rectangular island in a sea. Read
    // back by distance alone, the east shore of each moved a column with
    // every import and generation, for ever (the border stage's line runs
    // down it on the side where the north-east corner put it). Now a second
    // round trip gives the picture of the first.
    const std::string tiles = GetParam().Frozen ? FrozenTilesPath() : BundledTilesPath();
    TTempDir dir;
    const TMapSize size{96, 72};
    TTerrainImage model(tiles);
    const uint8_t grass = RedOf(model, GRASS), water = RedOf(model, WATER);
    std::vector<std::vector<uint8_t>> painted(size_t(size.Height), std::vector<uint8_t>(size_t(size.Width), grass));
    for (int y = 0; y < size.Height; ++y)
        for (int x = 0; x < size.Width; ++x) {
            const bool lake = x >= 9 && x < 31 && y >= 10 && y < 37;
            const bool sea = x >= 48 && !(x >= 60 && x < 83 && y >= 20 && y < 50);
            painted[size_t(y)][size_t(x)] = lake || sea ? water : grass;
        }
    TTerrainImport picture = ImportedAfterPainting(painted, model, dir, size, 5);
    int differing = 0;
    for (int y = 0; y < size.Height; ++y)
        for (int x = 0; x < size.Width; ++x)
            differing += picture.Code(x, y) != model.CodeForColor(painted[size_t(y)][size_t(x)]);
    // At most the middle column of each east shore's strip (both pictures
    // give the same coast) and a few corner cells.
    EXPECT_LE(differing, 27 + 30 + 8);
    size_t moved[3] = {};
    for (int round = 0; round < 3; ++round) {
        const TTerrainImport next = ImportedAfterGenerating(picture, tiles, dir, size, 5 + uint64_t(round));
        moved[round] = CellsDiffering(picture, next);
        picture = next;
    }
    EXPECT_LE(moved[0], 40u);
    EXPECT_EQ(moved[1], 0u);
    EXPECT_EQ(moved[2], 0u);
}

TEST(PaintedHeightsRoundTrip, DesertPaintedAtSeaLevelComesBackAsDesert)
{
    // A desert painted at -5 (the sea's altitude, which the coast's table
    // gives coast cells too) in grass at 10, with a lake in its east side.
    // Its sand stands at a coast altitude, but over an area no coast strip
    // covers: it is desert, not coast, and not the water that a coast cell
    // with no land near would be.
    TTempDir dir;
    const TMapSize size{96, 72};
    TTerrainImage model(BundledTilesPath());
    const uint8_t grass = RedOf(model, GRASS), desert = RedOf(model, DESERT), water = RedOf(model, WATER);
    const auto inDesert = [](int X, int Y) { return X >= 16 && X < 72 && Y >= 12 && Y < 60; };
    const auto inLake = [](int X, int Y) { return X >= 52 && X < 64 && Y >= 24 && Y < 48; };
    std::vector<std::vector<uint8_t>> painted(size_t(size.Height), std::vector<uint8_t>(size_t(size.Width), grass));
    for (int y = 0; y < size.Height; ++y)
        for (int x = 0; x < size.Width; ++x)
            painted[size_t(y)][size_t(x)] = inLake(x, y) ? water : inDesert(x, y) ? desert : grass;
    SaveRedBmp(dir.File("world.bmp"), painted);
    SaveHeightsPng(size.Width, size.Height, [&](int Y, int8_t *Row) {
        for (int x = 0; x < size.Width; ++x)
            Row[x] = int8_t(inDesert(x, Y) ? -5 : 10);
    }, dir.File("heights.png"));
    MapRuns::Generate(model, dir.File("world.bmp"), dir.File("map0.mul"), size, 3, dir.File("heights.png"));
    const TTerrainImport back = MapRuns::Imported(model, dir.File("map0.mul"), size);
    // Off the lake's coast (three cells from its water) and the desert's
    // edge (where its line lies, a cell either way), every cell comes back as painted.
    int desertCells = 0, wrong = 0;
    for (int y = 0; y < size.Height; ++y)
        for (int x = 0; x < size.Width; ++x) {
            bool nearLake = false, nearEdge = false;
            for (int dy = -3; dy <= 3; ++dy)
                for (int dx = -3; dx <= 3; ++dx)
                    nearLake = nearLake || inLake(x + dx, y + dy);
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    nearEdge = nearEdge || inDesert(x + dx, y + dy) != inDesert(x, y);
            if (nearLake || nearEdge)
                continue;
            desertCells += inDesert(x, y);
            wrong += back.Code(x, y) != model.CodeForColor(painted[size_t(y)][size_t(x)]);
        }
    EXPECT_GT(desertCells, 1500);
    EXPECT_EQ(wrong, 0);
}

TEST(ImportCommand, AStoppedImportLeavesTheEarlierPicturesAndBlocksBeyondTheSizeAreCounted)
{
    TTempDir dir;
    const TMapSize size{64, 48};
    TTerrainImage model(BundledTilesPath());
    SaveRedBmp(dir.File("world.bmp"), MapRuns::PaintedRegions(model, size.Width, size.Height, 3));
    MapRuns::Generate(model, dir.File("world.bmp"), dir.File("map0.mul"), size, 7);
    WriteFile(dir.File("back.bmp"), "an earlier picture");
    WriteFile(dir.File("heights.png"), "earlier heights");
    const auto before = ListDir(dir.Path());

    // Stopped at each of its questions in turn, until the import is done.
    int stops = 0;
    for (int at = 1;; ++at) {
        int asked = 0;
        const auto stopped = [&] { return ++asked >= at; };
        try {
            const TTerrainImport import = ImportMapToPicture(dir.File("map0.mul"), size, model, {}, dir.File("back.bmp"),
                                                             dir.File("heights.png"), TLoadOptions::DefaultMemoryBudget,
                                                             stopped);
            EXPECT_EQ(import.BlocksBeyond, 0u);
            break;
        } catch (const EImportStopped &) {
            ++stops;
        }
        ASSERT_EQ(ReadFile(dir.File("back.bmp")), "an earlier picture") << "stopped at question " << at;
        ASSERT_EQ(ReadFile(dir.File("heights.png")), "earlier heights");
        ASSERT_EQ(ListDir(dir.Path()), before) << "stopped at question " << at;
        ASSERT_LT(at, 1000);
    }
    EXPECT_GE(stops, 4); // after the reading, the terrains, in each picture, before the save
    EXPECT_NE(ReadFile(dir.File("back.bmp")), "an earlier picture");
    EXPECT_EQ(ListDir(dir.Path()), before);

    // Read as a map of 64 x 40 (40 blocks, so every block-column from the
    // second on is read from the wrong place), the file's last 8 blocks are
    // left: the import counts them, so that the size can be doubted.
    const TTerrainImport shorter = ImportMapToPicture(dir.File("map0.mul"), TMapSize{64, 40}, model, {},
                                                      dir.File("short.bmp"));
    EXPECT_EQ(shorter.BlocksBeyond, 8u);
    EXPECT_EQ(shorter.Height, 40);
}

INSTANTIATE_TEST_SUITE_P(Configurations, RoundTrip,
                         testing::Values(TRoundTripCase{"previous release", true}, TRoundTripCase{"bundled", false}),
                         [](const auto &info) { return info.param.Frozen ? "PreviousRelease" : "Bundled"; });

// A small configuration whose every tile the tests below know: grass 3-4,
// forest 6, desert 22-23 (22 also a coastline tile, as sand is), water 168,
// coastline 51, the grass/forest transitions 100-107, void 580. Desert and
// forest have no edge tiles: their lines show forest 6 or desert 22, as do
// two edges of grass and desert.
constexpr const char *SmallTiles = R"([GRASS]
3=
4=
[FOREST]
6=
[DESERT]
22=
23=
[WATER]
168=
[COASTLINE]
22=
51=
[VOID]
580=
[TRANS_GRASS_FOREST]
N=100
NE=101
E=102
SE=103
S=104
SW=105
W=106
NW=107
[TRANS_FOREST_GRASS]
N=100
E=3
[TRANS_DESERT_FOREST]
N=6
NE=6
E=6
SE=6
SW=6
NW=6
[TRANS_FOREST_DESERT]
N=22
NE=22
E=22
SE=22
SW=22
NW=22
[TRANS_GRASS_DESERT]
N=22
E=22
[ColorTileCodeMatch]
GRASS=40
FOREST=9
DESERT=230
WATER=30
[ImportTiles]
GRASS=0x0200-0x0202, 7
FOREST=0x300
)";

constexpr const char *SmallHeights = R"(
[Heights]
Coastline=-3
Ring1=-1
Ring2=0
Ring3=1
)";

// Tile letters of the grids below: g and h grass (3 and 4), f forest, s
// desert (sand, 22), d desert (23), w water, c coastline, t a grass/forest
// transition, v void, r a road (0x201, grass by the import tiles), ? an
// unknown tile (999).
const std::map<char, uint16_t> TileOfLetter = {{'g', 3},   {'h', 4},   {'f', 6},     {'s', 22},
                                               {'d', 23},  {'w', 168}, {'c', 51},    {'t', 102},
                                               {'v', 580}, {'r', 0x201}, {'?', 999}};

TMapCells CellsOf(const std::vector<std::string> &Rows)
{
    TMapCells cells;
    cells.Width = int(Rows[0].size());
    cells.Height = int(Rows.size());
    for (const std::string &row : Rows)
        for (const char letter : row) {
            cells.Tiles.push_back(TileOfLetter.at(letter));
            cells.Altitudes.push_back(0);
        }
    return cells;
}

// The import as letters: G grass, F forest, S desert, W water, 0 no terrain, ? unknown.
std::vector<std::string> Letters(const TTerrainImport &Import)
{
    std::vector<std::string> rows;
    for (int y = 0; y < Import.Height; ++y) {
        std::string row;
        for (int x = 0; x < Import.Width; ++x) {
            const uint8_t c = Import.Code(x, y);
            row += c == GRASS ? 'G' : c == FOREST ? 'F' : c == DESERT ? 'S' : c == WATER ? 'W' : c == 0 ? '0' : '?';
        }
        rows.push_back(row);
    }
    return rows;
}

class SmallConfig : public testing::Test
{
protected:
    void SetUp() override
    {
        WriteFile(Dir.File("Tiles.ini"), SmallTiles);
        Config = std::make_unique<TTerrainImage>(Dir.File("Tiles.ini"));
        Classes = std::make_unique<TTileClasses>(*Config, ReadImportTiles(Dir.File("Tiles.ini")));
        WriteFile(Dir.File("Heights.ini"), std::string(SmallTiles) + SmallHeights);
        HeightsConfig = std::make_unique<TTerrainImage>(Dir.File("Heights.ini"));
        HeightsClasses = std::make_unique<TTileClasses>(*HeightsConfig, ReadImportTiles(Dir.File("Heights.ini")));
    }
    std::vector<std::string> Import(const std::vector<std::string> &Rows) const
    {
        return Letters(ImportTerrains(CellsOf(Rows), *Classes));
    }
    TTempDir Dir;
    std::unique_ptr<TTerrainImage> Config;
    std::unique_ptr<TTileClasses> Classes;
    // The same tiles with the coast at -3 and the rings at -1, 0 and 1.
    std::unique_ptr<TTerrainImage> HeightsConfig;
    std::unique_ptr<TTileClasses> HeightsClasses;
};

TEST_F(SmallConfig, TilesAreClassedByTheListsInOrder)
{
    EXPECT_EQ(Classes->Of(3).Kind, TTileKind::Plain);
    EXPECT_EQ(Classes->Of(3).Code, GRASS);
    // Sand is desert and coast; coastline 51 is coast only.
    EXPECT_EQ(Classes->Of(22).Kind, TTileKind::CoastOrPlain);
    EXPECT_EQ(Classes->Of(22).Code, DESERT);
    EXPECT_EQ(Classes->Of(51).Kind, TTileKind::Coast);
    // Transition tiles name both terrains; a fallback to a plain tile stays plain.
    EXPECT_EQ(Classes->Of(102).Kind, TTileKind::Transition);
    EXPECT_EQ(Classes->Of(102).Candidates, (1u << GRASS) | (1u << FOREST));
    EXPECT_EQ(Classes->Of(3).Kind, TTileKind::Plain);
    EXPECT_EQ(Classes->Of(580).Kind, TTileKind::Void);
    // Without [Heights] the coast and the first ring are both at -15: the
    // altitude tells nothing. With it only the coast's altitude is coast.
    EXPECT_FALSE(Classes->AltitudesTellCoast());
    EXPECT_TRUE(HeightsClasses->AltitudesTellCoast());
    EXPECT_TRUE(HeightsClasses->CoastAltitude(-3));
    for (const int8_t altitude : {-1, 0, 1, -5, -15})
        EXPECT_FALSE(HeightsClasses->CoastAltitude(altitude)) << int(altitude);
    // Import tiles: ranges and single tiles, hex and decimal.
    for (const uint16_t tile : {0x200, 0x201, 0x202, 7}) {
        EXPECT_EQ(Classes->Of(tile).Kind, TTileKind::Plain) << tile;
        EXPECT_EQ(Classes->Of(tile).Code, GRASS) << tile;
    }
    EXPECT_EQ(Classes->Of(0x300).Code, FOREST);
    EXPECT_EQ(Classes->Of(0x203).Kind, TTileKind::Unknown);
    EXPECT_EQ(Classes->Of(999).Kind, TTileKind::Unknown);
}

TEST_F(SmallConfig, LinesLieOnTheLaterSideAndCoastSplitsInItsMiddle)
{
    // A straight grass/forest line: the cell on it was painted forest, the
    // terrain after it in the scan.
    EXPECT_EQ(Import({"ggtff", "ggtff", "ggtff"}), (std::vector<std::string>{"GGFFF", "GGFFF", "GGFFF"}));
    // Forest before grass: the line cells are grass.
    EXPECT_EQ(Import({"fftgg", "fftgg"}), (std::vector<std::string>{"FFGGG", "FFGGG"}));
    // A coast strip three cells wide: the first cell is the land's, the
    // middle one (on the line, later in the scan) and the last are water's.
    EXPECT_EQ(Import({"ggcccww", "ggcccww"}), (std::vector<std::string>{"GGGWWWW", "GGGWWWW"}));
    EXPECT_EQ(Import({"wwcccgg", "wwcccgg"}), (std::vector<std::string>{"WWWGGGG", "WWWGGGG"}));
    // The north-east corner of a lake: the cell whose only neighbour off the
    // coast lies north-east (here grass) was put on the line by it, so it is
    // water, not grass, though grass is nearest. Below it the middle of the
    // strip splits as any.
    EXPECT_EQ(Import({"gggggg", "ccccgg", "cccccg", "wwcccg", "wwcccg"}),
              (std::vector<std::string>{"GGGGGG", "GGGGGG", "WWWWGG", "WWWGGG", "WWWGGG"}));
    // An island's north-east corner: the cell takes the land, as a lake's
    // takes the water.
    EXPECT_EQ(Import({"wwwwww", "ccccww", "cccccw", "ggcccw", "ggcccw"}),
              (std::vector<std::string>{"WWWWWW", "WWWWWW", "GGGGWW", "GGGWWW", "GGGWWW"}));
    // Sand within three cells of water is coast (here the strip of the last
    // three), further away desert.
    EXPECT_EQ(Import({"ssssssw"}), (std::vector<std::string>{"SSSSWWW"}));
    // Where the coast's altitudes are none of the rings', sand at a coast
    // altitude is coast however far the water (the strip of a river that
    // left no water), and sand at a ring's altitude is desert even beside the
    // water (the first ring of a desert shore).
    TMapCells cells = CellsOf({"sssssssw", "sssssssw"});
    for (const size_t i : {0u, 1u, 8u, 9u, 6u, 14u})
        cells.Altitudes[i] = -3;
    for (const size_t i : {2u, 3u, 4u, 5u, 10u, 11u, 12u, 13u})
        cells.Altitudes[i] = -1;
    EXPECT_EQ(Letters(ImportTerrains(cells, *HeightsClasses)),
              (std::vector<std::string>{"SSSSSSWW", "SSSSSSWW"}));
    // But sand at a coast altitude that fills a square of 9 x 9 cells away
    // from water is desert painted that low, every cell of the square; no
    // coast strip far from water is that wide. Within the reach of water it
    // is coast again; a strip 8 cells wide stays coast. (Unknown tiles on
    // the right keep the desert's last column off the line.)
    const auto lowSand = [&](const std::vector<std::string> &Rows) {
        TMapCells grid = CellsOf(Rows);
        for (size_t i = 0; i < grid.Tiles.size(); ++i)
            grid.Altitudes[i] = grid.Tiles[i] == 22 ? -3 : 0;
        return Letters(ImportTerrains(grid, *HeightsClasses));
    };
    const auto rows = [](int Count, const char *Row) { return std::vector<std::string>(size_t(Count), Row); };
    EXPECT_EQ(lowSand(rows(9, "gsssssssss???")), rows(9, "GSSSSSSSSS???"));
    EXPECT_EQ(lowSand(rows(20, "ssssssssssssssssssss")), rows(20, "SSSSSSSSSSSSSSSSSSSS"));
    EXPECT_EQ(lowSand(rows(12, "gssssssssgggg")), rows(12, "GGGGGGGGGGGGG"));
    EXPECT_EQ(lowSand(rows(12, "gsssssssssssw")), rows(12, "GSSSSSSSSSWWW"));
    // Low sand joined to such a square, however narrow, is that land too.
    std::vector<std::string> arm = rows(9, "gsssssssss???");
    arm.insert(arm.end(), 4, "gsss?????????");
    EXPECT_EQ(lowSand(arm)[12], "GSSS?????????");
    // Without such altitudes the three cells next to the water are coast,
    // split by distance.
    EXPECT_EQ(Letters(ImportTerrains(cells, *Classes)), (std::vector<std::string>{"SSSSSWWW", "SSSSSWWW"}));
    // Roads are grass by the import tiles; void is no terrain.
    EXPECT_EQ(Import({"grgv"}), (std::vector<std::string>{"GGG0"}));
}

TEST_F(SmallConfig, ALineShowingAPlainTileLiesOnTheLaterSideToo)
{
    // Forest over desert: the line, in the first desert row, shows forest
    // tile 6 (TRANS_DESERT_FOREST). Off the line, the cell would put the
    // desert below on it, which then would show forest too: so the row is
    // desert's, whether the desert below shows 23 or the sand 22 that the
    // other order of the pair shows.
    EXPECT_EQ(Import({"fffff", "fffff", "fffff", "ddddd"}), (std::vector<std::string>{"FFFFF", "FFFFF", "SSSSS", "SSSSS"}));
    EXPECT_EQ(Import({"fffff", "fffff", "fffff", "sssss"}), (std::vector<std::string>{"FFFFF", "FFFFF", "SSSSS", "SSSSS"}));
    // Desert over forest: the line shows the desert's sand 22 and is forest.
    EXPECT_EQ(Import({"ddddd", "sssss", "fffff"}), (std::vector<std::string>{"SSSSS", "FFFFF", "FFFFF"}));
    // Side by side the line shows the terrain it was painted with.
    EXPECT_EQ(Import({"ddfff", "ddfff", "ddfff"}), (std::vector<std::string>{"SSFFF", "SSFFF", "SSFFF"}));
    // The shared tile inside its own terrain, and above the line, is that terrain.
    EXPECT_EQ(Import({"hhhhh", "hgggh", "hhhhh", "fffff"}), (std::vector<std::string>{"GGGGG", "GGGGG", "GGGGG", "FFFFF"}));
}

TEST_F(SmallConfig, StraightLinesOfPairsWithoutEdgeTilesComeBackAsPainted)
{
    // Painted, generated with this configuration and read back: the lines of
    // desert and forest (no edge tiles) and those of desert and grass (sand
    // on two of their edges) come back as painted, above and below too.
    const uint8_t forest = 9, desert = 230, grass = 40;
    const struct
    {
        const char *Name;
        std::function<uint8_t(int, int)> Red;
    } pictures[] = {
        {"forest over desert", [&](int, int y) { return y < 7 ? forest : desert; }},
        {"desert over forest", [&](int, int y) { return y < 9 ? desert : forest; }},
        {"desert beside forest", [&](int x, int) { return x < 5 ? desert : forest; }},
        {"forest beside desert", [&](int x, int) { return x < 10 ? forest : desert; }},
        {"desert over grass", [&](int, int y) { return y < 6 ? desert : grass; }},
    };
    for (const auto &picture : pictures) {
        std::vector<std::vector<uint8_t>> painted(16, std::vector<uint8_t>(16));
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                painted[size_t(y)][size_t(x)] = picture.Red(x, y);
        SaveRedBmp(Dir.File("small.bmp"), painted);
        TTerrainImage model(Dir.File("Tiles.ini"));
        MapRuns::Generate(model, Dir.File("small.bmp"), Dir.File("small.mul"), TMapSize{16, 16}, 5);
        TMapReader reader(Dir.File("small.mul"), TMapSize{16, 16});
        const TTerrainImport back = ImportTerrains(ReadMapCells(reader), *Classes);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                EXPECT_EQ(back.Code(x, y), model.CodeForColor(painted[size_t(y)][size_t(x)]))
                    << picture.Name << " at " << x << "," << y;
    }
}

TEST_F(SmallConfig, UnknownTilesAreCountedMostCommonFirst)
{
    TMapCells cells = CellsOf({"g??g", "?ggg"});
    cells.Tiles[1] = 1234; // one cell of another unknown tile
    const TTerrainImport import = ImportTerrains(cells, *Classes);
    EXPECT_EQ(import.UnknownCells, 3u);
    ASSERT_EQ(import.UnknownTiles.size(), 2u);
    EXPECT_EQ(import.UnknownTiles[0], (std::pair<uint16_t, uint64_t>{999, 2}));
    EXPECT_EQ(import.UnknownTiles[1], (std::pair<uint16_t, uint64_t>{1234, 1}));
    EXPECT_EQ(import.Code(1, 0), UnknownTerrain);
    const std::vector<std::string> report = FormatImportReport(import, *Config);
    ASSERT_EQ(report.size(), 3u);
    EXPECT_NE(report[0].find("3 cells"), std::string::npos) << report[0];
    EXPECT_NE(report[0].find("red 255"), std::string::npos) << report[0];
    EXPECT_EQ(report[1], "  tile 999 (0x03E7): 2 cells");
}

TEST_F(SmallConfig, ThePictureHoldsTheRedOfEachTerrainAndReadsBackAsIt)
{
    const TTerrainImport import = ImportTerrains(CellsOf({"sgf?gggw", "sfgvgggw"}), *Classes);
    for (const TPictureKind kind : {TPictureKind::Bmp, TPictureKind::Png}) {
        const std::string path = Dir.File(kind == TPictureKind::Bmp ? "back.bmp" : "back.png");
        std::string bytes;
        WriteTerrainPicture(import, MakeTerrainPalette(*Config), kind,
                            [&](const uint8_t *Data, size_t Bytes) { bytes.append(reinterpret_cast<const char *>(Data), Bytes); });
        WriteFile(path, bytes);
        // A plain reader of the format gives the configuration's red values.
        const auto reds = PictureFiles::ReferenceReds(bytes);
        ASSERT_TRUE(reds.has_value());
        EXPECT_EQ(reds->Rows, (std::vector<std::vector<uint8_t>>{{230, 40, 9, 255, 40, 40, 40, 30},
                                                                 {230, 9, 40, 255, 40, 40, 40, 30}}));
        // And the picture loads as those terrains.
        TTerrainImage model(Dir.File("Tiles.ini"));
        model.LoadFromBMP(path);
        EXPECT_EQ(model.GetCell(1, 1).Code, DESERT);
        EXPECT_EQ(model.GetCell(3, 1).Code, FOREST);
        EXPECT_EQ(model.GetCell(4, 1).Code, NO_TERRAIN);
        EXPECT_EQ(model.GetCell(8, 2).Code, WATER);
    }
}

// The rules of ImportTerrains, each written the plain way: the sand by
// looking at every cell around, the coast by walking out ring by ring, the
// transitions by the scan without any shortcut.
TLargeVector<uint8_t> PlainImport(const TMapCells &Map, const TTileClasses &Classes)
{
    const int w = Map.Width, h = Map.Height;
    TLargeVector<uint8_t> codes(Map.Tiles.size());
    enum : uint8_t { Coast = 250, Transition = 252 };
    const auto at = [&](int x, int y) { return size_t(y) * size_t(w) + size_t(x); };
    const auto inside = [&](int x, int y) { return x >= 0 && y >= 0 && x < w && y < h; };
    for (size_t i = 0; i < codes.size(); ++i) {
        const TTileClass &c = Classes.Of(Map.Tiles[i]);
        codes[i] = c.Kind == TTileKind::Plain          ? c.Code
                   : c.Kind == TTileKind::Coast        ? uint8_t(Coast)
                   : c.Kind == TTileKind::Transition   ? uint8_t(Transition)
                   : c.Kind == TTileKind::Void         ? uint8_t(NO_TERRAIN)
                   : c.Kind == TTileKind::CoastOrPlain ? uint8_t(251)
                                                       : UnknownTerrain;
    }
    // Sand at a coast altitude; the squares of 9 x 9 of it, and all such
    // sand joined to one, neighbour by neighbour.
    const auto low = [&](int x, int y) {
        return inside(x, y) && Classes.Of(Map.Tiles[at(x, y)]).Kind == TTileKind::CoastOrPlain &&
               Classes.CoastAltitude(Map.Altitudes[at(x, y)]);
    };
    std::vector<uint8_t> wideLow(codes.size(), 0);
    for (int y0 = 0; y0 + 8 < h; ++y0)
        for (int x0 = 0; x0 + 8 < w; ++x0) {
            bool all = true;
            for (int y = y0; y <= y0 + 8; ++y)
                for (int x = x0; x <= x0 + 8; ++x)
                    all = all && low(x, y);
            if (all)
                wideLow[at(x0, y0)] = 1;
        }
    for (bool grew = true; grew;) {
        grew = false;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        if (wideLow[at(x, y)] && low(x + dx, y + dy) && !wideLow[at(x + dx, y + dy)]) {
                            wideLow[at(x + dx, y + dy)] = 1;
                            grew = true;
                        }
    }
    TLargeVector<uint8_t> sand = codes;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (codes[at(x, y)] != 251)
                continue;
            bool water = false;
            for (int dy = -CoastReach; dy <= CoastReach; ++dy)
                for (int dx = -CoastReach; dx <= CoastReach; ++dx)
                    water = water || (inside(x + dx, y + dy) && codes[at(x + dx, y + dy)] == WATER);
            // Where the altitude tells coast from land, it decides, but for
            // low sand joined to low sand that fills a square of 9 x 9 cells,
            // with no water within the reach: desert painted that low.
            if (Classes.AltitudesTellCoast())
                water = Classes.CoastAltitude(Map.Altitudes[at(x, y)]) && (!wideLow[at(x, y)] || water);
            sand[at(x, y)] = water ? uint8_t(Coast) : Classes.Of(Map.Tiles[at(x, y)]).Code;
        }
    codes = sand;
    const auto decided = [](uint8_t c) { return c == WATER || (c >= 1 && c <= 8); };
    // The nearest decided cell that Accept takes, the latest in the scan of
    // those as near; 0 when none lies within the reach.
    const auto nearestOf = [&](int x, int y, auto Accept) -> uint8_t {
        for (int r = 1; r <= 2 * CoastReach; ++r) {
            int bestX = -1, bestY = -1;
            for (int dy = -r; dy <= r; ++dy)
                for (int dx = -r; dx <= r; ++dx)
                    if (std::max(std::abs(dx), std::abs(dy)) == r && inside(x + dx, y + dy) &&
                        decided(codes[at(x + dx, y + dy)]) && Accept(codes[at(x + dx, y + dy)]) &&
                        (y + dy > bestY || (y + dy == bestY && x + dx > bestX))) {
                        bestX = x + dx;
                        bestY = y + dy;
                    }
            if (bestX >= 0)
                return codes[at(bestX, bestY)];
        }
        return 0;
    };
    TLargeVector<uint8_t> coast = codes;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (codes[at(x, y)] != Coast)
                continue;
            // The only neighbour off the coast north-east: the other side's terrain.
            bool onlyNorthEast = x > 0 && y > 0 && x + 1 < w && y + 1 < h && decided(codes[at(x + 1, y - 1)]);
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if ((dx != 0 || dy != 0) && (dx != 1 || dy != -1))
                        onlyNorthEast = onlyNorthEast && codes[at(x + dx, y + dy)] == Coast;
            const uint8_t land = nearestOf(x, y, [](uint8_t c) { return c != WATER; });
            const uint8_t nearest = nearestOf(x, y, [](uint8_t) { return true; });
            if (onlyNorthEast && codes[at(x + 1, y - 1)] != WATER)
                coast[at(x, y)] = WATER;
            else if (onlyNorthEast && land != 0)
                coast[at(x, y)] = land;
            else
                coast[at(x, y)] = nearest != 0 ? nearest : uint8_t(WATER);
        }
    std::vector<uint8_t> coastCell(codes.size(), 0);
    for (size_t i = 0; i < codes.size(); ++i)
        coastCell[i] = codes[i] == Coast;
    codes = coast;
    std::vector<uint8_t> onLine(codes.size(), 0);
    const int earlier[4][2] = {{-1, 0}, {-1, -1}, {0, -1}, {1, -1}}, later[4][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t &code = codes[at(x, y)];
            if (code == Transition) {
                const uint32_t candidates = Classes.Of(Map.Tiles[at(x, y)]).Candidates;
                uint32_t marking = 0;
                for (const auto &o : earlier)
                    if (inside(x + o[0], y + o[1]) && !onLine[at(x + o[0], y + o[1])] &&
                        decided(codes[at(x + o[0], y + o[1])]))
                        marking |= candidates & ~(1u << codes[at(x + o[0], y + o[1])]);
                const uint32_t choices = marking ? marking : candidates;
                code = 0;
                for (const auto &o : earlier) {
                    const int qx = x + o[0], qy = y + o[1];
                    if (code == 0 && inside(qx, qy) && onLine[at(qx, qy)] && codes[at(qx, qy)] >= 1 &&
                        codes[at(qx, qy)] <= 8 && (choices >> codes[at(qx, qy)] & 1))
                        code = codes[at(qx, qy)];
                }
                for (const auto &o : later) {
                    const int qx = x + o[0], qy = y + o[1];
                    if (code == 0 && inside(qx, qy) && codes[at(qx, qy)] >= 1 && codes[at(qx, qy)] <= 8 &&
                        (choices >> codes[at(qx, qy)] & 1))
                        code = codes[at(qx, qy)];
                }
                if (code == 0)
                    code = uint8_t(std::countr_zero(choices));
            }
            if (!decided(code))
                continue;
            const auto marks = [&](uint8_t Code) {
                bool any = false;
                for (const auto &o : earlier) {
                    const int qx = x + o[0], qy = y + o[1];
                    any = any || (inside(qx, qy) && !onLine[at(qx, qy)] && decided(codes[at(qx, qy)]) &&
                                  codes[at(qx, qy)] != Code);
                }
                return any;
            };
            onLine[at(x, y)] = marks(code);
            // A plain tile that transitions show too, off the line: a later
            // neighbour of another terrain (read as its plain tile says, not
            // coast) whose tile cannot be the transition that this cell would
            // give it puts this cell on the line, as that neighbour's terrain
            // where it can.
            const TTileClass &own = Classes.Of(Map.Tiles[at(x, y)]);
            const bool land = code >= 1 && code <= 8;
            if (onLine[at(x, y)] || !land || own.Kind == TTileKind::Transition || coastCell[at(x, y)])
                continue;
            const uint32_t others = own.Candidates & ~(1u << code);
            if (others == 0)
                continue;
            const bool westOnLine = x > 0 && onLine[at(x - 1, y)];
            uint8_t seen = 0;
            for (int k = 0; k < 4; ++k) {
                const int qx = x + later[k][0], qy = y + later[k][1];
                if (seen != 0 || !inside(qx, qy) || coastCell[at(qx, qy)])
                    continue;
                const TTileClass &c = Classes.Of(Map.Tiles[at(qx, qy)]);
                const uint8_t t = codes[at(qx, qy)];
                if (t != c.Code || t < 1 || t > 8 || t == code)
                    continue;
                // Its transition pairs the two terrains; the one below, and
                // the one south-west unless the west cell is on the line, has
                // this cell's terrain as its middle one.
                const bool middle = later[k][0] == 0 || (later[k][0] == -1 && !westOnLine);
                if (!(c.Candidates >> code & 1) || (middle && !(c.Middles >> code & 1)))
                    seen = t;
            }
            if (seen == 0)
                continue;
            uint32_t marking = 0;
            for (uint32_t t = 1; t <= 8; ++t)
                if ((others >> t & 1) && marks(uint8_t(t)))
                    marking |= 1u << t;
            if (marking == 0)
                continue;
            code = (marking >> seen & 1) ? seen : uint8_t(std::countr_zero(marking));
            onLine[at(x, y)] = 1;
        }
    return codes;
}

TEST_F(SmallConfig, TheFastImportGivesWhatThePlainRulesGive)
{
    // Grids of patches of 1 to 4 cells of every kind of tile, of sizes that
    // split in two halves unevenly too.
    uint32_t state = 7;
    const auto next = [&state](uint32_t n) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % n;
    };
    const std::string letters = "gghfffsssddwwwcct?vr";
    for (int round = 0; round < 160; ++round) {
        // Every fourth grid has patches of 9 to 12 cells, seldom broken:
        // wide low sand.
        const bool wide = round % 4 == 0;
        const int w = 1 + int(next(64)), h = 1 + int(next(45)), patch = wide ? 9 + int(next(4)) : 1 + int(next(4));
        std::vector<std::string> rows(size_t(h), std::string(size_t(w), 'g'));
        std::vector<char> patches(size_t((w / patch + 1) * (h / patch + 1)));
        for (char &c : patches)
            c = letters[next(uint32_t(letters.size()))];
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                rows[size_t(y)][size_t(x)] = next(wide ? 200 : 8) == 0 ? letters[next(uint32_t(letters.size()))]
                                                          : patches[size_t(y / patch * (w / patch + 1) + x / patch)];
        TMapCells cells = CellsOf(rows);
        ASSERT_EQ(ImportTerrains(cells, *Classes).Codes, PlainImport(cells, *Classes)) << "round " << round;
        // The same with altitudes that tell sand on the coast from sand off it.
        for (int8_t &altitude : cells.Altitudes)
            altitude = next(wide ? 400 : 3) == 0 ? int8_t(-1) : int8_t(-3);
        ASSERT_EQ(ImportTerrains(cells, *HeightsClasses).Codes, PlainImport(cells, *HeightsClasses))
            << "round " << round << " with heights";
    }
}

TEST(ImportTiles, BadEntriesNameTheFileTheSectionAndTheKey)
{
    TTempDir dir;
    const struct
    {
        const char *Line;
        const char *Says;
    } cases[] = {
        {"ROADS=5", "names no terrain"},
        {"GRASS=5-x", "is not a tile number"},
        {"GRASS=70000", "is not a tile number"},
        {"GRASS=9-5", "ends below its start"},
    };
    for (const auto &c : cases) {
        WriteFile(dir.File("Tiles.ini"), std::string("[ImportTiles]\n") + c.Line + "\n");
        try {
            ReadImportTiles(dir.File("Tiles.ini"));
            ADD_FAILURE() << c.Line;
        } catch (const EConvertError &error) {
            EXPECT_EQ(error.FileName, dir.File("Tiles.ini"));
            EXPECT_NE(std::string(error.what()).find(c.Says), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find("[ImportTiles]"), std::string::npos) << error.what();
        }
    }
    // A key on two lines gives both.
    WriteFile(dir.File("Tiles.ini"), "[ImportTiles]\nGRASS=1-2\nforest=9\nGRASS=5\n");
    const std::vector<TImportTile> tiles = ReadImportTiles(dir.File("Tiles.ini"));
    ASSERT_EQ(tiles.size(), 4u);
    EXPECT_EQ(tiles[2].Tile, 5);
    EXPECT_EQ(tiles[2].Code, GRASS);
    EXPECT_EQ(tiles[3].Code, FOREST);
}

} // namespace
