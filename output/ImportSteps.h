#pragma once

#include "LargeVector.h"
#include "MapImport.h"

#include <cstdint>

// The steps of reading the painted terrains back (ImportTerrains), each over
// the whole map: the codes hold the terrains decided so far and, for the
// cells still to be decided, what their tile said.
namespace ImportSteps {

// Cells whose terrain is still to be found, by what their tile said.
enum : uint8_t {
    PendingCoast = 250,
    PendingSand = 251,
    PendingTransition = 252,
};

// Sand tiles that coast shares with a terrain: coast or that terrain.
void DecideSand(TTerrainImport &Import, const TMapCells &Map, const TTileClasses &Classes);
// The coast cells, water or land, by the cells around them; returns a bit for
// each coast cell, row after row (whole 64-bit words per row).
TLargeVector<uint64_t> DecideCoast(TTerrainImport &Import);
// The transition cells, and the plain tiles that transitions show too.
void DecideTransitions(TTerrainImport &Import, const TMapCells &Map, const TTileClasses &Classes,
                       const TLargeVector<uint64_t> &CoastBits);

} // namespace ImportSteps
