#include "ValueNoise.h"

#include <algorithm>

namespace {

// Blending weights are fixed point with 12 fraction bits. With amplitudes of
// at most 2^15 a difference of two values times a weight stays below 2^28.
constexpr int WeightBits = 12;
constexpr int32_t WeightOne = 1 << WeightBits;
constexpr int32_t MaxAmplitude = 1 << 15;

// Each octave's spacing is about this fraction (17/32) of the one before: not
// one half, so the lattices of the octaves do not line up.
constexpr int SpacingShrinkNumerator = 17;
constexpr int SpacingShrinkDenominator = 32;

} // namespace

int32_t SmoothstepWeight(int f, int spacing)
{
    // Exact integer math: (3 f^2 s - 2 f^3) / s^3, scaled.
    const int64_t s = spacing;
    const int64_t numerator = (3 * int64_t(f) * f * s - 2 * int64_t(f) * f * f) * WeightOne;
    return int32_t(numerator / (s * s * s));
}

TNoiseOctave::TNoiseOctave(uint64_t seed, uint64_t stream, int width, int spacing, int32_t amplitude)
    : Width(std::max(width, 0)),
      Spacing(std::max(spacing, 1)),
      Amplitude(std::clamp(amplitude, int32_t(0), MaxAmplitude))
{
    Rng.Seed(seed, stream);
    OffsetX = int(Rng.Random(uint32_t(Spacing)));
    OffsetY = int(Rng.Random(uint32_t(Spacing)));
    const size_t columns = size_t((std::max(Width, 1) - 1 + OffsetX) / Spacing + 2);
    Upper.resize(columns);
    Lower.resize(columns);
    Blend.resize(columns);
    Weights.resize(size_t(Spacing));
    for (int f = 0; f < Spacing; ++f)
        Weights[size_t(f)] = SmoothstepWeight(f, Spacing);
}

void TNoiseOctave::NextLatticeRow()
{
    const uint32_t range = uint32_t(2 * Amplitude + 1);
    auto draw = [&](std::vector<int32_t> &lattice) {
        for (int32_t &value : lattice)
            value = int32_t(Rng.Random(range)) - Amplitude;
    };
    if (LatticeRow < 0) {
        draw(Upper);
        draw(Lower);
        LatticeRow = 0;
        return;
    }
    std::swap(Upper, Lower);
    draw(Lower);
    ++LatticeRow;
}

void TNoiseOctave::AddRow(int y, int32_t *row)
{
    const int latticeY = y + OffsetY;
    const int j = latticeY / Spacing;
    while (LatticeRow < j)
        NextLatticeRow();

    const int32_t wy = Weights[size_t(latticeY % Spacing)];
    for (size_t i = 0; i < Blend.size(); ++i)
        Blend[i] = Upper[i] + (((Lower[i] - Upper[i]) * wy) >> WeightBits);

    // Walk the row one lattice cell at a time: within a cell the two ends are fixed.
    int x = 0;
    int f = OffsetX;
    for (size_t i = 0; x < Width; ++i) {
        const int32_t left = Blend[i];
        const int32_t span = Blend[i + 1] - left;
        const int end = std::min(Width, x + (Spacing - f));
        for (; x < end; ++x, ++f)
            row[x] += left + ((span * Weights[size_t(f)]) >> WeightBits);
        f = 0;
    }
}

std::vector<int> FractalSpacings(int firstSpacing, int minSpacing)
{
    std::vector<int> spacings;
    int spacing = std::max(firstSpacing, 1);
    minSpacing = std::max(minSpacing, 1);
    while (spacing >= minSpacing) {
        spacings.push_back(spacing);
        const int next = (spacing * SpacingShrinkNumerator + SpacingShrinkDenominator / 2) / SpacingShrinkDenominator;
        if (next >= spacing)
            break;
        spacing = next;
    }
    return spacings;
}

TFractalNoise::TFractalNoise(uint64_t seed, uint64_t firstStream, int width, const std::vector<int> &spacings,
                             int32_t firstAmplitude, int gainPercent)
{
    int32_t amplitude = firstAmplitude;
    uint64_t stream = firstStream;
    for (int spacing : spacings) {
        Octaves.emplace_back(seed, stream++, width, spacing, amplitude);
        amplitude = amplitude * gainPercent / 100;
    }
}

void TFractalNoise::AddRow(int y, int32_t *row)
{
    for (TNoiseOctave &octave : Octaves)
        octave.AddRow(y, row);
}
