#pragma once

#include "WorldFields.h"

#include <cstdint>

// What the fields say at one place of the world.
struct TWorldSample
{
    int32_t Height = 0;   // elevation above sea level; below 0 is sea
    int32_t Ridge = 0;    // 0 on a ridge line, negative away from it
    int32_t Moisture = 0;
    int32_t Warmth = 0;   // latitude, weather and height together
    int32_t Lake = 0;
};

// The levels that divide the fields into terrains. They are chosen per world
// from the distribution of its coarse samples, so every world has about the
// same share of sea, of mountains and of each climate, whatever its seed.
struct TWorldLevels
{
    int32_t SeaLevel = 0;  // of the raw elevation
    int32_t Mountain = 0;  // Ridge + Height / 4 above it: mountains
    int32_t Lake = 0;      // lake field above it, on land higher than LakeShore: a lake
    int32_t LakeShore = 0;
    int32_t Snow = 0;      // warmth below it: snow
    int32_t Hot = 0;       // warmth above it: desert, savanna or jungle
    int32_t Desert = 0;    // moisture below it in hot lands: desert
    int32_t Jungle = 0;    // moisture above it in hot lands: jungle
    int32_t Dry = 0;       // moisture below it in temperate lands: dirt
    int32_t Forest = 0;    // moisture above it in temperate lands: forest
    int32_t Swamp = 0;     // moisture above it on low land: swamp
    int32_t Lowland = 0;   // height below it: low land
};

TWorldLevels ChooseLevels(const TWorldFields &fields);

// The sample of coarse point (cx, cy), which lies on pixel row cy * step.
TWorldSample CoarseSample(const TWorldFields &fields, const TWorldLevels &levels, int cx, int cy);

// The terrain (as its red value) of a place.
uint8_t ClassifyRed(const TWorldLevels &levels, const TWorldSample &sample);

// Whether a sample is mountain, the test ClassifyRed makes first on land.
inline bool IsMountain(const TWorldLevels &levels, const TWorldSample &sample)
{
    return sample.Height >= 0 && sample.Ridge + sample.Height / 4 > levels.Mountain;
}
