#pragma once

// Whole runs of the map for the import and merge tests: a painted picture of
// broad regions, a map generated from a picture with a seed, a map read back.
#include "ClassTerrainImage.h"
#include "GenerateCommand.h"
#include "MapImport.h"
#include "MapReader.h"
#include "Random.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <string>
#include <vector>

namespace MapRuns {

// A painted world of broad regions: each pixel takes the terrain of the
// nearest of 60 sites (a Voronoi picture), so borders run in every direction
// and every terrain meets every other and water. The sites come from a fixed
// little generator of the tests' own.
inline std::vector<std::vector<uint8_t>> PaintedRegions(const TTerrainImage &Config, int Width, int Height,
                                                        uint32_t Seed)
{
    constexpr uint16_t codes[] = {DIRT, MOUNTAIN, DESERT, SNOW, GRASS, FOREST, JUNGLE, SWAMP, WATER};
    uint32_t state = Seed;
    auto next = [&state](uint32_t n) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % n;
    };
    struct TSite
    {
        int X, Y;
        uint16_t Code;
    };
    std::vector<TSite> sites;
    for (int i = 0; i < 60; ++i)
        sites.push_back({int(next(uint32_t(Width))), int(next(uint32_t(Height))), codes[next(9)]});
    std::array<uint8_t, 256> redOf{};
    for (int red = 255; red >= 0; --red)
        if (Config.CodeForColor(uint8_t(red)) != NO_TERRAIN)
            redOf[Config.CodeForColor(uint8_t(red))] = uint8_t(red);
    std::vector<std::vector<uint8_t>> reds(size_t(Height), std::vector<uint8_t>(size_t(Width), 0));
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            size_t best = 0;
            int64_t bestDistance = INT64_MAX;
            for (size_t s = 0; s < sites.size(); ++s) {
                const int64_t dx = sites[s].X - x, dy = sites[s].Y - y;
                if (dx * dx + dy * dy < bestDistance) {
                    bestDistance = dx * dx + dy * dy;
                    best = s;
                }
            }
            reds[size_t(y)][size_t(x)] = redOf[sites[best].Code];
        }
    return reds;
}

// Generates the picture at PicturePath with Seed into Model, with the
// heights picture at HeightsPath when one is named, and writes its map to
// MapPath (of Size, no statics).
inline void Generate(TTerrainImage &Model, const std::string &PicturePath, const std::string &MapPath, TMapSize Size,
                     uint64_t Seed, const std::string &HeightsPath = "")
{
    Random::SetFixedSeed(Seed);
    Model.LoadFromBMP(PicturePath);
    if (!HeightsPath.empty())
        Model.LoadHeights(HeightsPath);
    TGenerateObserver quiet;
    const TGenerateResult result = RunGenerateCommand(Model, TMapOutput::ForFile(MapPath, Size), quiet);
    Random::SetFixedSeed(std::nullopt);
    ASSERT_EQ(result.Outcome, TGenerateOutcome::Written) << result.Error;
}

// The map at MapPath read back under Config.
inline TTerrainImport Imported(const TTerrainImage &Config, const std::string &MapPath, TMapSize Size)
{
    TMapReader reader(MapPath, Size);
    return ImportTerrains(ReadMapCells(reader), TTileClasses(Config, {}));
}

} // namespace MapRuns
