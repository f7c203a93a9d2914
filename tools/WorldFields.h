#pragma once

#include "CoarseField.h"
#include "ValueNoise.h"

#include <cstdint>
#include <memory>

// The large-scale fields that shape a painted world, sampled coarsely (every
// 2^StepShift pixels), plus the fine noise that roughens them per pixel.
// Everything derives from the world's seed and size alone.
struct TWorldFields
{
    int Width = 0;
    int Height = 0;
    int StepShift = 0;
    TCoarseField Elevation; // land where high, sea where low; falls off towards the frame
    TCoarseField Ridge;     // 0 on a ridge line, negative away from it: mountain ranges
    TCoarseField Moisture;  // dry to wet
    TCoarseField Warmth;    // the weather's share of warmth; latitude and height come on top
    TCoarseField Lakes;     // high where inland lakes lie

    // The octaves finer than the coarse samples, in pixels, for the rows of
    // the picture: one series for the elevation, one shared by moisture and
    // warmth. Both are empty when the samples are one pixel apart.
    std::unique_ptr<TFractalNoise> FineElevation;
    std::unique_ptr<TFractalNoise> FineClimate;
};

TWorldFields BuildWorldFields(int width, int height, uint64_t seed);

// The warmth that latitude gives pixel row y: the most at the middle row
// (the equator), none at the top and bottom rows (the poles).
int32_t LatitudeWarmth(int y, int height);

// Warmth lost per unit of height above sea: high land is colder.
inline int32_t HeightChill(int32_t heightAboveSea) { return heightAboveSea > 0 ? heightAboveSea / 2 : 0; }
