// Fast forms of the two smoothing stages: the same grids as the straightforward
// SmoothTerrain and SmoothMountains, computed on a banded copy of the
// altitudes, 32 rows at a time, on every core (FastSmoothTerrain.cpp,
// FastSmoothMountains.cpp, SmoothingBands.h).
#include "FastSmoothing.h"

#include "ClassTerrainImage.h"
#include "FastStages.h"

namespace FastStages {

void SmoothTerrain(TTerrainImage &Model) { FastSmoothing::SmoothTerrain(Model, {}); }

void SmoothMountains(TTerrainImage &Model) { FastSmoothing::SmoothMountains(Model, {}); }

} // namespace FastStages
