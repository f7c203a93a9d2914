#include "WorldChecks.h"
#include "WorldFeatures.h"
#include "WorldRed.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TWorldPicture Uniform(int width, int height, uint8_t red)
{
    TWorldPicture picture;
    picture.Width = width;
    picture.Height = height;
    picture.Reds.assign(size_t(width) * size_t(height), red);
    return picture;
}

std::vector<std::pair<int, int>> Changed(const TWorldPicture &before, const TWorldPicture &after)
{
    std::vector<std::pair<int, int>> changed;
    for (int y = 0; y < before.Height; ++y)
        for (int x = 0; x < before.Width; ++x)
            if (before.RedAt(x, y) != after.RedAt(x, y))
                changed.push_back({x, y});
    return changed;
}

// Specks are single pixels inside a uniform area, each different from all its neighbours.
TEST(WorldFeatures, SpecksAreSinglePixelsOfAnotherTerrain)
{
    const struct
    {
        uint8_t Field;
        std::set<uint8_t> Allowed;
    } cases[] = {
        {WorldRed::Water, {WorldRed::Grass, WorldRed::Desert, WorldRed::Forest, WorldRed::Mountain}}, // islets
        {WorldRed::Grass, {WorldRed::Water, WorldRed::Forest, WorldRed::Dirt, WorldRed::Mountain, WorldRed::Desert,
                           WorldRed::Swamp, WorldRed::Jungle, WorldRed::Snow}},
        {WorldRed::Snow, {WorldRed::Water, WorldRed::Forest, WorldRed::Grass, WorldRed::Dirt, WorldRed::Mountain,
                          WorldRed::Desert, WorldRed::Swamp, WorldRed::Jungle}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(int(c.Field));
        const TWorldPicture before = Uniform(256, 192, c.Field);
        TWorldPicture after = before;
        AddSpecks(after, 5);
        const auto changed = Changed(before, after);
        EXPECT_GE(changed.size(), 8u); // 12 are placed; two may meet
        EXPECT_LE(changed.size(), 12u);
        EXPECT_EQ(CountSinglePixels(after), int(changed.size()));
        for (const auto &[x, y] : changed)
            EXPECT_EQ(c.Allowed.count(after.RedAt(x, y)), 1u) << int(after.RedAt(x, y));

        TWorldPicture again = before;
        AddSpecks(again, 5);
        EXPECT_EQ(again.Reds, after.Reds);
        TWorldPicture otherSeed = before;
        AddSpecks(otherSeed, 6);
        EXPECT_NE(otherSeed.Reds, after.Reds);
    }
}

// Specks go only where all eight neighbours agree: a picture of stripes gets none.
TEST(WorldFeatures, SpecksKeepOffBorders)
{
    TWorldPicture stripes = Uniform(200, 200, WorldRed::Grass);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; x += 2)
            stripes.SetRed(x, y, WorldRed::Forest);
    const TWorldPicture before = stripes;
    AddSpecks(stripes, 1);
    EXPECT_EQ(stripes.Reds, before.Reds);
}

TEST(WorldFeatures, TrailsAreDirtLinesOnePixelWideOverOpenLand)
{
    const TWorldPicture before = Uniform(512, 384, WorldRed::Grass);
    TWorldPicture after = before;
    AddTrails(after, 3);
    const auto changed = Changed(before, after);
    EXPECT_GT(changed.size(), 60u); // two trails of 30 to 60 pixels
    for (const auto &[x, y] : changed)
        EXPECT_EQ(after.RedAt(x, y), WorldRed::Dirt);
    EXPECT_GE(LongestThinLine(after, WorldRed::Dirt), 30);
    EXPECT_EQ(CountUniformBlocks(after, 2, WorldRed::Dirt), 0); // never two pixels thick
}

TEST(WorldFeatures, TrailsLeaveWaterAndMountainsAlone)
{
    for (uint8_t red : {WorldRed::Water, WorldRed::Mountain, WorldRed::Dirt}) {
        const TWorldPicture before = Uniform(512, 384, red);
        TWorldPicture after = before;
        AddTrails(after, 3);
        EXPECT_EQ(after.Reds, before.Reds) << int(red);
    }
}

TEST(WorldFeatures, UnmatchedPixelsAreFewAndNameNoTerrain)
{
    const struct
    {
        int Width, Height, Expected;
    } cases[] = {
        {32, 32, 3},     // the least picture that gets them
        {31, 33, 0},     // smaller: none
        {1000, 1000, 4}, // one per 250000 pixels
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.Width) + " x " + std::to_string(c.Height));
        TWorldPicture picture = Uniform(c.Width, c.Height, WorldRed::Grass);
        AddUnmatchedPixels(picture, 8);
        int unmatched = 0, other = 0;
        for (uint8_t red : picture.Reds) {
            unmatched += red == WorldRed::Unmatched || red == WorldRed::UnmatchedOther;
            other += red != WorldRed::Grass && red != WorldRed::Unmatched && red != WorldRed::UnmatchedOther;
        }
        EXPECT_EQ(unmatched, c.Expected);
        EXPECT_EQ(other, 0);
    }
}

TEST(WorldFeatures, LinesAreEightConnectedAndIncludeBothEnds)
{
    const struct
    {
        int X0, Y0, X1, Y1;
        int Pixels;
    } cases[] = {
        {0, 0, 9, 0, 10}, {3, 8, 3, 1, 8}, {0, 0, 5, 5, 6}, {9, 1, 0, 4, 10}, {2, 2, 2, 2, 1},
        {-5, 3, 4, 3, 5}, // outside pixels are skipped
    };
    const TWorldPicture picture = Uniform(10, 10, WorldRed::Grass);
    for (const auto &c : cases) {
        std::vector<std::pair<int, int>> pixels;
        DrawLine(picture, c.X0, c.Y0, c.X1, c.Y1, [&](int x, int y) { pixels.push_back({x, y}); });
        EXPECT_EQ(int(pixels.size()), c.Pixels) << c.X0 << "," << c.Y0 << " to " << c.X1 << "," << c.Y1;
        for (size_t i = 1; i < pixels.size(); ++i) {
            EXPECT_LE(std::abs(pixels[i].first - pixels[i - 1].first), 1);
            EXPECT_LE(std::abs(pixels[i].second - pixels[i - 1].second), 1);
        }
        if (picture.Contains(c.X0, c.Y0)) {
            EXPECT_EQ(pixels.front(), std::make_pair(c.X0, c.Y0));
        }
        EXPECT_EQ(pixels.back(), std::make_pair(c.X1, c.Y1));
    }
}

} // namespace
