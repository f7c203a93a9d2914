// The fast smoothing stages against the straightforward SmoothTerrain
// and SmoothMountains: the same grid, cell by cell and flag by flag, and the
// same generator state afterwards, for every thread count and both kernel
// forms (AVX2 where the processor has it, and portable).
#include "ClassTerrainImage.h"
#include "FastSmoothing.h"
#include "FastStages.h"
#include "Pipeline.h"
#include "PipelineTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

enum class TStage { Terrain, Mountains };

struct TVariant
{
    const char *Name;
    FastSmoothing::TOptions Options;
};

// One thread, two (the wavefront between bands and passes), and three (more
// than the bands of most small grids) with the portable kernels.
const TVariant Variants[] = {
    {"1 thread", {1, true}},
    {"2 threads", {2, true}},
    {"3 threads portable", {3, false}},
};

// The portable kernels are the same template as the AVX2 ones but slow under
// the sanitizers: they run on the grids up to this size.
constexpr int PortableCellsAtMost = 20000;

void CopyGrid(const TTerrainImage &from, TTerrainImage &to)
{
    to.ResetGrid(uint16_t(from.GetWidth()), uint16_t(from.GetHeight()));
    if (from.GetWidth() == 0 || from.GetHeight() == 0)
        return; // an empty grid has no frame either
    const size_t cells = size_t(from.GetWidth() + 2) * size_t(from.GetHeight() + 2);
    std::memcpy(to.CellData(), from.CellData(), cells * sizeof(TCell));
    std::memcpy(to.FlagData(), from.FlagData(), cells);
}

testing::AssertionResult SameGrid(const TTerrainImage &expected, const TTerrainImage &actual)
{
    if (expected.GetWidth() != actual.GetWidth() || expected.GetHeight() != actual.GetHeight())
        return testing::AssertionFailure() << "grid sizes differ";
    if (expected.GetWidth() == 0 || expected.GetHeight() == 0)
        return testing::AssertionSuccess();
    int differences = 0;
    std::string first;
    // The frame included: it must stay empty.
    for (int y = 0; y <= expected.GetHeight() + 1; ++y)
        for (int x = 0; x <= expected.GetWidth() + 1; ++x) {
            const size_t i = expected.Index(x, y);
            const TCell e = expected.CellData()[i];
            const TCell a = actual.CellData()[i];
            if (e == a && expected.FlagData()[i] == actual.FlagData()[i])
                continue;
            if (differences++ == 0) {
                std::ostringstream text;
                text << "(" << x << ", " << y << "): expected code " << e.Code << " altitude " << int(e.Altitude)
                     << " flag " << int(expected.FlagData()[i]) << ", got code " << a.Code << " altitude "
                     << int(a.Altitude) << " flag " << int(actual.FlagData()[i]);
                first = text.str();
            }
        }
    if (differences == 0)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << differences << " cells differ, first " << first;
}

// Runs the straightforward stage on a copy of source and every fast variant
// on further copies, and compares grids and generator states. Returns the
// straightforward result in source.
void ExpectFastMatches(TTerrainImage &source, TStage stage, const std::string &what)
{
    TTerrainImage expected(TestSupport::BundledTilesPath());
    CopyGrid(source, expected);
    if (stage == TStage::Terrain)
        SmoothTerrain(expected);
    else
        SmoothMountains(expected);
    const TPcg32 generatorAfter = Random::Generator();

    for (const TVariant &variant : Variants) {
        if (!variant.Options.UseAvx2 && source.GetWidth() * source.GetHeight() > PortableCellsAtMost)
            continue;
        TTerrainImage actual(TestSupport::BundledTilesPath());
        CopyGrid(source, actual);
        Random::Generator().Seed(7, 7); // anything but the state the stage leaves
        if (stage == TStage::Terrain)
            FastSmoothing::SmoothTerrain(actual, variant.Options);
        else
            FastSmoothing::SmoothMountains(actual, variant.Options);
        EXPECT_TRUE(SameGrid(expected, actual)) << what << ", " << variant.Name;
        EXPECT_EQ(Random::Generator().State, generatorAfter.State) << what << ", " << variant.Name;
        EXPECT_EQ(Random::Generator().Inc, generatorAfter.Inc) << what << ", " << variant.Name;
    }
    CopyGrid(expected, source);
}

// A grid drawn cell by cell: codes from a weighted list, altitudes over the
// whole signed range, flags from a weighted list.
struct TRandomGrid
{
    const char *Name;
    int Width;
    int Height;
    std::vector<uint16_t> Codes;   // drawn with equal weight; repeat a code to weight it
    std::vector<uint8_t> Flags;    // likewise
    int LowestAltitude;
    int HighestAltitude;
};

void DrawGrid(TTerrainImage &model, const TRandomGrid &grid, uint64_t seed)
{
    TPcg32 random;
    random.Seed(seed, 11);
    model.ResetGrid(uint16_t(grid.Width), uint16_t(grid.Height));
    const uint32_t span = uint32_t(grid.HighestAltitude - grid.LowestAltitude + 1);
    for (int y = 1; y <= grid.Height; ++y)
        for (int x = 1; x <= grid.Width; ++x) {
            const uint16_t code = grid.Codes[random.Random(uint32_t(grid.Codes.size()))];
            model.SetCell(x, y, code, grid.LowestAltitude + int(random.Random(span)));
            model.SetFlag(x, y, grid.Flags[random.Random(uint32_t(grid.Flags.size()))]);
        }
}

const std::vector<uint16_t> MixedCodes = {NO_TERRAIN, DIRT, MOUNTAIN, MOUNTAIN, GRASS, FOREST, WATER, COASTLINE, 0x0753, 0x0215};
const std::vector<uint16_t> MostlyMountain = {MOUNTAIN, MOUNTAIN, MOUNTAIN, MOUNTAIN, MOUNTAIN, MOUNTAIN, GRASS, NO_TERRAIN};
const std::vector<uint16_t> LandOnly = {DIRT, GRASS, FOREST, JUNGLE};
const std::vector<uint8_t> MixedFlags = {FLAG_NONE, FLAG_NONE, FLAG_NONE, FLAG_FIXED, FLAG_SEED, FLAG_RING, 9};
const std::vector<uint8_t> NoFlags = {FLAG_NONE};

// Sizes around the 32-row bands and the frame: one row or column, one and
// two bands exactly and one row more, wide grids with few bands.
const TRandomGrid RandomGrids[] = {
    {"1 x 1", 1, 1, MixedCodes, MixedFlags, -128, 127},
    {"1 x 1 mountain", 1, 1, {MOUNTAIN}, NoFlags, -128, 127},
    {"2 x 1", 2, 1, MixedCodes, MixedFlags, -128, 127},
    {"1 x 2", 1, 2, MostlyMountain, MixedFlags, -128, 127},
    {"2 x 2", 2, 2, MostlyMountain, NoFlags, -128, 127},
    {"1 x 70", 1, 70, MixedCodes, MixedFlags, -128, 127},
    {"70 x 1", 70, 1, MostlyMountain, MixedFlags, -128, 127},
    {"5 x 32", 5, 32, MixedCodes, MixedFlags, -128, 127},
    {"9 x 33", 9, 33, MostlyMountain, MixedFlags, -128, 127},
    {"17 x 64", 17, 64, MixedCodes, MixedFlags, -128, 127},
    {"40 x 65", 40, 65, MostlyMountain, MixedFlags, -128, 127},
    {"130 x 97 land", 130, 97, LandOnly, MixedFlags, -128, 127},
    {"120 x 100 mixed", 120, 100, MixedCodes, MixedFlags, -128, 127},
    {"100 x 70 extremes", 100, 70, MixedCodes, MixedFlags, 120, 127},
    {"100 x 70 lows", 100, 70, MostlyMountain, MixedFlags, -128, -120},
    {"1500 x 40 wide", 1500, 40, MixedCodes, MixedFlags, -128, 127},
    {"600 x 33 wide", 600, 33, MostlyMountain, MixedFlags, -128, 127},
};

TEST(FastSmoothing, MatchesOnRandomGrids)
{
    Random::SetFixedSeed(5);
    uint64_t seed = 1;
    for (const TRandomGrid &grid : RandomGrids) {
        TTerrainImage model(TestSupport::BundledTilesPath());
        DrawGrid(model, grid, seed++);
        ExpectFastMatches(model, TStage::Terrain, std::string(grid.Name) + " terrain");
        ExpectFastMatches(model, TStage::Mountains, std::string(grid.Name) + " mountains");
    }
    Random::SetFixedSeed(std::nullopt);
}

TEST(FastSmoothing, EmptyGridOnlyReseeds)
{
    Random::SetFixedSeed(3);
    TTerrainImage model(TestSupport::BundledTilesPath());
    model.ResetGrid(0, 0);
    ExpectFastMatches(model, TStage::Terrain, "empty terrain");
    ExpectFastMatches(model, TStage::Mountains, "empty mountains");
    Random::SetFixedSeed(std::nullopt);
}

// Every altitude 0 to 3 among land that counts: no cell ends more than the
// tolerance from its highest or lowest neighbour, so stage 8 makes one pass,
// which still moves cells.
TEST(FastSmoothing, TerrainStopsAfterOnePassWhenTheFirstConverges)
{
    Random::SetFixedSeed(4);
    TTerrainImage model(TestSupport::BundledTilesPath());
    DrawGrid(model, {"gentle", 150, 90, LandOnly, NoFlags, 0, 3}, 21);
    const std::vector<std::vector<int>> before = TestSupport::GridAltitudes(model);
    ExpectFastMatches(model, TStage::Terrain, "gentle land");
    EXPECT_NE(TestSupport::GridAltitudes(model), before);
    Random::SetFixedSeed(std::nullopt);
}

// Stage 9: no steep slope anywhere (nothing changes), a steep slope at the
// very first cell, and one only late in the first pass (cells before it keep
// their altitudes in pass 1).
TEST(FastSmoothing, MountainFlagCases)
{
    Random::SetFixedSeed(6);
    const int width = 90;
    const int height = 70;
    TTerrainImage flat(TestSupport::BundledTilesPath());
    flat.ResetGrid(width, height);
    for (int y = 1; y <= height; ++y)
        for (int x = 1; x <= width; ++x) {
            // Mountains rising gently to the south-east, so no neighbour lies
            // lower than a limit allows; some seeds, some fixed cells, some
            // empty cells.
            flat.SetCell(x, y, (x * 7 + y * 3) % 23 == 0 ? NO_TERRAIN : MOUNTAIN, (x + y) / 3);
            if ((x * 5 + y) % 17 == 0)
                flat.SetFlag(x, y, FLAG_SEED);
            else if ((x + y * 11) % 19 == 0)
                flat.SetFlag(x, y, FLAG_FIXED);
        }

    {
        TTerrainImage model(TestSupport::BundledTilesPath());
        CopyGrid(flat, model);
        ExpectFastMatches(model, TStage::Mountains, "no steep slope");
        EXPECT_TRUE(SameGrid(flat, model)) << "nothing changes";
    }
    {
        TTerrainImage model(TestSupport::BundledTilesPath());
        CopyGrid(flat, model);
        model.SetCell(1, 1, MOUNTAIN, 100);
        model.SetFlag(1, 1, FLAG_NONE);
        ExpectFastMatches(model, TStage::Mountains, "steep at the first cell");
        EXPECT_NE(model.GetCell(1, 1).Altitude, 100);
    }
    for (const int steepRow : {40, 63, 64, 65, 70}) {
        TTerrainImage model(TestSupport::BundledTilesPath());
        CopyGrid(flat, model);
        const int steepColumn = steepRow == 70 ? width : 50;
        model.SetCell(steepColumn, steepRow, MOUNTAIN, 120);
        model.SetFlag(steepColumn, steepRow, FLAG_NONE);
        ExpectFastMatches(model, TStage::Mountains, "steep late, row " + std::to_string(steepRow));
    }
    {
        // A steep seed does not set the flag in pass 1: nothing changes.
        TTerrainImage model(TestSupport::BundledTilesPath());
        CopyGrid(flat, model);
        model.SetCell(30, 30, MOUNTAIN, 120);
        model.SetFlag(30, 30, FLAG_SEED);
        TTerrainImage before(TestSupport::BundledTilesPath());
        CopyGrid(model, before);
        ExpectFastMatches(model, TStage::Mountains, "steep seed only");
        EXPECT_TRUE(SameGrid(before, model));
    }
    {
        // Lone mountain cells (no counting neighbour) follow their own course,
        // before and after the first steep cell.
        TTerrainImage model(TestSupport::BundledTilesPath());
        CopyGrid(flat, model);
        for (const auto &[x, y, altitude] : {std::tuple{10, 10, 90}, {60, 60, -100}, {80, 20, 0}, {20, 50, 127}}) {
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    model.SetCell(x + dx, y + dy, NO_TERRAIN, 5);
            model.SetCell(x, y, MOUNTAIN, altitude);
        }
        model.SetFlag(60, 60, FLAG_SEED);
        model.SetCell(40, 30, MOUNTAIN, 110);
        model.SetFlag(40, 30, FLAG_NONE);
        ExpectFastMatches(model, TStage::Mountains, "lone mountain cells");
    }
    Random::SetFixedSeed(std::nullopt);
}

// The natural input: stages 1 to 7 of the real pipeline on a painted picture
// with water, coast, mountain areas large and small, single pixels, lines one
// pixel wide and unmatched pixels; then stage 8 and 9, and a second run of
// stages 6 to 9 on the same grid.
void PaintWorld(TTerrainImage &model, int width, int height, uint64_t seed)
{
    TPcg32 random;
    random.Seed(seed, 17);
    model.ResetGrid(uint16_t(width), uint16_t(height));
    const uint16_t codes[] = {DIRT, MOUNTAIN, DESERT, SNOW, GRASS, FOREST, JUNGLE, SWAMP, WATER, MOUNTAIN};
    struct TCentre
    {
        int X, Y;
        uint16_t Code;
    };
    std::vector<TCentre> centres(6 + random.Random(10));
    for (TCentre &c : centres)
        c = {int(random.Random(uint32_t(width))) + 1, int(random.Random(uint32_t(height))) + 1,
             codes[random.Random(std::size(codes))]};
    for (int y = 1; y <= height; ++y)
        for (int x = 1; x <= width; ++x) {
            long best = -1;
            uint16_t code = DIRT;
            for (const TCentre &c : centres) {
                const long d = long(c.X - x) * (c.X - x) + long(c.Y - y) * (c.Y - y);
                if (best < 0 || d < best) {
                    best = d;
                    code = c.Code;
                }
            }
            if (random.Random(40) == 0)
                code = codes[random.Random(std::size(codes))]; // single pixels
            if (random.Random(200) == 0)
                code = NO_TERRAIN;
            if (x == width / 3 || y == height / 2)
                code = y % 2 ? WATER : MOUNTAIN; // lines one pixel wide
            const int altitude = code == WATER ? -75 : code == MOUNTAIN ? 20 + int(random.Random(55)) : int(random.Random(10));
            model.SetCell(x, y, code, altitude);
        }
}

TEST(FastSmoothing, MatchesAfterTheRealPipeline)
{
    struct TWorld
    {
        int Width, Height;
        uint64_t Seed;
    };
    // The last world with the altitudes of another height profile: water and
    // coast levelled, low rings and seeds, mountains lower.
    const THeightProfile game = PipelineTest::GameLikeProfile();
    for (const TWorld world : {TWorld{260, 150, 1}, TWorld{1500, 48, 2}, TWorld{97, 131, 3}, TWorld{97, 131, 4}}) {
        Random::SetFixedSeed(world.Seed);
        TTerrainImage model(TestSupport::BundledTilesPath());
        if (world.Seed == 4)
            model.SetHeightProfile(game);
        PaintWorld(model, world.Width, world.Height, world.Seed);
        const std::string name = std::to_string(world.Width) + " x " + std::to_string(world.Height);
        MarkBorders(model);
        ResolveSingleBorders(model);
        BuildTransitions(model);
        MarkCoastline(model);
        FinishTiles(model);
        for (int run = 1; run <= 2; ++run) {
            CoastHeights(model);
            RandomHeights(model);
            ExpectFastMatches(model, TStage::Terrain, name + " terrain, run " + std::to_string(run));
            ExpectFastMatches(model, TStage::Mountains, name + " mountains, run " + std::to_string(run));
        }
    }
    Random::SetFixedSeed(std::nullopt);
}

// The entry points Generate uses run the same computation.
TEST(FastSmoothing, StageEntryPointsMatch)
{
    Random::SetFixedSeed(9);
    TTerrainImage model(TestSupport::BundledTilesPath());
    DrawGrid(model, {"entry", 77, 45, MixedCodes, MixedFlags, -128, 127}, 33);
    TTerrainImage expected(TestSupport::BundledTilesPath());
    CopyGrid(model, expected);
    SmoothTerrain(expected);
    SmoothMountains(expected);
    FastStages::SmoothTerrain(model);
    FastStages::SmoothMountains(model);
    EXPECT_TRUE(SameGrid(expected, model));
    Random::SetFixedSeed(std::nullopt);
}

} // namespace
