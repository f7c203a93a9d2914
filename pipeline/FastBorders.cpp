// Fast forms of the stages before the smoothing.
#include "ClassTerrainImage.h"
#include "FastStages.h"

namespace FastStages {

void MarkBorders(TTerrainImage &Model) { Model.MarkBorders(); }
void ResolveSingleBorders(TTerrainImage &Model) { Model.ResolveSingleBorders(); }
void BuildTransitions(TTerrainImage &Model) { Model.BuildTransitions(); }
void MarkCoastline(TTerrainImage &Model) { Model.MarkCoastline(); }
void FinishTiles(TTerrainImage &Model) { Model.FinishTiles(); }
void CoastHeights(TTerrainImage &Model) { Model.CoastHeights(); }
void RandomHeights(TTerrainImage &Model) { Model.RandomHeights(); }

} // namespace FastStages
