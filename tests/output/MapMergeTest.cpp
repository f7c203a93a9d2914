// A merge at the level of the Generate command: the remade cells draw as a
// whole run over the new picture does, the kept cells and everything outside
// stay, the altitudes join, and a stopped or failed merge into the map itself
// leaves it as it was.
#include "ClassTerrainImage.h"
#include "FastStages.h"
#include "KeptCodes.h"
#include "MapMerge.h"
#include "MergeHeights.h"
#include "MapRuns.h"
#include "Platform.h"
#include "TerrainPicture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <tuple>

using namespace TestSupport;

namespace {

const TMapSize Size{256, 192};

class TStopper : public TGenerateObserver
{
public:
    int StopAfterColumn = -1, StopAfterStage = -1;
    int Columns = 0, Stages = 0;
    void StageEnds(int, int) override { ++Stages; }
    void ColumnWritten(int, int) override { ++Columns; }
    bool StopRequested() override
    {
        return (StopAfterColumn >= 0 && Columns > StopAfterColumn) || (StopAfterStage >= 0 && Stages > StopAfterStage);
    }
};

// A map of a painted world (map0.mul), and its picture with a round lake of
// radius 10 at 128,96 painted on it (lake.bmp).
class MapMerge : public testing::Test
{
protected:
    void SetUp() override
    {
        Config = std::make_unique<TTerrainImage>(BundledTilesPath());
        SaveRedBmp(Dir.File("world.bmp"), MapRuns::PaintedRegions(*Config, Size.Width, Size.Height, 9));
        TTerrainImage model(BundledTilesPath());
        MapRuns::Generate(model, Dir.File("world.bmp"), Dir.File("map0.mul"), Size, 21);
        Picture = MapRuns::Imported(*Config, Dir.File("map0.mul"), Size);
        SavePicture(Dir.File("lake.bmp"), Repainted({{128, 96, 10, WATER}}));
    }

    struct TDisc
    {
        int X, Y, Radius;
        uint16_t Code;
    };
    // The imported picture with discs painted on it.
    TTerrainImport Repainted(const std::vector<TDisc> &Discs) const
    {
        TTerrainImport picture = Picture;
        for (const TDisc &disc : Discs)
            for (int y = 0; y < Size.Height; ++y)
                for (int x = 0; x < Size.Width; ++x)
                    if ((x - disc.X) * (x - disc.X) + (y - disc.Y) * (y - disc.Y) <= disc.Radius * disc.Radius)
                        picture.Codes[size_t(y) * size_t(Size.Width) + size_t(x)] = uint8_t(disc.Code);
        return picture;
    }
    void SavePicture(const std::string &Path, const TTerrainImport &Picture) const
    {
        std::string bytes;
        WriteTerrainPicture(Picture, MakeTerrainPalette(*Config), TPictureKind::Bmp,
                            [&](const uint8_t *Data, size_t Count) { bytes.append(reinterpret_cast<const char *>(Data), Count); });
        WriteFile(Path, bytes);
    }

    // Merges the picture (lake.bmp unless named) into map0.mul, written to
    // Output; the model it ran on. AfterLoad, when given, changes the model
    // after the picture is loaded (painted heights).
    TGenerateResult Merge(const std::string &Output, TTerrainImage &Model, TMergeRegion &Region,
                          TGenerateObserver &Observer, TMergeStages Stages = TMergeStages::OnRemadePart,
                          const std::string &PicturePath = {},
                          const std::function<void(TTerrainImage &)> &AfterLoad = {})
    {
        Random::SetFixedSeed(21);
        // As the command line does it: the map read on a thread of its own
        // while the picture loads and the first stages run.
        const TTileClasses classes(Model, {});
        TExistingMapReading reading(Dir.File(ExistingMap), Size, TLoadOptions::DefaultMemoryBudget, classes);
        TLoadOptions load;
        load.DeferStartAltitudes = true;
        Model.LoadFromBMP(PicturePath.empty() ? Dir.File("lake.bmp") : PicturePath, load);
        if (AfterLoad)
            AfterLoad(Model);
        TMergeStatics statics;
        statics.Ours = [](uint16_t) { return false; };
        TStaticsMergeReport report;
        const TGenerateResult result =
            RunGenerateCommand(Model, TMapOutput::ForFile(Output, Size), Observer,
                               MakeMergeRun(reading, Region, statics, report, Stages));
        Random::SetFixedSeed(std::nullopt);
        return result;
    }

    TTempDir Dir;
    std::unique_ptr<TTerrainImage> Config;
    TTerrainImport Picture; // map0.mul imported
    std::string ExistingMap = "map0.mul"; // in Dir: the map merged into
};

TMapCells CellsOf(const std::string &Path)
{
    TMapReader reader(Path, Size);
    return ReadMapCells(reader);
}

} // namespace

// The region against the rule written out plainly: a block is remade when a
// changed cell lies within MergeMargin cells (on both axes) of one of its
// cells; its cells are remade unless their tile is unknown. Changes at the
// edges, in corners, none at all, and an unknown tile read as no terrain.
TEST(MergeRegion, BlocksWithinTheMarginOfAChangeAreRemade)
{
    const TTerrainImage config(BundledTilesPath());
    const TTileClasses classes(config, {});
    const uint16_t grassTile = config.GetTileList(GRASS).front(), unknownTile = 0x3FF0;
    ASSERT_EQ(classes.Of(unknownTile).Kind, TTileKind::Unknown);
    uint32_t state = 5;
    const auto next = [&state](uint32_t n) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % n;
    };
    for (const auto &[width, height, changes] : {std::tuple{8, 8, 1}, std::tuple{64, 48, 0}, std::tuple{64, 48, 3},
                                                  std::tuple{72, 40, 12}, std::tuple{200, 96, 40}}) {
        for (int round = 0; round < 20; ++round) {
            TMapCells cells;
            cells.Width = width;
            cells.Height = height;
            cells.Tiles.assign(size_t(width) * size_t(height), grassTile);
            cells.Altitudes.assign(cells.Tiles.size(), 0);
            TTerrainImport existing;
            existing.Width = width;
            existing.Height = height;
            existing.Codes.assign(cells.Tiles.size(), GRASS);
            for (int k = 0; k < width * height / 20; ++k) {
                const size_t i = next(uint32_t(cells.Tiles.size()));
                cells.Tiles[i] = unknownTile;
                existing.Codes[i] = UnknownTerrain;
            }
            std::vector<uint8_t> painted(cells.Tiles.size());
            for (size_t i = 0; i < painted.size(); ++i)
                painted[i] = existing.Codes[i] == UnknownTerrain ? uint8_t(NO_TERRAIN) : uint8_t(GRASS);
            std::vector<std::pair<int, int>> changed;
            for (int k = 0; k < changes; ++k) {
                // Corners and edges now and then.
                const int x = next(4) == 0 ? int(next(2)) * (width - 1) : int(next(uint32_t(width)));
                const int y = next(4) == 0 ? int(next(2)) * (height - 1) : int(next(uint32_t(height)));
                uint8_t &code = painted[size_t(y) * size_t(width) + size_t(x)];
                code = code == GRASS ? uint8_t(WATER) : uint8_t(GRASS);
                changed.push_back({x, y});
            }
            const TMergeRegion region = FindMergeRegion(painted, existing, cells, classes);
            uint64_t changedCells = 0;
            for (size_t i = 0; i < painted.size(); ++i)
                changedCells += painted[i] != (existing.Codes[i] == UnknownTerrain ? uint8_t(NO_TERRAIN) : existing.Codes[i]);
            EXPECT_EQ(region.ChangedCells, changedCells);
            uint64_t remade = 0;
            for (int bx = 0; bx < width / 8; ++bx)
                for (int by = 0; by < height / 8; ++by) {
                    bool near = false;
                    for (const auto &[x, y] : changed)
                        near |= painted[size_t(y) * size_t(width) + size_t(x)] !=
                                    (existing.Codes[size_t(y) * size_t(width) + size_t(x)] == UnknownTerrain
                                         ? uint8_t(NO_TERRAIN) : existing.Codes[size_t(y) * size_t(width) + size_t(x)]) &&
                                x >= bx * 8 - MergeMargin && x <= bx * 8 + 7 + MergeMargin && y >= by * 8 - MergeMargin &&
                                y <= by * 8 + 7 + MergeMargin;
                    ASSERT_EQ(region.Blocks[size_t(bx) * size_t(height / 8) + size_t(by)], near ? 1 : 0)
                        << width << "x" << height << " round " << round << " block " << bx << "," << by;
                    remade += near;
                    for (int y = by * 8; y < by * 8 + 8; ++y)
                        for (int x = bx * 8; x < bx * 8 + 8; ++x)
                            ASSERT_EQ(region.Cells[cells.Index(x, y)], near && cells.Tiles[cells.Index(x, y)] != unknownTile);
                }
            EXPECT_EQ(region.RemadeBlocks, remade);
        }
    }
}

// The coast rings of a merge, a bit per cell, against the rings stage itself
// on random grids of water, coastline and land, of widths around the 64
// cells of a word.
TEST(MergeCoastRings, FixedWhereTheRingsStageFixes)
{
    uint32_t state = 11;
    const auto next = [&state](uint32_t n) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % n;
    };
    TTerrainImage model(BundledTilesPath());
    model.SetHeightProfile(THeightProfile{});
    for (const auto &[width, height] : {std::pair{1, 1}, std::pair{1, 30}, std::pair{7, 9}, std::pair{63, 20},
                                        std::pair{64, 17}, std::pair{65, 12}, std::pair{130, 40}}) {
        for (int round = 0; round < 10; ++round) {
            model.ResetGrid(uint16_t(width), uint16_t(height));
            const uint32_t sparse = 20 + next(200);
            for (int y = 1; y <= height; ++y)
                for (int x = 1; x <= width; ++x) {
                    const uint32_t r = next(sparse);
                    model.SetCell(x, y, r == 0 ? WATER : r == 1 ? COASTLINE : r == 2 ? MOUNTAIN : GRASS, 0);
                }
            // Alone, and with the writer's draws counted in the same pass.
            const TCoastRings rings(model);
            const TMapSize size{(width + 7) / 8 * 8, (height + 7) / 8 * 8};
            TMapDraws draws;
            const TCoastRings counted(model, size, draws);
            const TMapDraws alone = TMapFiller::CountDraws(model, size);
            EXPECT_EQ(draws.Columns, alone.Columns);
            EXPECT_EQ(draws.Blocks, alone.Blocks);
            FastStages::CoastHeights(model);
            for (int y = 1; y <= height; ++y)
                for (int x = 1; x <= width; ++x) {
                    ASSERT_EQ(rings.Fixed(x, y), model.GetFlag(x, y) == FLAG_FIXED)
                        << width << "x" << height << " round " << round << " at " << x << "," << y;
                    ASSERT_EQ(counted.Fixed(x, y), rings.Fixed(x, y)) << x << "," << y;
                }
        }
    }
}

TEST_F(MapMerge, RemadeCellsDrawAsAWholeRunAndTheAltitudesJoin)
{
    TTerrainImage model(BundledTilesPath());
    TMergeRegion region;
    TGenerateObserver quiet;
    ASSERT_EQ(Merge(Dir.File("merged.mul"), model, region, quiet).Outcome, TGenerateOutcome::Written);
    // The lake has 317 cells; those that were water before did not change.
    EXPECT_GT(region.ChangedCells, 0u);
    EXPECT_LE(region.ChangedCells, 317u);
    // The whole run of the new picture with the same seed.
    TTerrainImage whole(BundledTilesPath());
    MapRuns::Generate(whole, Dir.File("lake.bmp"), Dir.File("whole.mul"), Size, 21);

    const TMapCells before = CellsOf(Dir.File("map0.mul")), merged = CellsOf(Dir.File("merged.mul")),
                    wholeCells = CellsOf(Dir.File("whole.mul"));
    uint64_t remade = 0;
    int largestStep = 0, largestJoin = 0;
    for (int y = 0; y < Size.Height; ++y)
        for (int x = 0; x < Size.Width; ++x) {
            const size_t i = merged.Index(x, y);
            if (!region.Cells[i]) {
                ASSERT_EQ(merged.Tiles[i], before.Tiles[i]) << x << "," << y;
                ASSERT_EQ(merged.Altitudes[i], before.Altitudes[i]) << x << "," << y;
                continue;
            }
            ++remade;
            // The same tile draw as the whole run makes for that cell.
            EXPECT_EQ(merged.Tiles[i], wholeCells.Tiles[i]) << x << "," << y;
        }
    // No step between a remade and a kept cell is larger than the largest
    // step between two neighbours of the map before.
    for (int y = 0; y + 1 < Size.Height; ++y)
        for (int x = 0; x + 1 < Size.Width; ++x)
            for (const auto &[dx, dy] : {std::pair{1, 0}, std::pair{0, 1}}) {
                const size_t a = merged.Index(x, y), b = merged.Index(x + dx, y + dy);
                largestStep = std::max(largestStep, std::abs(before.Altitudes[a] - before.Altitudes[b]));
                if (region.Cells[a] != region.Cells[b])
                    largestJoin = std::max(largestJoin, std::abs(merged.Altitudes[a] - merged.Altitudes[b]));
            }
    EXPECT_EQ(remade, region.RemadeBlocks * 64);
    EXPECT_LE(largestJoin, largestStep);
    std::printf("[ measured ] %llu blocks remade; largest step where remade meets kept %d, in the map before %d\n",
                static_cast<unsigned long long>(region.RemadeBlocks), largestJoin, largestStep);
}

// The stages run over the whole picture, so they warn of the whole of it: a
// merge reports the warnings of the cells it remakes, exactly those that a
// whole run of the picture gives there, and none of the kept cells.
TEST_F(MapMerge, OnlyTheWarningsOfRemadeCellsAreReported)
{
    class TWarnings : public TGenerateObserver
    {
    public:
        std::vector<TErrorItem> Items;
        void WarningsReady(const std::vector<std::string> &, const std::vector<TErrorItem> &Listed) override
        {
            Items = Listed;
        }
    };
    // Three terrains meeting beside the lake, where the warnings come from.
    SavePicture(Dir.File("junction.bmp"), Repainted({{128, 96, 10, WATER}, {124, 110, 5, DESERT}, {133, 110, 5, SNOW}}));
    TTerrainImage model(BundledTilesPath());
    TMergeRegion region;
    TWarnings merged;
    ASSERT_EQ(Merge(Dir.File("merged.mul"), model, region, merged, TMergeStages::OnRemadePart, Dir.File("junction.bmp"))
                  .Outcome,
              TGenerateOutcome::Written);

    TTerrainImage whole(BundledTilesPath());
    Random::SetFixedSeed(21);
    whole.LoadFromBMP(Dir.File("junction.bmp"));
    TWarnings all;
    ASSERT_EQ(RunGenerateCommand(whole, TMapOutput::ForFile(Dir.File("whole.mul"), Size), all).Outcome,
              TGenerateOutcome::Written);
    Random::SetFixedSeed(std::nullopt);
    std::vector<std::tuple<int, int, std::string>> expected, got;
    size_t kept = 0;
    for (const TErrorItem &item : all.Items)
        if (region.Cells[size_t(item.Y) * size_t(Size.Width) + item.X])
            expected.emplace_back(item.X, item.Y, item.Text);
        else
            ++kept;
    for (const TErrorItem &item : merged.Items)
        got.emplace_back(item.X, item.Y, item.Text);
    EXPECT_FALSE(expected.empty());
    EXPECT_GT(kept, 0u);
    EXPECT_EQ(got, expected);
}

// The height stages run only around the remade blocks; over the whole grid
// they must give the same grid and the same map, for changes in one place,
// far apart (the part is then nearly the whole grid, cut at its edges), of
// mountains (seeds by the mountain window, the mountain smoothing) and with
// painted heights (rings and seeds then over the whole grid).
TEST_F(MapMerge, HeightStagesOnTheRemadePartGiveWhatTheWholeGridGives)
{
    struct TCase
    {
        const char *Name;
        std::vector<TDisc> Discs;
        bool PaintedHeights;
    };
    const std::vector<TCase> cases = {
        {"one lake", {{128, 96, 10, WATER}}, false},
        {"far apart, at the edges", {{3, 4, 6, WATER}, {250, 188, 12, MOUNTAIN}}, false},
        {"mountains", {{128, 96, 30, MOUNTAIN}, {60, 150, 14, SNOW}}, false},
        {"painted heights", {{128, 96, 30, MOUNTAIN}, {60, 150, 14, WATER}}, true},
    };
    const auto paintHeights = [](TTerrainImage &Model) {
        Model.ResetPaintedHeights(true);
        for (int y = 1; y <= Model.GetHeight(); ++y)
            for (int x = 1; x <= Model.GetWidth(); ++x)
                Model.SetPaintedAltitude(x, y, (x * 7 + y * 3) % 50 - 5);
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string picture = Dir.File("repainted.bmp");
        SavePicture(picture, Repainted(c.Discs));
        std::string maps[2];
        std::vector<TCell> cells[2];
        std::vector<uint8_t> flags[2];
        uint64_t remade = 0;
        for (const TMergeStages stages : {TMergeStages::OnRemadePart, TMergeStages::OverWholeGrid}) {
            const size_t k = stages == TMergeStages::OverWholeGrid;
            TTerrainImage model(BundledTilesPath());
            TMergeRegion region;
            TGenerateObserver quiet;
            const std::function<void(TTerrainImage &)> afterLoad =
                c.PaintedHeights ? paintHeights : std::function<void(TTerrainImage &)>();
            ASSERT_EQ(Merge(Dir.File("merged.mul"), model, region, quiet, stages, picture, afterLoad).Outcome,
                      TGenerateOutcome::Written);
            maps[k] = ReadFile(Dir.File("merged.mul"));
            cells[k].assign(model.CellData(), model.CellData() + model.Index(0, model.GetHeight() + 2));
            flags[k].assign(model.FlagData(), model.FlagData() + model.Index(0, model.GetHeight() + 2));
            remade = region.RemadeBlocks;
        }
        EXPECT_GT(remade, 0u);
        EXPECT_NE(maps[0], ReadFile(Dir.File("map0.mul")));
        EXPECT_TRUE(maps[0] == maps[1]);
        EXPECT_TRUE(cells[0] == cells[1]);
        EXPECT_TRUE(flags[0] == flags[1]);
    }
}

// A UOP map: the kept block-columns are written from the map as read, the
// container numbering their blocks; the same cells as a merge into the MUL.
TEST_F(MapMerge, AMergeIntoAUopMapKeepsWhatAMergeIntoTheMulKeeps)
{
    TTerrainImage world(BundledTilesPath());
    MapRuns::Generate(world, Dir.File("world.bmp"), Dir.File("map0LegacyMUL.uop"), Size, 21);
    TGenerateObserver quiet;
    TMergeRegion region;
    {
        TTerrainImage model(BundledTilesPath());
        ASSERT_EQ(Merge(Dir.File("merged.mul"), model, region, quiet).Outcome, TGenerateOutcome::Written);
    }
    const TMapCells mul = CellsOf(Dir.File("merged.mul"));
    EXPECT_GT(region.RemadeBlocks, 0u);
    EXPECT_FALSE(mul.Tiles == CellsOf(Dir.File("map0.mul")).Tiles);
    // From either form into either form (a MUL output is written ahead, a
    // UOP one in order).
    for (const auto &[existing, output] : {std::pair{"map0LegacyMUL.uop", "merged.uop"},
                                           std::pair{"map0LegacyMUL.uop", "fromuop.mul"},
                                           std::pair{"map0.mul", "frommul.uop"}}) {
        ExistingMap = existing;
        TTerrainImage model(BundledTilesPath());
        ASSERT_EQ(Merge(Dir.File(output), model, region, quiet).Outcome, TGenerateOutcome::Written);
        const TMapCells merged = CellsOf(Dir.File(output));
        EXPECT_TRUE(merged.Tiles == mul.Tiles) << existing << " into " << output;
        EXPECT_TRUE(merged.Altitudes == mul.Altitudes) << existing << " into " << output;
    }
}

TEST_F(MapMerge, AStoppedOrFailedMergeIntoTheMapItselfLeavesItAsItWas)
{
    const std::string before = ReadFile(Dir.File("map0.mul"));
    const std::vector<std::string> files{"lake.bmp", "map0.mul", "world.bmp"};
    // Stopped while the map is written, in the height stages, and after the
    // first stage, while the map is still read and written ahead.
    for (const auto &[column, stage] : {std::pair{3, -1}, std::pair{-1, 7}, std::pair{-1, 1}}) {
        TTerrainImage model(BundledTilesPath());
        TMergeRegion region;
        TStopper stopper;
        stopper.StopAfterColumn = column;
        stopper.StopAfterStage = stage;
        EXPECT_EQ(Merge(Dir.File("map0.mul"), model, region, stopper).Outcome, TGenerateOutcome::Aborted);
        EXPECT_EQ(ReadFile(Dir.File("map0.mul")), before);
        EXPECT_EQ(ListDir(Dir.Path()), files);
    }
    // The last step of the save, putting the new file in the map's place,
    // fails; and every write fails (the first one written ahead).
    for (const std::string failing : {"replace", "write"}) {
        Platform::SetFaultHook([failing](const std::string &Operation, const std::string &) {
            return Operation == failing ? Platform::TError{Platform::TErrorKind::InputOutput, 0} : Platform::TError{};
        });
        TTerrainImage model(BundledTilesPath());
        TMergeRegion region;
        TGenerateObserver quiet;
        const TGenerateResult result = Merge(Dir.File("map0.mul"), model, region, quiet);
        Platform::SetFaultHook(nullptr);
        EXPECT_EQ(result.Outcome, TGenerateOutcome::Failed) << failing;
        EXPECT_NE(result.Error.find("map0.mul"), std::string::npos) << result.Error;
        EXPECT_EQ(ReadFile(Dir.File("map0.mul")), before);
        EXPECT_EQ(ListDir(Dir.Path()), files);
    }
    // And a merge that goes through replaces it.
    TTerrainImage model(BundledTilesPath());
    TMergeRegion region;
    TGenerateObserver quiet;
    EXPECT_EQ(Merge(Dir.File("map0.mul"), model, region, quiet).Outcome, TGenerateOutcome::Written);
    EXPECT_NE(ReadFile(Dir.File("map0.mul")), before);
}

// The reading of the existing map on its thread: ended without a picture to
// compare, it does not wait for one; what it could not read, or a picture of
// another size, is thrown where the region is taken.
TEST_F(MapMerge, AReadingEndsWithoutAPictureAndTellsWhatFailed)
{
    const TTileClasses classes(*Config, {});
    {
        TExistingMapReading reading(Dir.File("map0.mul"), Size, TLoadOptions::DefaultMemoryBudget, classes);
        EXPECT_EQ(reading.Opened().Size.Width, Size.Width);
    }
    WriteFile(Dir.File("short.mul"), std::string(1000, 'x'));
    {
        TExistingMapReading reading(Dir.File("short.mul"), Size, TLoadOptions::DefaultMemoryBudget, classes);
        EXPECT_THROW(reading.Opened(), EMapReadError);
        reading.ComparePicture(Picture.Codes);
        EXPECT_THROW(reading.TakeRegion(), EMapReadError);
    }
    TExistingMapReading reading(Dir.File("map0.mul"), Size, TLoadOptions::DefaultMemoryBudget, classes);
    const std::vector<uint8_t> tooSmall(Picture.Codes.size() - 1, 0);
    reading.ComparePicture(tooSmall);
    EXPECT_THROW(reading.ComparePicture(tooSmall), std::logic_error);
    EXPECT_THROW(reading.TakeRegion(), std::invalid_argument);
}

// After a merge of the unchanged picture every cell is kept; the codes the
// stages gave them differ from what the map shows along some shores (water
// where the map shows coast). Taken as written, every kept cell's code names
// a list that holds its tile, as the configuration states it.
TEST_F(MapMerge, KeptCellsTakeCodesThatShowTheirTilesForTheReport)
{
    SavePicture(Dir.File("same.bmp"), Picture);
    TTerrainImage model(BundledTilesPath());
    TMergeRegion region;
    TGenerateObserver quiet;
    ASSERT_EQ(Merge(Dir.File("merged.mul"), model, region, quiet, TMergeStages::OnRemadePart, Dir.File("same.bmp")).Outcome,
              TGenerateOutcome::Written);
    ASSERT_EQ(region.RemadeBlocks, 0u);
    const TMapCells cells = CellsOf(Dir.File("merged.mul"));
    const auto shows = [&](uint16_t Code, uint16_t Tile) {
        if (Code >= 256)
            return model.GetTransitionTile(Code) == Tile;
        const uint8_t list = Code == NO_TERRAIN ? uint8_t(VOID) : uint8_t(Code);
        const std::vector<uint16_t> &tiles = model.GetTileList(list);
        return std::find(tiles.begin(), tiles.end(), Tile) != tiles.end();
    };
    const auto wrong = [&] {
        uint64_t count = 0, waterOffWater = 0;
        for (int y = 0; y < Size.Height; ++y)
            for (int x = 0; x < Size.Width; ++x) {
                const uint16_t code = model.GetCell(x + 1, y + 1).Code;
                const bool fits = shows(code, cells.Tiles[cells.Index(x, y)]);
                count += !fits;
                waterOffWater += !fits && code == WATER;
            }
        return std::pair{count, waterOffWater};
    };
    const auto [before, waterBefore] = wrong();
    EXPECT_GT(waterBefore, 0u);
    EXPECT_EQ(ShowKeptCellsAsWritten(model, cells, TTileClasses(model, {}), region), before);
    EXPECT_EQ(wrong(), (std::pair<uint64_t, uint64_t>{0, 0}));
    std::printf("[ measured ] %llu of %d kept cells took the code their tile shows\n",
                static_cast<unsigned long long>(before), Size.Width * Size.Height);
}
