#pragma once

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
void SmoothTerrain(TTerrainImage &Model);
void SmoothMountains(TTerrainImage &Model);

} // namespace FastStages
