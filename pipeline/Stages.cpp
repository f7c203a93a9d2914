// The table of the nine stages (Stages.h).
#include "Stages.h"

#include "FastStages.h"
#include "Pipeline.h"

namespace Pipeline {

// The status texts are the program's own and are shown exactly as written
// here ("Fisnishing" included).
const std::array<TStage, 9> Stages = {{
    {"MarkBorders", "Generating a borderline on all terrain borders", &::MarkBorders,
     &FastStages::MarkBorders},
    {"ResolveSingleBorders", "Checking if all borderline tiles have two terrain tiles as neighbour",
     &::ResolveSingleBorders, &FastStages::ResolveSingleBorders},
    {"BuildTransitions", "Transforming the borderline to correct border tiles", &::BuildTransitions,
     &FastStages::BuildTransitions},
    {"MarkCoastline", "Transforming the borderline near water to a coastline", &::MarkCoastline,
     &FastStages::MarkCoastline},
    {"FinishTiles", "Fisnishing the tile calculations", &::FinishTiles, &FastStages::FinishTiles},
    {"CoastHeights", "Calculating the height of the coastline", &::CoastHeights,
     &FastStages::CoastHeights},
    {"RandomHeights", "Setting random heights on the map", &::RandomHeights, &FastStages::RandomHeights},
    {"SmoothTerrain", "Smoothing the terrain height data", &::SmoothTerrain, &FastStages::SmoothTerrain},
    {"SmoothMountains", "Smoothing the mountain height data", &::SmoothMountains,
     &FastStages::SmoothMountains},
}};

} // namespace Pipeline
