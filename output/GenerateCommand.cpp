#include "GenerateCommand.h"

#include "ClassTerrainImage.h"
#include "MapWriter.h"
#include "Pipeline.h"
#include "Progress.h"

TGenerateOutcome RunGenerateCommand(TTerrainImage &Model, const std::string &MapFileName, TGenerateView &View)
{
    return RunGenerateCommand(Model, TMapOutput::ForFile(MapFileName), View);
}

TGenerateOutcome RunGenerateCommand(TTerrainImage &Model, const TMapOutput &Output, TGenerateView &View)
{
    const std::string &MapFileName = Output.FileName;
    View.LockGUI(true);
    View.ClearMemo();
    View.ProcessMessages();
    Generate(Model, View.GetProgressBar(), View.GetStatusBar());
    View.SetMemoLines(Model.GetWarnings());

    TProgressBar &progress = View.GetProgressBar();
    progress.SetMin(0);
    progress.SetMax(Output.Size.BlockColumns() - 1);
    progress.SetPosition(1);
    View.GetStatusBar().SetSimpleText("Storing map0.mul");

    TGenerateOutcome outcome = TGenerateOutcome::Written;
    try {
        TMapWriterHooks hooks;
        hooks.Opened = [&] { View.SetAbortFlag(false); };
        hooks.AfterColumn = [&](int) {
            progress.SetPosition(progress.GetPosition() + 1);
            View.ProcessMessages();
            return View.GetAbortFlag();
        };
        if (WriteMapFile(Model, Output, hooks) == TMapWriteResult::Aborted)
            outcome = TGenerateOutcome::Aborted;
    } catch (const EMapWriteError &error) {
        View.ShowError("Clould not store MAP to " + MapFileName + "!", error.what());
        outcome = TGenerateOutcome::Failed;
    }
    View.LockGUI(false);
    return outcome;
}

void RunAbortCommand(TGenerateView &View)
{
    View.LockGUI(false);
    View.SetAbortFlag(true);
    View.GetProgressBar().SetPosition(1);
}
