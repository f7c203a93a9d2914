#include "WorldPainter.h"

#include "WorldClimate.h"
#include "WorldFeatures.h"
#include "WorldFields.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace {

// Classifies every pixel from the coarse fields, blended between samples,
// plus the fine noise that roughens coasts and climate borders (which moves
// on row by row, hence the fields are not const).
void PaintTerrain(TWorldPicture &picture, TWorldFields &fields, const TWorldLevels &levels)
{
    const int width = picture.Width;
    const size_t columns = size_t(width);
    std::vector<int32_t> elevation(columns), ridge(columns), moisture(columns), warmth(columns), lakes(columns),
        climate(columns);
    for (int y = 0; y < picture.Height; ++y) {
        fields.Elevation.InterpolateRow(y, width, elevation.data());
        if (fields.FineElevation)
            fields.FineElevation->AddRow(y, elevation.data());
        fields.Ridge.InterpolateRow(y, width, ridge.data());
        fields.Moisture.InterpolateRow(y, width, moisture.data());
        fields.Warmth.InterpolateRow(y, width, warmth.data());
        fields.Lakes.InterpolateRow(y, width, lakes.data());
        std::fill(climate.begin(), climate.end(), 0);
        if (fields.FineClimate)
            fields.FineClimate->AddRow(y, climate.data());

        const int32_t latitude = LatitudeWarmth(y, picture.Height);
        uint8_t *out = picture.Reds.data() + picture.Index(0, y);
        for (int x = 0; x < width; ++x) {
            TWorldSample sample;
            sample.Height = elevation[size_t(x)] - levels.SeaLevel;
            sample.Ridge = ridge[size_t(x)];
            sample.Moisture = moisture[size_t(x)] + climate[size_t(x)];
            sample.Warmth = warmth[size_t(x)] + latitude - HeightChill(sample.Height) + climate[size_t(x)] / 2;
            sample.Lake = lakes[size_t(x)];
            out[x] = ClassifyRed(levels, sample);
        }
    }
}

} // namespace

TWorldPicture PaintWorld(int width, int height, uint64_t seed)
{
    if (width < 1 || height < 1 || width > MaxWorldSide || height > MaxWorldSide)
        throw std::invalid_argument("a world must be 1 to " + std::to_string(MaxWorldSide) +
                                    " pixels wide and high, not " + std::to_string(width) + " x " +
                                    std::to_string(height));
    TWorldPicture picture;
    picture.Width = width;
    picture.Height = height;
    picture.Reds.resize(size_t(width) * size_t(height));

    TWorldFields fields = BuildWorldFields(width, height, seed);
    const TWorldLevels levels = ChooseLevels(fields);
    PaintTerrain(picture, fields, levels);
    AddRivers(picture, fields, levels, seed);
    AddTrails(picture, seed);
    AddSpecks(picture, seed);
    AddUnmatchedPixels(picture, seed);
    return picture;
}
