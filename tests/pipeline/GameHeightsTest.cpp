// The bundled tile configuration's heights on a small hand-painted world:
// sea with single land pixels in it, an island of several terrains with a
// mountain range, a lake and a pond one pixel wide, loaded from a picture and
// generated as a map is. Every water cell must end at the sea level -5,
// coastline next to water as the game's coastline tool lowers it, the other
// coastline between -5 and 0, and every altitude well inside the byte.
#include "ClassTerrainImage.h"
#include "HeightProfile.h"
#include "Pipeline.h"
#include "StageCommon.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <map>

using namespace TestSupport;

namespace {

uint8_t RedOf(const TTerrainImage &model, uint16_t code)
{
    for (int red = 0; red < 256; ++red)
        if (model.CodeForColor(uint8_t(red)) == code)
            return uint8_t(red);
    ADD_FAILURE() << "no red value paints " << code;
    return 0;
}

// 96 x 64: sea around an elliptic island of grass and forest with a mountain
// range, desert in the east, a lake, a pond of one pixel, and land pixels
// alone in the sea (which the border stages turn into water).
std::vector<std::vector<uint8_t>> PaintWorld(const TTerrainImage &model)
{
    const uint8_t water = RedOf(model, WATER), grass = RedOf(model, GRASS), forest = RedOf(model, FOREST),
                  mountain = RedOf(model, MOUNTAIN), desert = RedOf(model, DESERT);
    std::vector<std::vector<uint8_t>> reds(64, std::vector<uint8_t>(96, water));
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 96; ++x) {
            const double dx = (x - 48) / 38.0, dy = (y - 32) / 24.0;
            if (dx * dx + dy * dy > 1)
                continue;
            uint8_t &red = reds[size_t(y)][size_t(x)];
            red = (x / 7 + y / 5) % 3 == 0 ? forest : grass;
            if (x >= 30 && x < 58 && y >= 18 && y < 44)
                red = mountain;
            if (x >= 70)
                red = desert;
            if (x >= 16 && x < 22 && y >= 26 && y < 31)
                red = water; // lake
        }
    reds[40][24] = water; // pond
    for (const auto &[x, y] : {std::pair{3, 3}, std::pair{90, 5}, std::pair{5, 60}, std::pair{47, 2}})
        reds[size_t(y)][size_t(x)] = grass;
    return reds;
}

} // namespace

TEST(GameHeights, WaterAtSeaLevelAndTheCoastAsTheGameHasIt)
{
    const THeightProfile bundled = TTerrainImage(BundledTilesPath()).GetHeightProfile();
    ASSERT_EQ(bundled.Water, -5);
    ASSERT_TRUE(bundled.LevelWater && bundled.LevelCoastline && bundled.CoastTable);

    TTempDir dir;
    for (const uint64_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Random::SetFixedSeed(seed);
        TTerrainImage model(BundledTilesPath());
        const std::string picture = dir.File("world.bmp");
        SaveRedBmp(picture, PaintWorld(model));
        model.LoadFromBMP(picture);
        TRecordingProgressBar bar;
        TRecordingStatusBar status;
        ASSERT_TRUE(Generate(model, bar, status));
        Random::SetFixedSeed(std::nullopt);

        // The land pixels alone in the sea became water.
        for (const auto &[x, y] : {std::pair{3, 3}, std::pair{90, 5}, std::pair{5, 60}, std::pair{47, 2}})
            EXPECT_EQ(model.GetCell(x + 1, y + 1).Code, WATER) << x << ", " << y;

        std::map<int, int> histogram;
        std::map<uint16_t, std::pair<int, int>> ranges;
        int water = 0, tabled = 0;
        for (int y = 1; y <= model.GetHeight(); ++y)
            for (int x = 1; x <= model.GetWidth(); ++x) {
                const TCell cell = model.GetCell(x, y);
                ++histogram[cell.Altitude];
                auto [it, fresh] = ranges.try_emplace(cell.Code, cell.Altitude, cell.Altitude);
                it->second = {std::min(it->second.first, int(cell.Altitude)),
                              std::max(it->second.second, int(cell.Altitude))};
                if (cell.Code == WATER) {
                    EXPECT_EQ(cell.Altitude, -5) << "water at " << x << ", " << y;
                    ++water;
                    continue;
                }
                if (cell.Code != COASTLINE) {
                    // Land rises from the coast; mountains stay far below the top.
                    EXPECT_GE(cell.Altitude, -1) << x << ", " << y;
                    EXPECT_LE(cell.Altitude, 100) << x << ", " << y;
                    continue;
                }
                unsigned mask = 0;
                for (size_t d = 0; d < Neighbours.size(); ++d)
                    if (model.GetCell(x + Neighbours[d].Dx, y + Neighbours[d].Dy).Code == WATER)
                        mask |= 1u << d;
                // Written out from the table, not through the code under test.
                constexpr unsigned N = 1, NE = 2, SW = 32, W = 64, NW = 128;
                int expected = -3;
                if ((mask & (W | NW | N)) == (W | NW | N))
                    expected = -15;
                else if (mask == NW)
                    expected = -5;
                else if ((mask & NW) || mask == (SW | W) || mask == (NE | N))
                    expected = -9;
                tabled += expected != -3;
                EXPECT_EQ(cell.Altitude, expected) << "coast at " << x << ", " << y << ", water mask " << mask;
            }
        EXPECT_GT(water, 1000);
        EXPECT_GT(tabled, 10);
        if (seed == 1) {
            std::cout << "altitude histogram (altitude: cells):";
            for (const auto &[altitude, count] : histogram)
                std::cout << ' ' << altitude << ':' << count;
            std::cout << "\nrange per code:";
            for (const auto &[code, range] : ranges)
                std::cout << ' ' << code << '=' << range.first << ".." << range.second;
            std::cout << '\n';
        }
    }
}
