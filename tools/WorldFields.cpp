#include "WorldFields.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// At most this many coarse samples (plus one) on the longer side of the
// picture: fine enough for continents and climate, small enough that
// the fields of a full-size world take a few megabytes.
constexpr int SamplesPerSide = 768;

// The shape of one fractal field. Spacings are in thousandths of the longer
// side of the picture, so a world has the same kind of continents at any size;
// the finest octaves stop at a spacing in pixels.
struct TFieldShape
{
    uint64_t FirstStream;   // octave k draws from stream FirstStream + k
    int FirstSpacingPermille;
    int MinSpacingPermille; // 0: go down to MinSpacingPixels
    int MinSpacingPixels;
    int32_t Amplitude;      // of the first octave
    int GainPercent;        // each octave's amplitude against the one before
};

// Streams are 100 apart so no two fields share one, whatever their octave count.
constexpr TFieldShape ElevationShape{100, 260, 0, 2, 1 << 14, 62};   // continents down to ragged coasts
constexpr TFieldShape RidgeShape{200, 180, 0, 2, 1 << 14, 50};       // long ranges with ragged flanks
constexpr TFieldShape MoistureShape{300, 250, 0, 2, 1 << 14, 62};    // wet and dry lands
constexpr TFieldShape WarmthShape{400, 330, 25, 2, 1 << 13, 50};     // cold and warm spells across latitudes
constexpr TFieldShape LakeShape{500, 80, 20, 2, 1 << 14, 50};        // lake districts, a few blobs each
constexpr uint64_t FineClimateStream = 600;                          // moisture's fine octaves, own streams

// Within this share of the longer side (in thousandths) from the frame the
// land sinks, so that the world is surrounded by sea.
constexpr int FramePermille = 80;
constexpr int64_t FrameDrop = 1 << 15; // sinking at the very edge, two continents' worth of height

// A field's octaves in pixels, split at the coarse step: those at least two
// samples wide are sampled coarsely (in samples), the rest are per pixel.
struct TSplitSeries
{
    std::vector<int> Coarse;
    std::vector<int> Fine;
    int32_t FineAmplitude = 0;
};

TSplitSeries SplitSeries(const TFieldShape &shape, int scale, int stepShift)
{
    const int first = std::max(2, int(int64_t(scale) * shape.FirstSpacingPermille / 1000));
    const int minimum = shape.MinSpacingPermille > 0
                            ? std::max(2, int(int64_t(scale) * shape.MinSpacingPermille / 1000))
                            : shape.MinSpacingPixels;
    TSplitSeries series;
    const int step = 1 << stepShift;
    int32_t amplitude = shape.Amplitude;
    for (int spacing : FractalSpacings(first, minimum)) {
        if (spacing >= 2 * step) {
            series.Coarse.push_back((spacing + step / 2) >> stepShift);
            amplitude = amplitude * shape.GainPercent / 100; // as TFractalNoise does it
        } else {
            series.Fine.push_back(spacing);
        }
    }
    series.FineAmplitude = amplitude;
    return series;
}

// Fills a coarse field with its octaves; returns the finer octaves left for the pixels.
TSplitSeries FillField(TCoarseField &field, const TFieldShape &shape, int scale, int stepShift, uint64_t seed)
{
    TSplitSeries series = SplitSeries(shape, scale, stepShift);
    TFractalNoise noise(seed, shape.FirstStream, field.Columns(), series.Coarse, shape.Amplitude, shape.GainPercent);
    for (int cy = 0; cy < field.Rows(); ++cy)
        noise.AddRow(cy, field.RowData(cy));
    return series;
}

std::unique_ptr<TFractalNoise> FineNoise(const TSplitSeries &series, uint64_t firstStream, int width,
                                         const TFieldShape &shape, uint64_t seed)
{
    if (series.Fine.empty())
        return nullptr;
    return std::make_unique<TFractalNoise>(seed, firstStream, width, series.Fine, series.FineAmplitude,
                                           shape.GainPercent);
}

// Lowers the elevation near the picture's frame, quadratically towards the edge.
void SinkFrame(TCoarseField &elevation, int width, int height, int scale)
{
    const int64_t margin = std::max<int64_t>(1, int64_t(scale) * FramePermille / 1000);
    for (int cy = 0; cy < elevation.Rows(); ++cy) {
        const int py = std::min(cy * elevation.Step(), height - 1);
        for (int cx = 0; cx < elevation.Columns(); ++cx) {
            const int px = std::min(cx * elevation.Step(), width - 1);
            const int64_t edge = std::min({px, py, width - 1 - px, height - 1 - py});
            if (edge < margin) {
                const int64_t depth = margin - edge;
                elevation.At(cx, cy) -= int32_t(FrameDrop * depth * depth / (margin * margin));
            }
        }
    }
}

} // namespace

int32_t LatitudeWarmth(int y, int height)
{
    constexpr int64_t EquatorWarmth = 1 << 15;
    if (height <= 1)
        return int32_t(EquatorWarmth);
    const int64_t fromEquator = std::llabs(2 * int64_t(y) - (height - 1)); // 0 .. height - 1
    return int32_t(EquatorWarmth - EquatorWarmth * fromEquator / (height - 1));
}

TWorldFields BuildWorldFields(int width, int height, uint64_t seed)
{
    TWorldFields fields;
    fields.Width = width;
    fields.Height = height;
    const int scale = std::max(width, height);
    int shift = 0;
    while ((scale >> shift) > SamplesPerSide)
        ++shift;
    fields.StepShift = shift;

    const TCoarseField blank(width, height, shift);
    fields.Elevation = blank;
    fields.Ridge = blank;
    fields.Moisture = blank;
    fields.Warmth = blank;
    fields.Lakes = blank;

    const TSplitSeries elevation = FillField(fields.Elevation, ElevationShape, scale, shift, seed);
    SinkFrame(fields.Elevation, width, height, scale);
    FillField(fields.Ridge, RidgeShape, scale, shift, seed);
    for (int cy = 0; cy < fields.Ridge.Rows(); ++cy)
        for (int cx = 0; cx < fields.Ridge.Columns(); ++cx)
            fields.Ridge.At(cx, cy) = -std::abs(fields.Ridge.At(cx, cy));
    const TSplitSeries moisture = FillField(fields.Moisture, MoistureShape, scale, shift, seed);
    FillField(fields.Warmth, WarmthShape, scale, shift, seed);
    FillField(fields.Lakes, LakeShape, scale, shift, seed);

    const uint64_t fineElevationStream = ElevationShape.FirstStream + elevation.Coarse.size();
    fields.FineElevation = FineNoise(elevation, fineElevationStream, width, ElevationShape, seed);
    fields.FineClimate = FineNoise(moisture, FineClimateStream, width, MoistureShape, seed);
    return fields;
}
