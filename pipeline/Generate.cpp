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
#include "SmoothingBands.h"
#include "Stages.h"

bool Generate(TTerrainImage &Model, TProgressBar &ProgressBar, TStatusBar &StatusBar,
              const std::function<bool()> &StopRequested, const std::function<bool(size_t Stage)> &BeforeStage)
{
    ProgressBar.SetMin(0);
    ProgressBar.SetMax(int(Pipeline::Stages.size()));
    ProgressBar.SetPosition(0);

    // The smoothing stages pass their band memory on through it; it goes
    // with the run, whether the run ends, stops or fails.
    Smoothing::TRunMemory bandMemory;

    // A load that left the start altitudes to be drawn later, when nothing
    // here draws only those it needs.
    if (!BeforeStage && Model.HasDeferredStartAltitudes())
        Model.DrawDeferredStartAltitudes(1, Model.GetHeight());

    // The warnings of an earlier run are dropped.
    Model.ClearErrors();

    for (size_t k = 0; k < Pipeline::Stages.size(); ++k) {
        const Pipeline::TStage &stage = Pipeline::Stages[k];
        StatusBar.SetSimpleText(stage.StatusText);
        if (!BeforeStage || !BeforeStage(k))
            stage.Fast(Model);
        ProgressBar.SetPosition(ProgressBar.GetPosition() + 1);
        if (k + 1 < Pipeline::Stages.size() && StopRequested && StopRequested())
            return false;
    }
    return true;
}
