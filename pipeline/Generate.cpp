// The generation driver: runs the nine stages that turn the classified grid of
// a loaded image into final terrain codes and altitudes, in a fixed order,
// telling the status bar what runs and stepping the progress bar after each.
// It works on the grid as it finds it: nothing is reloaded or reset, so a
// second run starts from what the first one left. It runs the fast forms of
// the stages (Stages.h), which give exactly the results of the straightforward
// forms named after the stages.
#include "Pipeline.h"

#include "ClassTerrainImage.h"
#include "Progress.h"
#include "Stages.h"

void Generate(TTerrainImage &Model, TProgressBar &ProgressBar, TStatusBar &StatusBar)
{
    ProgressBar.SetMin(0);
    ProgressBar.SetMax(int(Pipeline::Stages.size()));
    ProgressBar.SetPosition(0);

    // The warnings of an earlier run are dropped.
    Model.ClearErrors();

    for (const Pipeline::TStage &stage : Pipeline::Stages) {
        StatusBar.SetSimpleText(stage.StatusText);
        stage.Fast(Model);
        ProgressBar.SetPosition(ProgressBar.GetPosition() + 1);
    }
}
