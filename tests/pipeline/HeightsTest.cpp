// The height stages: coast rings, random seeds, terrain and mountain smoothing.
#include "PipelineTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

using PipelineTest::FlagLetters;
using PipelineTest::SetAltitudes;
using PipelineTest::SetFlags;
using PipelineTest::TTable;
using TestSupport::GridAltitudes;
using TestSupport::PaintGrid;

namespace {

// Fixes the seed of the shared generator for one test.
class TFixedSeed
{
public:
    explicit TFixedSeed(uint64_t seed) { Random::SetFixedSeed(seed); }
    ~TFixedSeed() { Random::SetFixedSeed(std::nullopt); }
};

// The generator as a stage re-seeded with a fixed seed starts it.
TPcg32 GeneratorAt(uint64_t seed, TSeedSite site)
{
    TPcg32 generator;
    generator.Seed(seed, uint64_t(site));
    return generator;
}

// The first draws that RandomHeights makes with a fixed seed, for the bounds given.
std::vector<int> SeedPointDraws(uint64_t seed, const std::vector<uint32_t> &bounds)
{
    TPcg32 generator = GeneratorAt(seed, TSeedSite::RandomHeights);
    std::vector<int> draws;
    for (uint32_t bound : bounds)
        draws.push_back(int(generator.Random(bound)));
    return draws;
}

// The first fixed seed whose draws satisfy the test's wish (where the seed
// points fall), so that the test can build its grid around them.
uint64_t FindSeed(const std::vector<uint32_t> &bounds, const std::function<bool(const std::vector<int> &)> &wanted)
{
    for (uint64_t seed = 1; seed < 1000000; ++seed)
        if (wanted(SeedPointDraws(seed, bounds)))
            return seed;
    throw std::runtime_error("no seed gives the wanted draws");
}

// The generator state after RandomHeights has drawn `draws` numbers.
uint64_t StateAfterDraws(uint64_t seed, int draws)
{
    TPcg32 generator = GeneratorAt(seed, TSeedSite::RandomHeights);
    for (int i = 0; i < draws; ++i)
        generator.Next32();
    return generator.State;
}

TTable Filled(int width, int height, int value) { return TTable(size_t(height), std::vector<int>(size_t(width), value)); }

// --- Stage 6 -------------------------------------------------------------------

// Rings at king distance 1, 2 and 3 from the water get -15, -12 and -1,
// whatever their terrain (mountain and no terrain included), and are fixed.
TEST(CoastHeights, RingsAtKingDistanceOneTwoThree)
{
    TTerrainImage model(TestSupport::FrozenTilesPath());
    PaintGrid(model, {"WGGGGGG", "GGGGGGG", "GGMGGGG", "GG0GGGG", "GGGGGGG"});
    auto start = Filled(7, 5, 5);
    start[0][0] = -75;
    start[2][2] = 40;
    SetAltitudes(model, start);

    CoastHeights(model);
    EXPECT_EQ(GridAltitudes(model), (TTable{
                                        {-75, -15, -12, -1, 5, 5, 5},
                                        {-15, -15, -12, -1, 5, 5, 5},
                                        {-12, -12, -12, -1, 5, 5, 5},
                                        {-1, -1, -1, -1, 5, 5, 5},
                                        {5, 5, 5, 5, 5, 5, 5},
                                    }));
    EXPECT_EQ(FlagLetters(model),
              (std::vector<std::string>{"FFFF...", "FFFF...", "FFFF...", "FFFF...", "......."}));
    EXPECT_EQ(model.GetCell(3, 3).Code, MOUNTAIN);
}

TEST(CoastHeights, CoastlineIsFixedLikeWater)
{
    TTerrainImage model(TestSupport::FrozenTilesPath());
    PaintGrid(model, {"GGGGGC"});
    SetAltitudes(model, {{9, 9, 9, 9, 9, -15}});
    CoastHeights(model);
    EXPECT_EQ(GridAltitudes(model), (TTable{{9, 9, -1, -12, -15, -15}}));
    EXPECT_EQ(FlagLetters(model), (std::vector<std::string>{"..FFFF"}));
}

TEST(CoastHeights, WithoutWaterNothingIsFixed)
{
    TTerrainImage model(TestSupport::FrozenTilesPath());
    PaintGrid(model, {"GMS", "F0D"});
    SetAltitudes(model, {{1, 2, 3}, {4, 5, 6}});
    CoastHeights(model);
    EXPECT_EQ(GridAltitudes(model), (TTable{{1, 2, 3}, {4, 5, 6}}));
    EXPECT_EQ(FlagLetters(model), (std::vector<std::string>{"...", "..."}));
}

// A second run without a new image load finds the old rings fixed: the new
// rings form outside them, and an old seed never becomes a ring cell.
TEST(CoastHeights, SecondRunGrowsRingsOutsideTheOldOnes)
{
    TTerrainImage model(TestSupport::FrozenTilesPath());
    PaintGrid(model, {"WGGGGGGGGG", "WGGGGGGGGG"});
    SetAltitudes(model, {{-75, 7, 7, 7, 7, 7, 7, 7, 7, 7}, {-75, 7, 7, 7, 7, 7, 7, 7, 7, 7}});
    CoastHeights(model);
    model.SetFlag(6, 2, FLAG_SEED); // a seed of the first run
    model.SetCell(6, 2, -1, 44);
    CoastHeights(model);
    EXPECT_EQ(GridAltitudes(model), (TTable{{-75, -15, -12, -1, -15, -12, -1, 7, 7, 7},
                                            {-75, -15, -12, -1, -15, 44, -1, 7, 7, 7}}));
    EXPECT_EQ(FlagLetters(model), (std::vector<std::string>{"FFFFFFF...", "FFFFFSF..."}));
}

// --- Stage 7 -------------------------------------------------------------------

// One seed point (a grid under 14 cells): x = -6 + random(15), y = -6 +
// random(15), x drawn first; here both fall at 8, so that the whole window
// from -6 to +2 and a cell beyond each of its sides lie inside a 12 x 12
// mountain grid.
TEST(RandomHeights, MountainWindowIsNineByNineFromMinusSixToPlusTwo)
{
    const uint64_t seed = FindSeed({15, 15}, [](const std::vector<int> &d) {
        return d[0] - 6 == 8 && d[1] - 6 == 8;
    });
    const auto draws = SeedPointDraws(seed, {15, 15, 15});
    const int x = draws[0] - 6, y = draws[1] - 6;

    // A cell of another terrain (a transition cell here) at these offsets from
    // the point: inside the window it stops the seed, outside it does not.
    struct TCase
    {
        int Dx, Dy;
        bool Seeded;
    } cases[] = {
        {0, 0, false},   // the point itself is not mountain: a low seed, see below
        {-6, -6, false}, {2, -6, false}, {-6, 2, false}, {2, 2, false}, {-3, 1, false},
        {-7, 0, true},   {3, 0, true},   {0, -7, true},  {0, 3, true},  {-7, -7, true},
    };
    for (const TCase &c : cases) {
        TFixedSeed fixed(seed);
        TTerrainImage model(TestSupport::FrozenTilesPath());
        model.ResetGrid(12, 12);
        for (int yy = 1; yy <= 12; ++yy)
            for (int xx = 1; xx <= 12; ++xx)
                model.SetCell(xx, yy, MOUNTAIN, 50);
        model.SetCell(x + c.Dx, y + c.Dy, PipelineTest::Transition(MOUNTAIN, GRASS, 3), -1000);

        RandomHeights(model);

        const std::string where = "other terrain at offset " + std::to_string(c.Dx) + "/" + std::to_string(c.Dy);
        if (c.Dx == 0 && c.Dy == 0) {
            // Not mountain: random(62) - 2, drawn as the third number.
            EXPECT_EQ(model.GetFlag(x, y), FLAG_SEED) << where;
            EXPECT_EQ(model.GetCell(x, y).Altitude, SeedPointDraws(seed, {15, 15, 62})[2] - 2) << where;
            EXPECT_EQ(Random::Generator().State, StateAfterDraws(seed, 3)) << where;
            continue;
        }
        EXPECT_EQ(model.GetFlag(x, y), c.Seeded ? FLAG_SEED : FLAG_NONE) << where;
        EXPECT_EQ(model.GetCell(x, y).Altitude, c.Seeded ? 110 + draws[2] : 50) << where;
        // A failed test draws nothing for the point.
        EXPECT_EQ(Random::Generator().State, StateAfterDraws(seed, c.Seeded ? 3 : 2)) << where;
        int seeds = 0;
        for (int yy = 1; yy <= 12; ++yy)
            for (int xx = 1; xx <= 12; ++xx)
                seeds += model.GetFlag(xx, yy) == FLAG_SEED;
        EXPECT_EQ(seeds, c.Seeded ? 1 : 0) << where;
    }
}

// A window that reaches beyond the left and top edge is tested on its inner part only.
TEST(RandomHeights, WindowBeyondLeftAndTopEdgeIsTestedInside)
{
    const uint64_t seed = FindSeed({15, 15}, [](const std::vector<int> &d) {
        return d[0] - 6 >= 1 && d[0] - 6 <= 6 && d[1] - 6 >= 1 && d[1] - 6 <= 6 && d[0] != d[1];
    });
    const auto draws = SeedPointDraws(seed, {15, 15, 15});
    const int x = draws[0] - 6, y = draws[1] - 6;

    TFixedSeed fixed(seed);
    TTerrainImage model(TestSupport::FrozenTilesPath());
    model.ResetGrid(10, 10);
    for (int yy = 1; yy <= 10; ++yy)
        for (int xx = 1; xx <= 10; ++xx)
            model.SetCell(xx, yy, MOUNTAIN, 50);
    RandomHeights(model);
    EXPECT_EQ(model.GetFlag(x, y), FLAG_SEED);
    EXPECT_EQ(model.GetCell(x, y).Altitude, 110 + draws[2]);
    EXPECT_GE(model.GetCell(x, y).Altitude, 110);
    EXPECT_LE(model.GetCell(x, y).Altitude, 124);
}

// A window that reaches beyond the right edge reads empty cells there: no
// seed and no draw for the point.
TEST(RandomHeights, WindowBeyondRightEdgeFails)
{
    const uint64_t seed = FindSeed({15, 15}, [](const std::vector<int> &d) {
        return d[0] - 6 >= 7 && d[1] - 6 >= 1;
    });
    const auto draws = SeedPointDraws(seed, {15, 15});
    TFixedSeed fixed(seed);
    TTerrainImage model(TestSupport::FrozenTilesPath());
    model.ResetGrid(8, 13); // x is 7 or 8, so x + 2 lies beyond column 8
    for (int yy = 1; yy <= 13; ++yy)
        for (int xx = 1; xx <= 8; ++xx)
            model.SetCell(xx, yy, MOUNTAIN, 50);
    RandomHeights(model);
    EXPECT_EQ(model.GetFlag(draws[0] - 6, draws[1] - 6), FLAG_NONE);
    EXPECT_EQ(GridAltitudes(model), Filled(8, 13, 50));
    EXPECT_EQ(Random::Generator().State, StateAfterDraws(seed, 2));
}

// Two points in a row: the first, a mountain point whose window reaches below
// the bottom edge, gets nothing and draws nothing; the second, on grass,
// therefore takes the third and fourth numbers as its position and the fifth
// for its altitude.
TEST(RandomHeights, WindowBeyondBottomEdgeFailsAndDrawsNothing)
{
    const uint64_t seed = FindSeed({15, 15, 15, 15}, [](const std::vector<int> &d) {
        const int x0 = d[0] - 6, y0 = d[1] - 6, x1 = 8 + d[2], y1 = d[3] - 6;
        return x0 >= 1 && y0 >= 5 && y0 <= 6 && x1 >= 13 && x1 <= 20 && y1 >= 1 && y1 <= 6;
    });
    const auto draws = SeedPointDraws(seed, {15, 15, 15, 15, 62});
    TFixedSeed fixed(seed);
    TTerrainImage model(TestSupport::FrozenTilesPath());
    model.ResetGrid(20, 6); // one row of two points
    for (int yy = 1; yy <= 6; ++yy)
        for (int xx = 1; xx <= 20; ++xx)
            model.SetCell(xx, yy, xx <= 12 ? MOUNTAIN : GRASS, 50);
    RandomHeights(model);

    auto expectedAltitudes = Filled(20, 6, 50);
    const int x1 = 8 + draws[2], y1 = draws[3] - 6;
    expectedAltitudes[size_t(y1 - 1)][size_t(x1 - 1)] = draws[4] - 2;
    EXPECT_EQ(GridAltitudes(model), expectedAltitudes);
    EXPECT_EQ(model.GetFlag(x1, y1), FLAG_SEED);
    EXPECT_EQ(model.GetFlag(draws[0] - 6, draws[1] - 6), FLAG_NONE);
    EXPECT_EQ(Random::Generator().State, StateAfterDraws(seed, 5));
}

// A fixed point draws nothing more and stays; a point on other terrain gets
// random(62) - 2; points outside the grid draw their number and change nothing.
TEST(RandomHeights, FixedOtherAndOutsidePoints)
{
    const uint64_t seed = FindSeed({15, 15}, [](const std::vector<int> &d) {
        return d[0] - 6 >= 1 && d[1] - 6 >= 1;
    });
    const auto draws = SeedPointDraws(seed, {15, 15, 62});
    const int x = draws[0] - 6, y = draws[1] - 6;
    for (const bool fixedPoint : {false, true}) {
        TFixedSeed fixed(seed);
        TTerrainImage model(TestSupport::FrozenTilesPath());
        model.ResetGrid(9, 9);
        for (int yy = 1; yy <= 9; ++yy)
            for (int xx = 1; xx <= 9; ++xx)
                model.SetCell(xx, yy, (xx + yy) % 2 ? GRASS : NO_TERRAIN, 4);
        if (fixedPoint)
            model.SetFlag(x, y, FLAG_FIXED);
        RandomHeights(model);
        EXPECT_EQ(model.GetFlag(x, y), fixedPoint ? FLAG_FIXED : FLAG_SEED);
        EXPECT_EQ(model.GetCell(x, y).Altitude, fixedPoint ? 4 : draws[2] - 2);
        EXPECT_EQ(Random::Generator().State, StateAfterDraws(seed, fixedPoint ? 2 : 3));
    }

    // An empty grid still has one point, outside: it draws x, y and random(62).
    TFixedSeed fixed(seed);
    TTerrainImage model(TestSupport::FrozenTilesPath());
    RandomHeights(model);
    EXPECT_EQ(Random::Generator().State, StateAfterDraws(seed, 3));
}

// The grid of points: (Height div 14) + 1 rows of (Width div 14) + 1 points,
// every one drawing three numbers on a grid of grass.
TEST(RandomHeights, PointGridCoversTheMapWithJitter)
{
    TFixedSeed fixed(77);
    TTerrainImage model(TestSupport::FrozenTilesPath());
    model.ResetGrid(42, 29); // 4 columns and 3 rows of points
    for (int yy = 1; yy <= 29; ++yy)
        for (int xx = 1; xx <= 42; ++xx)
            model.SetCell(xx, yy, GRASS, 100);
    RandomHeights(model);
    EXPECT_EQ(Random::Generator().State, StateAfterDraws(77, 4 * 3 * 3));

    TPcg32 replay = GeneratorAt(77, TSeedSite::RandomHeights);
    auto expected = Filled(42, 29, 100);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) {
            const int x = 14 * c - 6 + int(replay.Random(15));
            const int y = 14 * r - 6 + int(replay.Random(15));
            const int altitude = int(replay.Random(62)) - 2;
            if (x >= 1 && x <= 42 && y >= 1 && y <= 29)
                expected[size_t(y - 1)][size_t(x - 1)] = altitude;
        }
    EXPECT_EQ(GridAltitudes(model), expected);
}

// --- Stage 8 -------------------------------------------------------------------

// A free grass cell in the middle of fixed grass: N at `highest`, the other
// seven at `lowest`.
void PaintSmoothingProbe(TTerrainImage &model, int a, int highest, int lowest)
{
    PaintGrid(model, {"GGG", "GGG", "GGG"});
    SetAltitudes(model, {{lowest, highest, lowest}, {lowest, a, lowest}, {lowest, lowest, lowest}});
    SetFlags(model, {"FFF", "F.F", "FFF"});
}

// Cases that settle in the first pass, so the result is the first pass's value.
TEST(SmoothTerrain, MiddleOfHighestAndLowestRoundsHalvesToEven)
{
    struct TCase
    {
        int A, Highest, Lowest, Expected;
    } cases[] = {
        {25, 30, 20, 25}, // round(50 / 2)
        {0, 3, 0, 2},     // round(1.5)
        {0, 5, 0, 2},     // round(2.5)
        {3, 0, -1, 0},    // round(-0.5)
        {0, -1, -2, -2},  // round(-1.5)
        {-5, -3, -10, -6}, // round(-6.5)
        {1, 1, 1, 1},
    };
    for (const TCase &c : cases) {
        TTerrainImage model(TestSupport::FrozenTilesPath());
        PaintSmoothingProbe(model, c.A, c.Highest, c.Lowest);
        SmoothTerrain(model);
        EXPECT_EQ(model.GetCell(2, 2).Altitude, c.Expected)
            << "a " << c.A << ", highest " << c.Highest << ", lowest " << c.Lowest;
        EXPECT_EQ(model.GetCell(2, 1).Altitude, c.Highest); // fixed cells stay
    }
}

// Cases that step by 6 and leave the cell further than 8 from a neighbour:
// all 51 passes run, and with fixed neighbours the cell ends oscillating.
//   a 10, highest 30, lowest 12: 16 (a + 6 < 30), 22, 28, 22, 28, ... pass 51: 28
//   a 40, highest 30, lowest 20: 34 (a - 6 > 20), 28, 22, 28, 22, ... pass 51: 22
TEST(SmoothTerrain, StepsBySixTowardsTheNeighbours)
{
    struct TCase
    {
        int A, Highest, Lowest, Expected;
    } cases[] = {
        {10, 30, 12, 28},
        {40, 30, 20, 22},
    };
    for (const TCase &c : cases) {
        TTerrainImage model(TestSupport::FrozenTilesPath());
        PaintSmoothingProbe(model, c.A, c.Highest, c.Lowest);
        SmoothTerrain(model);
        EXPECT_EQ(model.GetCell(2, 2).Altitude, c.Expected) << "a " << c.A;
    }
}

// Each new altitude is stored at once. Row: fixed 11, free 5, free 0, fixed 0.
// The first free cell takes round(11 / 2) = 6; the second then sees 6 and 0
// and takes round(6 / 2) = 3 (on the old value 5 it would take 2). Nothing is
// further than 8 from a neighbour, so one pass only: a second pass would lift
// the first free cell to round(14 / 2) = 7.
TEST(SmoothTerrain, WorksInPlaceAndStopsAfterOneCalmPass)
{
    TTerrainImage model(TestSupport::FrozenTilesPath());
    PaintGrid(model, {"GGGG"});
    SetAltitudes(model, {{11, 5, 0, 0}});
    SetFlags(model, {"F..F"});
    SmoothTerrain(model);
    EXPECT_EQ(GridAltitudes(model), (TTable{{11, 6, 3, 0}}));
}

// Mountain and empty cells are no neighbours; cells of code 0 are smoothed.
TEST(SmoothTerrain, MountainsAndEmptyCellsAreNoNeighbours)
{
    TTerrainImage model(TestSupport::FrozenTilesPath());
    PaintGrid(model, {"M0M", "0GM", "MMM"});
    SetAltitudes(model, {{100, 50, 100}, {-100, 40, 100}, {100, 100, 100}});
    SmoothTerrain(model);
    // The grass cell sees only empty and mountain neighbours: highest -127,
    // lowest 127, so round(0 / 2) = 0 in the first pass, and the stage runs
    // all 51 passes. The two cells of code 0 are smoothed all the same and see
    // only the grass: (2, 1) falls 50, 44, 38, ... 2, 0 and (1, 2) rises -94,
    // -88, ... -4, 0, both well within 51 passes. Mountains stay.
    EXPECT_EQ(GridAltitudes(model), (TTable{{100, 0, 100}, {0, 0, 100}, {100, 100, 100}}));
}

// The number of passes, seen through a seed: seeds are smoothed from pass 30
// on. A grass seed at 127 among fixed cells at -128 (highest stays -127, lowest
// -128) falls by 6 in every pass it is smoothed: after passes 30 to 51 it
// stands at 127 - 22 * 6 = -5; after a single pass it still stands at 127.
// What decides is a probe cell elsewhere, behind a column of mountain: free
// or fixed, with fixed grass at 20 north and south of it or mountain there.
TEST(SmoothTerrain, OnePassOrFiftyOne)
{
    struct TCase
    {
        const char *Name;
        char Around;  // 'G' fixed grass at 20 north and south of the probe, 'M' mountain
        char Probe;   // flag of the probe: '.' free or 'F' fixed
        int ProbeAltitude, ProbeAfter, SeedAfter;
    } cases[] = {
        {"no free cell but the seed", 'G', 'F', 5, 5, 127},
        {"a lone cell takes 0, far from -127 and 127", 'M', '.', 40, 0, -5},
        {"5 steps to 11: 9 below its neighbours", 'G', '.', 5, 20, -5},
        {"6 steps to 12: 8 below its neighbours", 'G', '.', 6, 12, 127},
        {"35 steps to 29: 9 above its neighbours", 'G', '.', 35, 20, -5},
        {"34 steps to 28: 8 above its neighbours", 'G', '.', 34, 28, 127},
    };
    for (const TCase &c : cases) {
        TTerrainImage model(TestSupport::FrozenTilesPath());
        PaintGrid(model, {std::string("GGGM") + c.Around, "GGGMG", std::string("GGGM") + c.Around});
        SetAltitudes(model, {{-128, -128, -128, 60, 20}, {-128, 127, -128, 60, c.ProbeAltitude}, {-128, -128, -128, 60, 20}});
        SetFlags(model, {"FFF.F", std::string("FSF.") + c.Probe, "FFF.F"});
        SmoothTerrain(model);
        EXPECT_EQ(model.GetCell(2, 2).Altitude, c.SeedAfter) << c.Name;
        EXPECT_EQ(model.GetCell(5, 2).Altitude, c.ProbeAfter) << c.Name;
        EXPECT_EQ(model.GetCell(4, 1).Altitude, 60) << c.Name; // mountains stay
    }
}

// --- Stage 9 -------------------------------------------------------------------

// A mountain cell (fixed: inside a coast ring, processed all the same) at 100
// with all eight neighbours at 80: the north one is 20 lower, more than 7, so
// the flag is set; step 7, m = 80, a - m = 20 is not below the step: 80.
TEST(SmoothMountains, SteepCellTakesTheMiddle)
{
    TTerrainImage model(TestSupport::FrozenTilesPath());
    PaintGrid(model, {"GGG", "GMG", "GGG"});
    SetAltitudes(model, {{80, 80, 80}, {80, 100, 80}, {80, 80, 80}});
    SetFlags(model, {"...", ".F.", "..."});
    SmoothMountains(model);
    EXPECT_EQ(GridAltitudes(model), (TTable{{80, 80, 80}, {80, 80, 80}, {80, 80, 80}}));
}

// With the flag already set by a steep pair before it (column 1, set in pass
// 1 by the cell at 100 whose north neighbour is at 80), a mountain cell near
// its neighbours at 80 overshoots them:
//   84: step 7, m 80, 0 < 4 < 7: round((84 - 7 + 80) / 2) = round(78.5) = 78,
//       then 82, 78, 82, ... pass 41: 78
//   76: round((76 + 7 + 80) / 2) = round(81.5) = 82, then 78, 82, ... pass 41: 82
// Column 2 is empty and keeps the two apart.
TEST(SmoothMountains, CellsNearTheMiddleOvershoot)
{
    struct TCase
    {
        int A, Expected;
    } cases[] = {{84, 78}, {76, 82}, {80, 80}, {100, 80}};
    for (const TCase &c : cases) {
        TTerrainImage model(TestSupport::FrozenTilesPath());
        PaintGrid(model, {"M0GGG", "M0GMG", "000GG"});
        SetAltitudes(model, {{80, 0, 80, 80, 80}, {100, 0, 80, c.A, 80}, {0, 0, 0, 80, 80}});
        SmoothMountains(model);
        EXPECT_EQ(model.GetCell(4, 2).Altitude, c.Expected) << "a " << c.A;
        EXPECT_EQ(model.GetCell(3, 1).Altitude, 80); // other terrain stays
    }
}

// The top-left cell at 100 with E, SE, S at 75: 25 is not more than 30, so it
// sets no flag, and its step is 30. Alone it changes nothing (one pass). With
// a steep pair later in the scan the first pass leaves it (it comes before the
// first cell that sets the flag) and the later passes reshape it:
//   pass 1: 100; pass 2: m 75, 0 < 25 < 30: round((100 - 30 + 75) / 2) = 72;
//   then 88, 66, 86, 66, 86, ... pass 41: 86
TEST(SmoothMountains, CornerCellAndCellsBeforeTheFirstSteepOne)
{
    for (const bool steepPair : {false, true}) {
        TTerrainImage model(TestSupport::FrozenTilesPath());
        PaintGrid(model, {"MG0M", "GG0M"});
        SetAltitudes(model, {{100, 75, 0, 80}, {75, 75, 0, steepPair ? 100 : 80}});
        SmoothMountains(model);
        EXPECT_EQ(model.GetCell(1, 1).Altitude, steepPair ? 86 : 100);
        EXPECT_EQ(model.GetCell(2, 1).Altitude, 75);
        if (!steepPair) {
            EXPECT_EQ(GridAltitudes(model), (TTable{{100, 75, 0, 80}, {75, 75, 0, 80}}));
        }
    }
}

// The number of passes, seen through a mountain seed, smoothed in passes 39 to
// 41 only. In the top-left corner at 20 with grass at 0 at E, SE and S: step
// 30, m 0: pass 39 round((20 - 30) / 2) = -5, pass 40 round((-5 + 30) / 2) =
// round(12.5) = 12, pass 41 round((12 - 30) / 2) = -9. A steep pair elsewhere
// sets the flag in pass 1; without it the stage stops after one pass.
TEST(SmoothMountains, OnePassOrFortyOne)
{
    for (const bool steepPair : {false, true}) {
        TTerrainImage model(TestSupport::FrozenTilesPath());
        PaintGrid(model, {"MG0M", "GG0M"});
        SetAltitudes(model, {{20, 0, 0, 80}, {0, 0, 0, steepPair ? 100 : 80}});
        SetFlags(model, {"S...", "...."});
        SmoothMountains(model);
        EXPECT_EQ(model.GetCell(1, 1).Altitude, steepPair ? -9 : 20) << (steepPair ? "41 passes" : "1 pass");
    }
}

// The stages re-seed the generator at their own sites and draw nothing.
TEST(HeightStages, SmoothingStagesReseedAndDrawNothing)
{
    TFixedSeed fixed(31337);
    TTerrainImage model(TestSupport::FrozenTilesPath());
    PaintGrid(model, {"GMG", "MGM"});
    SmoothTerrain(model);
    EXPECT_EQ(Random::Generator().State, GeneratorAt(31337, TSeedSite::TerrainSmoothing).State);
    SmoothMountains(model);
    EXPECT_EQ(Random::Generator().State, GeneratorAt(31337, TSeedSite::MountainSmoothing).State);
}

TEST(HeightStages, EmptyGridIsLeftAlone)
{
    TTerrainImage model(TestSupport::FrozenTilesPath());
    CoastHeights(model);
    RandomHeights(model);
    SmoothTerrain(model);
    SmoothMountains(model);
    EXPECT_EQ(model.GetWidth(), 0);
    EXPECT_EQ(model.GetCell(1, 1), TCell{});
}

} // namespace
