#pragma once

#include "MapImport.h"
#include "MapMerge.h"

class TTerrainImage;

// The code of a kept cell whose tile the configuration does not know (a road,
// a cave floor): no terrain, but no void tile either. No stage uses it.
inline constexpr uint16_t KeptUnknownTile = 23;

// After a merge the kept cells hold the codes that the stages gave the new
// picture, and the existing map's tiles and altitudes. The picture's stages
// read alike but may put a coast strip or a border line one cell over, so a
// kept cell may hold WATER where the map shows coast at -15. For the report
// and the preview, which describe the map as written, every kept cell whose
// tile its code cannot show takes a code that shows it: a plain tile its
// terrain, a coastline tile COASTLINE (a sand tile: COASTLINE in place of
// water, else its terrain), a transition tile a transition that shows it.
// Cells whose tile is unknown take KeptUnknownTile. Returns how many changed.
uint64_t ShowKeptCellsAsWritten(TTerrainImage &Model, const TMapCells &Existing, const TTileClasses &Classes,
                                const TMergeRegion &Region);
