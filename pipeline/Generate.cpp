// The generation driver: runs the nine stages that turn the classified grid of
// a loaded image into final terrain codes and altitudes, in a fixed order,
// telling the status bar what runs and stepping the progress bar after each.
// It works on the grid as it finds it: nothing is reloaded or reset, so a
// second run starts from what the first one left. It runs the fast forms of
// the stages (FastStages.h), which give exactly the results of the member
// functions named after the stages.
#include "ClassTerrainImage.h"
#include "FastStages.h"
#include "Progress.h"

#include <array>

namespace {

// One stage of the pipeline: what the status bar shows while it runs, and the stage.
struct TStage
{
    const char *StatusText;
    void (*Run)(TTerrainImage &);
};

// The nine stages in their order. The status texts are the program's own and
// are shown exactly as written here ("Fisnishing" included).
const std::array<TStage, 9> Stages = {{
    {"Generating a borderline on all terrain borders", &FastStages::MarkBorders},
    {"Checking if all borderline tiles have two terrain tiles as neighbour", &FastStages::ResolveSingleBorders},
    {"Transforming the borderline to correct border tiles", &FastStages::BuildTransitions},
    {"Transforming the borderline near water to a coastline", &FastStages::MarkCoastline},
    {"Fisnishing the tile calculations", &FastStages::FinishTiles},
    {"Calculating the height of the coastline", &FastStages::CoastHeights},
    {"Setting random heights on the map", &FastStages::RandomHeights},
    {"Smoothing the terrain height data", &FastStages::SmoothTerrain},
    {"Smoothing the mountain height data", &FastStages::SmoothMountains},
}};

} // namespace

void TTerrainImage::Generate(TProgressBar &ProgressBar, TStatusBar &StatusBar)
{
    ProgressBar.SetMin(0);
    ProgressBar.SetMax(int(Stages.size()));
    ProgressBar.SetPosition(0);

    // The warnings of an earlier run are dropped.
    ErrorCount = 0;
    Errors.clear();

    for (const TStage &stage : Stages) {
        StatusBar.SetSimpleText(stage.StatusText);
        stage.Run(*this);
        ProgressBar.SetPosition(ProgressBar.GetPosition() + 1);
    }
}
