#pragma once

#include <functional>

class TTerrainImage;

// The stages in the form that Generate runs: the same results as the stage
// functions named after the stages, which stay the straightforward reference
// (every scan through the bounds-tested accessors), but walking the framed
// arrays directly and using both cores where the result stays identical.
namespace FastStages {

void MarkBorders(TTerrainImage &Model);
void ResolveSingleBorders(TTerrainImage &Model);
void BuildTransitions(TTerrainImage &Model);
void MarkCoastline(TTerrainImage &Model);
void FinishTiles(TTerrainImage &Model);
void CoastHeights(TTerrainImage &Model);
void RandomHeights(TTerrainImage &Model);
// The same with the test of whether the cell (X, Y) inside the grid is fixed
// given: for a run that made the coast rings only on part of the grid, and
// knows the rest by another way, as the draws depend on it.
void RandomHeights(TTerrainImage &Model, const std::function<bool(int X, int Y)> &IsFixed);
void SmoothTerrain(TTerrainImage &Model);
void SmoothMountains(TTerrainImage &Model);

} // namespace FastStages
