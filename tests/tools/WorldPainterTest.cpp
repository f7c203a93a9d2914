#include "WorldPainter.h"
#include "WorldRed.h"

#include <gtest/gtest.h>

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

// Whether the size x size block with its top left corner at (x, y) is all one red value.
bool IsUniformBlock(const TWorldPicture &picture, int x, int y, int size, uint8_t red)
{
    for (int dy = 0; dy < size; ++dy)
        for (int dx = 0; dx < size; ++dx)
            if (picture.RedAt(x + dx, y + dy) != red)
                return false;
    return true;
}

int CountUniformBlocks(const TWorldPicture &picture, int size, uint8_t red)
{
    int count = 0;
    for (int y = 0; y + size <= picture.Height; ++y)
        for (int x = 0; x + size <= picture.Width; ++x)
            count += IsUniformBlock(picture, x, y, size, red);
    return count;
}

// Pixels whose eight neighbours all hold another red value than their own.
int CountSinglePixels(const TWorldPicture &picture)
{
    int count = 0;
    for (int y = 1; y + 1 < picture.Height; ++y) {
        for (int x = 1; x + 1 < picture.Width; ++x) {
            bool alone = true;
            for (int dy = -1; dy <= 1 && alone; ++dy)
                for (int dx = -1; dx <= 1 && alone; ++dx)
                    if ((dx || dy) && picture.RedAt(x + dx, y + dy) == picture.RedAt(x, y))
                        alone = false;
            count += alone;
        }
    }
    return count;
}

// Pixels of a line one pixel wide: both neighbours across the line (left and
// right, or above and below) differ from the pixel, while at least two of its
// other neighbours carry on the line.
int CountThinLinePixels(const TWorldPicture &picture, uint8_t red)
{
    int count = 0;
    for (int y = 1; y + 1 < picture.Height; ++y) {
        for (int x = 1; x + 1 < picture.Width; ++x) {
            if (picture.RedAt(x, y) != red)
                continue;
            int same = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    same += (dx || dy) && picture.RedAt(x + dx, y + dy) == red;
            const bool acrossRow = picture.RedAt(x - 1, y) != red && picture.RedAt(x + 1, y) != red;
            const bool acrossColumn = picture.RedAt(x, y - 1) != red && picture.RedAt(x, y + 1) != red;
            count += (acrossRow || acrossColumn) && same >= 2;
        }
    }
    return count;
}

// Sizes of the 4-connected areas of water that do not touch the picture's edge.
std::vector<int> InlandWaterSizes(const TWorldPicture &picture)
{
    std::vector<uint8_t> seen(picture.Reds.size(), 0);
    std::vector<int> sizes;
    for (int startY = 0; startY < picture.Height; ++startY) {
        for (int startX = 0; startX < picture.Width; ++startX) {
            if (seen[picture.Index(startX, startY)] || picture.RedAt(startX, startY) != WorldRed::Water)
                continue;
            int size = 0;
            bool touchesEdge = false;
            std::vector<std::pair<int, int>> stack{{startX, startY}};
            seen[picture.Index(startX, startY)] = 1;
            while (!stack.empty()) {
                const auto [x, y] = stack.back();
                stack.pop_back();
                ++size;
                touchesEdge |= x == 0 || y == 0 || x + 1 == picture.Width || y + 1 == picture.Height;
                const std::pair<int, int> next[] = {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}};
                for (const auto &[nx, ny] : next) {
                    if (picture.Contains(nx, ny) && !seen[picture.Index(nx, ny)] &&
                        picture.RedAt(nx, ny) == WorldRed::Water) {
                        seen[picture.Index(nx, ny)] = 1;
                        stack.push_back({nx, ny});
                    }
                }
            }
            if (!touchesEdge)
                sizes.push_back(size);
        }
    }
    return sizes;
}

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
    EXPECT_EQ(Fingerprint(PaintWorld(256, 192, 1)), 0xC6F381AE5CC53320ULL);
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
// sized world and over several seeds.
class WorldContent : public testing::TestWithParam<uint64_t>
{
protected:
    static constexpr int Width = 512;
    static constexpr int Height = 384;
    TWorldPicture Picture = PaintWorld(Width, Height, GetParam());
};

TEST_P(WorldContent, HasAreasOfEveryTerrainAndSea)
{
    std::map<uint8_t, int> counts;
    for (uint8_t red : Picture.Reds)
        ++counts[red];
    for (const auto &[red, name] : TerrainReds) {
        // A region of its own, not only single pixels.
        EXPECT_GT(CountUniformBlocks(Picture, 5, red), 0) << name;
        EXPECT_GT(counts[red], 200) << name;
    }
    const double sea = double(counts[WorldRed::Water]) / double(Picture.Reds.size());
    EXPECT_GT(sea, 0.35);
    EXPECT_LT(sea, 0.75);
    // Land surrounded by sea: the corners are water.
    EXPECT_EQ(Picture.RedAt(0, 0), WorldRed::Water);
    EXPECT_EQ(Picture.RedAt(Width - 1, Height - 1), WorldRed::Water);
}

TEST_P(WorldContent, HasMountainAreasLargeEnoughForHighSeeds)
{
    EXPECT_GT(CountUniformBlocks(Picture, 9, WorldRed::Mountain), 0);
}

TEST_P(WorldContent, HasInlandLakes)
{
    int lakes = 0;
    for (int size : InlandWaterSizes(Picture))
        lakes += size >= 20;
    EXPECT_GT(lakes, 0);
}

TEST_P(WorldContent, HasAFewPixelsOfNoTerrain)
{
    int unmatched = 0;
    for (uint8_t red : Picture.Reds) {
        EXPECT_TRUE(IsTerrainRed(red) || red == WorldRed::Unmatched || red == WorldRed::UnmatchedOther) << int(red);
        unmatched += !IsTerrainRed(red);
    }
    EXPECT_GE(unmatched, 2); // three are painted; one may land on another
    EXPECT_LE(unmatched, 10);
}

TEST_P(WorldContent, HasSinglePixelsAndLinesOnePixelWide)
{
    EXPECT_GE(CountSinglePixels(Picture), 10);
    EXPECT_GE(CountThinLinePixels(Picture, WorldRed::Water), 50);  // rivers
    EXPECT_GE(CountThinLinePixels(Picture, WorldRed::Dirt), 10);   // trails
}

INSTANTIATE_TEST_SUITE_P(Seeds, WorldContent, testing::Values(1, 2, 3, 20260101));

} // namespace
