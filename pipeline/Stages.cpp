// The table of the nine stages (Stages.h).
#include "Stages.h"

#include "ClassTerrainImage.h"
#include "FastStages.h"

namespace Pipeline {

// The status texts are the program's own and are shown exactly as written
// here ("Fisnishing" included).
const std::array<TStage, 9> Stages = {{
    {"MarkBorders", "Generating a borderline on all terrain borders", &TTerrainImage::MarkBorders,
     &FastStages::MarkBorders},
    {"ResolveSingleBorders", "Checking if all borderline tiles have two terrain tiles as neighbour",
     &TTerrainImage::ResolveSingleBorders, &FastStages::ResolveSingleBorders},
    {"BuildTransitions", "Transforming the borderline to correct border tiles", &TTerrainImage::BuildTransitions,
     &FastStages::BuildTransitions},
    {"MarkCoastline", "Transforming the borderline near water to a coastline", &TTerrainImage::MarkCoastline,
     &FastStages::MarkCoastline},
    {"FinishTiles", "Fisnishing the tile calculations", &TTerrainImage::FinishTiles, &FastStages::FinishTiles},
    {"CoastHeights", "Calculating the height of the coastline", &TTerrainImage::CoastHeights,
     &FastStages::CoastHeights},
    {"RandomHeights", "Setting random heights on the map", &TTerrainImage::RandomHeights, &FastStages::RandomHeights},
    {"SmoothTerrain", "Smoothing the terrain height data", &TTerrainImage::SmoothTerrain, &FastStages::SmoothTerrain},
    {"SmoothMountains", "Smoothing the mountain height data", &TTerrainImage::SmoothMountains,
     &FastStages::SmoothMountains},
}};

} // namespace Pipeline
