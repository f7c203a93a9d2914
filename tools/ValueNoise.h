#pragma once

#include "Random.h"

#include <cstdint>
#include <vector>

// One octave of value noise over a grid of columns, produced row by row from
// the top: random values on a square lattice of the given spacing (in grid
// cells), blended between lattice points with a smoothstep curve.
//
// The lattice values come from the octave's own PCG32 stream, drawn one
// lattice row at a time in order, and all blending is integer arithmetic, so a
// row depends only on the seed, the stream, the width, the spacing and the
// amplitude: the same on every platform and with every compiler.
//
// Worked example, spacing 4, a lattice row whose values are 0 and 4096, and a
// grid row on that lattice row: the smoothstep weights of the offsets 0..3
// are 0, 640, 2048, 3456 (in 1/4096), so the grid row reads 0, 640, 2048,
// 3456, 4096 from one lattice point to the next.
class TNoiseOctave
{
public:
    TNoiseOctave(uint64_t seed, uint64_t stream, int width, int spacing, int32_t amplitude);

    // Adds the values of grid row y to row[0 .. width). Rows must come in
    // non-decreasing order; skipped lattice rows are still drawn, so the
    // values of a row never depend on which rows were asked for before it.
    void AddRow(int y, int32_t *row);

private:
    void NextLatticeRow();

    TPcg32 Rng;
    int Width;
    int Spacing;
    int32_t Amplitude;
    int OffsetX;           // the lattice is shifted so octaves do not align
    int OffsetY;
    int LatticeRow = -1;   // index of Upper
    std::vector<int32_t> Upper;   // lattice row j
    std::vector<int32_t> Lower;   // lattice row j + 1
    std::vector<int32_t> Blend;   // Upper and Lower blended for the current row
    std::vector<int32_t> Weights; // smoothstep weight of each offset 0 .. Spacing - 1
};

// A sum of octaves whose spacing shrinks and whose amplitude falls from one
// octave to the next (fractal noise), again row by row from the top.
class TFractalNoise
{
public:
    // One octave per spacing (in grid cells), the first with firstAmplitude
    // and each next one with gainPercent percent of the one before. Octave k
    // draws from stream firstStream + k.
    TFractalNoise(uint64_t seed, uint64_t firstStream, int width, const std::vector<int> &spacings,
                  int32_t firstAmplitude, int gainPercent);

    // Adds the sum of the octaves at row y to row[0 .. width).
    void AddRow(int y, int32_t *row);
    int OctaveCount() const { return int(Octaves.size()); }

private:
    std::vector<TNoiseOctave> Octaves;
};

// The spacings of a fractal series: firstSpacing, then each about 0.53 times
// the one before, rounded, down to no less than minSpacing; empty when
// firstSpacing is already below minSpacing. Integer steps only, so the series
// is the same everywhere.
std::vector<int> FractalSpacings(int firstSpacing, int minSpacing);

// The blending weight, in 1/4096, at offset f of a lattice cell of the given
// spacing: smoothstep 3t^2 - 2t^3 at t = f / spacing, rounded down.
int32_t SmoothstepWeight(int f, int spacing);
