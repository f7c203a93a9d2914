#pragma once

#include "MapFormat.h"
#include "LargeVector.h"
#include "MapWriter.h"

#include <cstdint>
#include <functional>
#include <vector>

class TTerrainImage;
struct TMergeRegion;
struct TCell;

// The height stages of a merge run on the part of the grid that is remade:
// kept cells take their altitudes from the existing map and stand fixed, so
// nothing outside the remade blocks and the cells around them can change.
// The random draws stay those of a whole run over the picture.

// A rectangle of the grid, 1-based and inclusive; empty when X1 < X0.
struct TGridBox
{
    int X0 = 1, Y0 = 1, X1 = 0, Y1 = 0;

    bool Empty() const { return X1 < X0 || Y1 < Y0; }
    // By cells more on every side, cut to a grid of Width x Height.
    TGridBox Grown(int By, int Width, int Height) const;
};

// The smallest rectangle around the remade blocks of Region.
TGridBox RemadeBox(const TMergeRegion &Region);

// Runs Work on the part Box of the model's grid as on a grid of its own (the
// cells beyond the part read as empty), then puts the part back into the
// grid. Whatever Work throws, the model has its whole grid again.
void RunOnPart(TTerrainImage &Model, const TGridBox &Box, const std::function<void(TTerrainImage &)> &Work);

// Remade land (not mountain) beside kept land that lies below every altitude
// a run gives land (the height profile's start and seed ranges, its rings,
// and its coast, which the picture's stages may make land one cell over)
// would start at those altitudes all the same, and the terrain smoothing,
// which rises before it falls and stops after its passes, would leave a step
// down to it. So each free remade land cell is lowered by as much as its
// nearest kept land cell (eight neighbours, within a block of the remade
// blocks) lies below them; where no kept land lies so low, as on a generated
// map, nothing changes. Kept cells are the FLAG_PAINTED ones.
void StartRemadeLandNearKept(TTerrainImage &Model, const TMergeRegion &Region);

// Which cells the coast rings fix, for a freshly loaded picture whose
// terrain codes are final: water and coastline cells and those at most three
// king moves from one. What the random heights ask of a cell where the
// rings were not made. A bit per cell, found with both cores.
class TCoastRings
{
public:
    explicit TCoastRings(const TTerrainImage &Model);
    // The same together with the writer's draws in a map of Size
    // (TMapFiller::CountDraws), from one pass.
    TCoastRings(const TTerrainImage &Model, const TMapSize &Size, TMapDraws &Draws);
    // (X, Y) 1-based, inside the grid.
    bool Fixed(int X, int Y) const;

private:
    // Row Y (0-based) of the grid, Width cells.
    void MarkRow(int Y, const TCell *Row);
    int Width = 0, Height = 0, Words = 0;
    TLargeVector<uint64_t> Bits; // by row, a bit per cell: water or coastline
};
