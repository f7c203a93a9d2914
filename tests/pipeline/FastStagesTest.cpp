// The fast forms of the stages against the straightforward ones (Pipeline.h):
// two models painted alike run the stages side by side and must agree cell by
// cell, flag by flag and warning by warning after every stage.
#include "ClassTerrainImage.h"
#include "Pipeline.h"
#include "PipelineTestSupport.h"
#include "Stages.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace TestSupport;

namespace {

// The codes a fresh image load gives.
const uint16_t LoadedCodes[] = {NO_TERRAIN, DIRT, MOUNTAIN, DESERT, SNOW, GRASS, FOREST, JUNGLE, SWAMP, WATER};

// A picture of regions (the nearest of a few random centres), with single
// pixels, lines one pixel wide, a mountain block large enough for mountain
// seeds and start altitudes as an image load gives them.
void PaintPicture(TTerrainImage &model, int width, int height, uint64_t seed)
{
    TPcg32 random;
    random.Seed(seed, 99);
    model.ResetGrid(uint16_t(width), uint16_t(height));
    struct TCentre
    {
        int X, Y;
        uint16_t Code;
    };
    std::vector<TCentre> centres(2 + random.Random(12));
    for (auto &centre : centres)
        centre = {int(random.Random(uint32_t(width))) + 1, int(random.Random(uint32_t(height))) + 1,
                  LoadedCodes[random.Random(std::size(LoadedCodes))]};
    for (int y = 1; y <= height; ++y)
        for (int x = 1; x <= width; ++x) {
            long best = -1;
            uint16_t code = 0;
            for (const auto &centre : centres) {
                const long d = long(centre.X - x) * (centre.X - x) + long(centre.Y - y) * (centre.Y - y);
                if (best < 0 || d < best) {
                    best = d;
                    code = centre.Code;
                }
            }
            model.SetCell(x, y, code, -1000);
        }
    if (width >= 20 && height >= 20 && random.Random(2)) { // mountains for seeds
        const int x0 = int(random.Random(uint32_t(width - 15))) + 1, y0 = int(random.Random(uint32_t(height - 15))) + 1;
        for (int y = y0; y < y0 + 15; ++y)
            for (int x = x0; x < x0 + 15; ++x)
                model.SetCell(x, y, MOUNTAIN, -1000);
    }
    const int lines = int(random.Random(4));
    for (int i = 0; i < lines; ++i) {
        const uint16_t code = LoadedCodes[random.Random(std::size(LoadedCodes))];
        const int kind = int(random.Random(3));
        int x = int(random.Random(uint32_t(width))) + 1, y = int(random.Random(uint32_t(height))) + 1;
        for (int step = 0; step < width + height; ++step) {
            model.SetCell(x, y, code, -1000);
            x += kind != 1;
            y += kind != 0;
        }
    }
    const int pixels = width * height / 20;
    for (int i = 0; i < pixels; ++i)
        model.SetCell(int(random.Random(uint32_t(width))) + 1, int(random.Random(uint32_t(height))) + 1,
                      LoadedCodes[random.Random(std::size(LoadedCodes))], -1000);
    for (int y = 1; y <= height; ++y)
        for (int x = 1; x <= width; ++x) {
            const uint16_t code = model.GetCell(x, y).Code;
            const int altitude = code == WATER ? -75 : code == MOUNTAIN ? 20 + int(random.Random(55)) : int(random.Random(10));
            model.SetCell(x, y, -1, altitude);
        }
}

// Painted heights over the picture, as a heights picture gives them: broad
// slopes with noise, and every third row of cells wholly at random, so that
// painted mountains meet steep neighbours; cells but water start at them.
void PaintHeights(TTerrainImage &model, uint64_t seed)
{
    TPcg32 random;
    random.Seed(seed, 98);
    model.ResetPaintedHeights(true);
    for (int y = 1; y <= model.GetHeight(); ++y)
        for (int x = 1; x <= model.GetWidth(); ++x) {
            const int slope = (x * 5 + y * 3) % 200 - 100 + int(random.Random(9));
            const int altitude = y % 3 == 0 ? int(random.Random(256)) - 128 : slope;
            model.SetPaintedAltitude(x, y, altitude);
            if (model.GetCell(x, y).Code != WATER)
                model.SetCell(x, y, -1, altitude);
        }
}

void CopyGrid(const TTerrainImage &from, TTerrainImage &to)
{
    to.ResetGrid(uint16_t(from.GetWidth()), uint16_t(from.GetHeight()));
    to.ResetPaintedHeights(from.HasPaintedHeights());
    for (int y = 1; y <= from.GetHeight(); ++y)
        for (int x = 1; x <= from.GetWidth(); ++x) {
            const TCell cell = from.GetCell(x, y);
            to.SetCell(x, y, cell.Code, cell.Altitude);
            to.SetFlag(x, y, from.GetFlag(x, y));
            if (from.HasPaintedHeights())
                to.SetPaintedAltitude(x, y, from.GetPaintedAltitude(x, y));
        }
}

// Empty when the two models agree, else where they first differ.
std::string Difference(const TTerrainImage &a, const TTerrainImage &b)
{
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight())
        return "sizes differ";
    for (int y = 1; y <= a.GetHeight(); ++y)
        for (int x = 1; x <= a.GetWidth(); ++x) {
            const TCell ca = a.GetCell(x, y), cb = b.GetCell(x, y);
            if (ca != cb || a.GetFlag(x, y) != b.GetFlag(x, y))
                return "cell " + std::to_string(x) + "," + std::to_string(y) + ": code " + std::to_string(ca.Code) +
                       "/" + std::to_string(cb.Code) + ", altitude " + std::to_string(ca.Altitude) + "/" +
                       std::to_string(cb.Altitude) + ", flag " + std::to_string(a.GetFlag(x, y)) + "/" +
                       std::to_string(b.GetFlag(x, y));
        }
    const size_t frame = size_t(a.GetWidth() + 2) * size_t(a.GetHeight() + 2);
    for (size_t i = 0; i < frame && a.GetWidth() > 0; ++i)
        if (b.CellData()[i] != a.CellData()[i] || b.FlagData()[i] != a.FlagData()[i])
            return "the raw arrays differ at " + std::to_string(i) + " (the frame was written)";
    if (a.GetErrorCount() != b.GetErrorCount())
        return "warning counts differ";
    for (int32_t i = 0; i < a.GetErrorCount(); ++i) {
        const TErrorItem &ea = a.GetErrors()[size_t(i)], &eb = b.GetErrors()[size_t(i)];
        if (ea.X != eb.X || ea.Y != eb.Y || ea.Kind != eb.Kind)
            return "warning " + std::to_string(i) + " differs";
    }
    return "";
}

// Runs the nine stages twice (a second generation on the same grid) in both
// forms, comparing after every stage.
void ExpectFastFormsAgree(int width, int height, uint64_t seed, const THeightProfile &profile = {},
                          bool painted = false)
{
    SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height) + ", seed " + std::to_string(seed));
    Random::SetFixedSeed(seed);
    TTerrainImage reference(BundledTilesPath()), fast(BundledTilesPath());
    reference.SetHeightProfile(profile);
    fast.SetHeightProfile(profile);
    PaintPicture(reference, width, height, seed);
    if (painted)
        PaintHeights(reference, seed);
    CopyGrid(reference, fast);
    for (int run = 1; run <= 2; ++run)
        for (const Pipeline::TStage &stage : Pipeline::Stages) {
            stage.Straightforward(reference);
            const TPcg32 afterReference = Random::Generator();
            stage.Fast(fast);
            const std::string difference = Difference(reference, fast);
            ASSERT_EQ(difference, "") << "after " << stage.Name << " of run " << run;
            ASSERT_EQ(Random::Generator().State, afterReference.State) << "draws of " << stage.Name;
        }
    Random::SetFixedSeed(std::nullopt);
}

// Profiles other than the default: levelled water and coast with the coast
// table, other rings and seed ranges, ranges of one value and the byte's ends.
std::vector<THeightProfile> OtherProfiles()
{
    const THeightProfile game = PipelineTest::GameLikeProfile();
    THeightProfile ends;
    ends.Water = -128;
    ends.LevelWater = true;
    ends.CoastTable = true; // the table on the coast's own altitude, clamped at -128
    ends.Rings = {127, -128, 0};
    ends.MountainSeed = {127, 127};
    ends.OtherSeed = {-128, 127};
    return {game, ends};
}

} // namespace

TEST(FastStages, AgreeWithOtherHeightProfiles)
{
    for (const THeightProfile &profile : OtherProfiles()) {
        for (uint64_t seed = 200; seed < 220; ++seed)
            ExpectFastFormsAgree(5 + int(seed % 23), 4 + int(seed * 7 % 19), seed, profile);
        ExpectFastFormsAgree(131, 97, 8, profile);
        ExpectFastFormsAgree(300, 200, 9, profile);
    }
}

TEST(FastStages, AgreeWithPaintedHeights)
{
    std::vector<THeightProfile> profiles = OtherProfiles();
    profiles.insert(profiles.begin(), THeightProfile{});
    for (const THeightProfile &profile : profiles) {
        for (uint64_t seed = 300; seed < 320; ++seed)
            ExpectFastFormsAgree(1 + int(seed % 23), 1 + int(seed * 7 % 19), seed, profile, true);
        ExpectFastFormsAgree(131, 97, 8, profile, true);
        ExpectFastFormsAgree(300, 200, 9, profile, true);
    }
}

TEST(FastStages, AgreeOnTinyGrids)
{
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 2}, {2, 1}, {2, 2}, {1, 9}, {9, 1}, {2, 7}, {7, 2}, {3, 3}};
    uint64_t seed = 1;
    for (auto [width, height] : sizes)
        for (int i = 0; i < 6; ++i)
            ExpectFastFormsAgree(width, height, seed++);
}

TEST(FastStages, AgreeOnSmallOddGrids)
{
    for (uint64_t seed = 100; seed < 140; ++seed)
        ExpectFastFormsAgree(5 + int(seed % 23), 4 + int(seed * 7 % 19), seed);
}

TEST(FastStages, AgreeOnLargerGrids)
{
    ExpectFastFormsAgree(64, 48, 7);
    ExpectFastFormsAgree(131, 97, 8);
    ExpectFastFormsAgree(300, 200, 9);
}

TEST(FastStages, AgreeOnAnEmptyGrid)
{
    Random::SetFixedSeed(5);
    TTerrainImage reference(BundledTilesPath()), fast(BundledTilesPath());
    for (const Pipeline::TStage &stage : Pipeline::Stages) {
        stage.Straightforward(reference);
        const uint64_t state = Random::Generator().State;
        stage.Fast(fast);
        EXPECT_EQ(Random::Generator().State, state) << stage.Name;
    }
    Random::SetFixedSeed(std::nullopt);
}
