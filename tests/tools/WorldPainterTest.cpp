#include "WorldChecks.h"
#include "WorldPainter.h"
#include "WorldRed.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <stdexcept>
#include <vector>

namespace {

// FNV-1a over the red values: a fingerprint of a whole picture.
uint64_t Fingerprint(const TWorldPicture &picture)
{
    uint64_t hash = 14695981039346656037ULL;
    for (uint8_t red : picture.Reds) {
        hash ^= red;
        hash *= 1099511628211ULL;
    }
    return hash;
}

const std::map<uint8_t, const char *> TerrainReds = {
    {WorldRed::Dirt, "dirt"},     {WorldRed::Mountain, "mountain"}, {WorldRed::Desert, "desert"},
    {WorldRed::Snow, "snow"},     {WorldRed::Grass, "grass"},       {WorldRed::Forest, "forest"},
    {WorldRed::Jungle, "jungle"}, {WorldRed::Swamp, "swamp"},       {WorldRed::Water, "water"},
};

bool IsTerrainRed(uint8_t red) { return TerrainReds.count(red) > 0; }

TEST(WorldPainter, SameSeedAndSizeGiveTheSamePicture)
{
    const TWorldPicture first = PaintWorld(300, 211, 7);
    const TWorldPicture second = PaintWorld(300, 211, 7);
    EXPECT_EQ(first.Reds, second.Reds);
}

// A known picture: any change to the painter shows here, and the same value
// on every platform shows that the painting does not depend on one.
TEST(WorldPainter, SmallWorldHasItsKnownFingerprint)
{
    EXPECT_EQ(Fingerprint(PaintWorld(256, 192, 1)), 0x1D9F7E9721D12452ULL);
}

TEST(WorldPainter, DifferentSeedsGiveDifferentPictures)
{
    const uint64_t seeds[] = {0, 1, 2, 18446744073709551615ULL};
    std::vector<TWorldPicture> pictures;
    for (uint64_t seed : seeds)
        pictures.push_back(PaintWorld(320, 240, seed));
    for (size_t a = 0; a < pictures.size(); ++a) {
        for (size_t b = a + 1; b < pictures.size(); ++b) {
            size_t differing = 0;
            for (size_t i = 0; i < pictures[a].Reds.size(); ++i)
                differing += pictures[a].Reds[i] != pictures[b].Reds[i];
            // Not a few pixels: another world.
            EXPECT_GT(differing, pictures[a].Reds.size() / 5) << "seeds " << seeds[a] << " and " << seeds[b];
        }
    }
}

TEST(WorldPainter, SizeFollowsTheArguments)
{
    const struct
    {
        int Width, Height;
    } sizes[] = {{1, 1}, {1, 9}, {9, 1}, {2, 2}, {3, 3}, {17, 5}, {33, 640}, {255, 13}, {1023, 3}, {1537, 77}};
    for (const auto &size : sizes) {
        SCOPED_TRACE(std::to_string(size.Width) + " x " + std::to_string(size.Height));
        const TWorldPicture picture = PaintWorld(size.Width, size.Height, 3);
        EXPECT_EQ(picture.Width, size.Width);
        EXPECT_EQ(picture.Height, size.Height);
        ASSERT_EQ(picture.Reds.size(), size_t(size.Width) * size_t(size.Height));
        for (uint8_t red : picture.Reds)
            EXPECT_TRUE(IsTerrainRed(red) || red == WorldRed::Unmatched || red == WorldRed::UnmatchedOther)
                << int(red);
        EXPECT_EQ(PaintWorld(size.Width, size.Height, 3).Reds, picture.Reds);
    }
}

TEST(WorldPainter, RefusesSizesOutsideOneTo65535)
{
    const struct
    {
        int Width, Height;
    } sizes[] = {{0, 5}, {5, 0}, {-1, 5}, {5, -7}, {65536, 1}, {1, 65536}};
    for (const auto &size : sizes)
        EXPECT_THROW(PaintWorld(size.Width, size.Height, 1), std::invalid_argument)
            << size.Width << " x " << size.Height;
}

// What makes an interesting input for the map pipeline, in a moderately
// sized world and over several seeds. One test per seed: painting is the
// expensive part, so each world is painted once and checked for everything.
class WorldContent : public testing::TestWithParam<uint64_t>
{
};

TEST_P(WorldContent, HoldsEverythingAnInterestingMapNeeds)
{
    constexpr int Width = 512;
    constexpr int Height = 384;
    const TWorldPicture picture = PaintWorld(Width, Height, GetParam());
    std::map<uint8_t, int> counts;
    for (uint8_t red : picture.Reds)
        ++counts[red];

    // Every terrain and water in regions of their own, not only single pixels.
    for (const auto &[red, name] : TerrainReds) {
        EXPECT_GT(CountUniformBlocks(picture, 5, red), 0) << name;
        EXPECT_GT(counts[red], 200) << name;
    }

    // Land in a sea: a fair share of water, and the corners are water.
    const double sea = double(counts[WorldRed::Water]) / double(picture.Reds.size());
    EXPECT_GT(sea, 0.35);
    EXPECT_LT(sea, 0.75);
    EXPECT_EQ(picture.RedAt(0, 0), WorldRed::Water);
    EXPECT_EQ(picture.RedAt(Width - 1, Height - 1), WorldRed::Water);

    // Mountain areas that hold a whole 9 x 9 window, as a high mountain seed needs.
    EXPECT_GT(CountUniformBlocks(picture, 9, WorldRed::Mountain), 0);

    // Inland lakes: water that does not reach the edge, more than a pond.
    int lakes = 0;
    for (int size : InlandWaterSizes(picture))
        lakes += size >= 20;
    EXPECT_GT(lakes, 0);

    // Only the default red values, and a few pixels whose red names no terrain
    // (three are painted; one may fall on another).
    int unmatched = 0;
    for (const auto &[red, count] : counts) {
        EXPECT_TRUE(IsTerrainRed(red) || red == WorldRed::Unmatched || red == WorldRed::UnmatchedOther) << int(red);
        unmatched += IsTerrainRed(red) ? 0 : count;
    }
    EXPECT_GE(unmatched, 2);
    EXPECT_LE(unmatched, 10);

    // Single pixels, and rivers one pixel wide: a long run of them, where the
    // terrain alone makes runs of a few pixels at most.
    EXPECT_GE(CountSinglePixels(picture), 10);
    EXPECT_GE(LongestThinLine(picture, WorldRed::Water), 15);
}

INSTANTIATE_TEST_SUITE_P(Seeds, WorldContent, testing::Values(1, 2, 3, 20260101));

} // namespace
