#include "WorldClimate.h"

#include "WorldRed.h"

#include <algorithm>
#include <vector>

namespace {

// Shares in thousandths. The sea share is of the whole picture; all others are
// of the land, so that they read as "the highest 12 % of the land".
constexpr int SeaPermille = 550;
constexpr int MountainPermille = 880;  // the top 12 % of ridge-and-height: ranges
constexpr int LakePermille = 970;      // the top 3 % of the lake field
constexpr int LakeShorePermille = 150; // lakes keep off the lowest land, the coasts
constexpr int SnowPermille = 80;       // the coldest 8 %: polar lands and cold highlands
constexpr int HotPermille = 650;       // the warmest 35 %: the tropics
constexpr int DesertPermille = 420;    // the drier part of the tropics
constexpr int JunglePermille = 600;    // the wetter part of the tropics
constexpr int DryPermille = 230;       // the driest temperate land: dirt
constexpr int ForestPermille = 580;    // the wetter temperate land: forest
constexpr int SwampPermille = 850;     // the wettest 15 % ...
constexpr int LowlandPermille = 450;   // ... of the lowest 45 % of the land: swamps

bool InsidePicture(const TWorldFields &fields, int cx, int cy)
{
    return (cx << fields.StepShift) < fields.Width && (cy << fields.StepShift) < fields.Height;
}

} // namespace

TWorldLevels ChooseLevels(const TWorldFields &fields)
{
    TWorldLevels levels;
    std::vector<int32_t> elevations;
    for (int cy = 0; cy < fields.Elevation.Rows(); ++cy)
        for (int cx = 0; cx < fields.Elevation.Columns(); ++cx)
            if (InsidePicture(fields, cx, cy))
                elevations.push_back(fields.Elevation.At(cx, cy));
    levels.SeaLevel = Quantile(std::move(elevations), SeaPermille);

    std::vector<int32_t> heights, mountains, lakes, warmths, moistures;
    for (int cy = 0; cy < fields.Elevation.Rows(); ++cy) {
        for (int cx = 0; cx < fields.Elevation.Columns(); ++cx) {
            if (!InsidePicture(fields, cx, cy))
                continue;
            const TWorldSample sample = CoarseSample(fields, levels, cx, cy);
            if (sample.Height < 0)
                continue;
            heights.push_back(sample.Height);
            mountains.push_back(sample.Ridge + sample.Height / 4);
            lakes.push_back(sample.Lake);
            warmths.push_back(sample.Warmth);
            moistures.push_back(sample.Moisture);
        }
    }
    levels.Mountain = Quantile(mountains, MountainPermille);
    levels.Lake = Quantile(lakes, LakePermille);
    levels.LakeShore = Quantile(heights, LakeShorePermille);
    levels.Lowland = Quantile(heights, LowlandPermille);
    levels.Snow = Quantile(warmths, SnowPermille);
    levels.Hot = Quantile(warmths, HotPermille);
    levels.Desert = Quantile(moistures, DesertPermille);
    levels.Jungle = Quantile(moistures, JunglePermille);
    levels.Dry = Quantile(moistures, DryPermille);
    levels.Forest = Quantile(moistures, ForestPermille);
    levels.Swamp = Quantile(moistures, SwampPermille);
    return levels;
}

TWorldSample CoarseSample(const TWorldFields &fields, const TWorldLevels &levels, int cx, int cy)
{
    TWorldSample sample;
    sample.Height = fields.Elevation.At(cx, cy) - levels.SeaLevel;
    sample.Ridge = fields.Ridge.At(cx, cy);
    sample.Moisture = fields.Moisture.At(cx, cy);
    const int y = std::min(cy << fields.StepShift, fields.Height - 1);
    sample.Warmth = fields.Warmth.At(cx, cy) + LatitudeWarmth(y, fields.Height) - HeightChill(sample.Height);
    sample.Lake = fields.Lakes.At(cx, cy);
    return sample;
}

uint8_t ClassifyRed(const TWorldLevels &levels, const TWorldSample &sample)
{
    if (sample.Height < 0)
        return WorldRed::Water;
    if (IsMountain(levels, sample))
        return WorldRed::Mountain;
    if (sample.Lake > levels.Lake && sample.Height > levels.LakeShore)
        return WorldRed::Water;
    if (sample.Warmth < levels.Snow)
        return WorldRed::Snow;
    if (sample.Moisture > levels.Swamp && sample.Height < levels.Lowland)
        return WorldRed::Swamp;
    if (sample.Warmth > levels.Hot) {
        if (sample.Moisture < levels.Desert)
            return WorldRed::Desert;
        return sample.Moisture > levels.Jungle ? WorldRed::Jungle : WorldRed::Grass;
    }
    if (sample.Moisture < levels.Dry)
        return WorldRed::Dirt;
    return sample.Moisture > levels.Forest ? WorldRed::Forest : WorldRed::Grass;
}
