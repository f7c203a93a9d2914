#pragma once

class TTerrainImage;

// Painted heights in the height stages (a heights picture, see
// TTerrainImage::LoadHeights). Both steps do nothing without painted heights.
// Each has one form, shared by the straightforward and the fast stages: they
// touch only painted cells, in plain scans over the raw arrays.
//
// The rule: water, coastline and the three coast rings keep their altitudes
// and FLAG_FIXED. Every other cell is FLAG_PAINTED: it takes no random seed
// (the seed's draws are made and dropped, so the other cells draw as in a run
// without painted heights), the terrain smoothing leaves it as it is, and the
// mountain smoothing reshapes no painted cell. Painted mountains keep the
// mountain smoothing's slope limits: before the smoothing, each is lowered
// to the highest altitude its neighbours allow.
namespace PaintedHeights {

// The end of CoastHeights: every cell still without a flag becomes
// FLAG_PAINTED, at its painted altitude.
void MarkPaintedCells(TTerrainImage &Model);

// The end of RandomHeights: lowers each painted mountain cell to
// min(a, b + limit[d]) over its counted neighbours b (d the direction to b,
// limit the mountain slope limits), again and again until nothing changes.
// Altitudes only fall and the lowest cell cannot fall, so this ends; the
// result is the highest relief under the painted one that keeps the limits,
// whatever the order in which the cells are visited.
void LowerPaintedMountains(TTerrainImage &Model);

} // namespace PaintedHeights
