// Fast forms of the two smoothing stages.
#include "ClassTerrainImage.h"
#include "FastStages.h"

namespace FastStages {

void SmoothTerrain(TTerrainImage &Model) { Model.SmoothTerrain(); }

void SmoothMountains(TTerrainImage &Model) { Model.SmoothMountains(); }

} // namespace FastStages
