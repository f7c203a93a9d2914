// The Generate command, the same for every front end: the pipeline, the
// warnings, then the map file, with a stop check after each stage and after
// each block-column.
// What the front end shows of it, and how a stop is asked for, is its own
// business (TGenerateObserver).
#include "GenerateCommand.h"

#include "ClassTerrainImage.h"
#include "MapWriter.h"
#include "Pipeline.h"
#include "Progress.h"
#include "StageCommon.h"
#include "Stages.h"

#include <algorithm>
#include <memory>

namespace {

// The status text while the map is written; a fixed text that does not name
// the chosen file.
const char *const StoringText = "Storing map0.mul";

// Generate reports through a progress bar and a status line: it sets the
// text of each stage before running it and steps the bar after it. These
// turn that into the observer's stage events.
class TStageEvents : public TProgressBar, public TStatusBar
{
public:
    explicit TStageEvents(TGenerateObserver &Observer) : Observer(Observer) {}

    void SetMin(int) override {}
    void SetMax(int) override {}
    int GetPosition() const override { return Position; }
    void SetPosition(int Value) override
    {
        Position = Value;
        if (Stage > 0 && Value == Stage)
            Observer.StageEnds(Stage, StageCount);
    }
    void SetSimpleText(const std::string &Text) override { Observer.StageBegins(++Stage, StageCount, Text); }

private:
    TGenerateObserver &Observer;
    const int StageCount = int(Pipeline::Stages.size());
    int Stage = 0;
    int Position = 0;
};

// The listed warnings of the model, in the order of its warning lines.
std::vector<TErrorItem> ListedWarnings(const TTerrainImage &Model)
{
    const std::vector<TErrorItem> &errors = Model.GetErrors();
    const size_t count = std::min(errors.size(), size_t(std::max(Model.GetErrorCount(), 0)));
    std::vector<TErrorItem> items;
    for (size_t i = 0; i < count; ++i)
        if (errors[i].Kind == ListedWarning)
            items.push_back(errors[i]);
    return items;
}

TGenerateResult WriteMap(TTerrainImage &Model, const TMapOutput &Output, TGenerateObserver &Observer,
                         const TMapWriterHooks &Partial, TMapWriteAhead *Ahead)
{
    const int columns = Output.Size.BlockColumns();
    TMapWriterHooks hooks = Partial;
    hooks.Ahead = Ahead;
    hooks.AfterColumn = [&](int BlockColumn) {
        Observer.ColumnWritten(BlockColumn, columns);
        return Observer.StopRequested();
    };
    TGenerateResult written{TGenerateOutcome::Written, {}, {}};
    hooks.StaticsBuilt = [&](const TStaticsCounts &Counts) { written.Statics = Counts; };
    try {
        if (WriteMapFile(Model, Output, hooks) == TMapWriteResult::Aborted)
            return {TGenerateOutcome::Aborted, {}, {}};
    } catch (const EMapWriteError &error) {
        return {TGenerateOutcome::Failed, error.what(), {}};
    }
    return written;
}

} // namespace

TGenerateResult RunGenerateCommand(TTerrainImage &Model, const std::string &MapFileName,
                                   TGenerateObserver &Observer)
{
    return RunGenerateCommand(Model, TMapOutput::ForFile(MapFileName), Observer);
}

TGenerateResult RunGenerateCommand(TTerrainImage &Model, const TMapOutput &Output, TGenerateObserver &Observer)
{
    return RunGenerateCommand(Model, Output, Observer, TPartialRun{});
}

TGenerateResult RunGenerateCommand(TTerrainImage &Model, const TMapOutput &Output, TGenerateObserver &Observer,
                                   const TPartialRun &Partial)
{
    Observer.RunBegins();
    TStageEvents stages(Observer);
    std::function<bool(size_t)> beforeStage;
    // The kept part of a MUL map file is written while the stages after the
    // one that finds it still run; discarded unless the writer commits it.
    std::unique_ptr<TMapWriteAhead> ahead;
    if (Partial.BeforeStage)
        beforeStage = [&](size_t Stage) {
            const bool ran = Partial.BeforeStage(Stage, Model);
            if (Stage == Partial.WriteAheadAtStage && TMapWriteAhead::Applies(Output))
                ahead = std::make_unique<TMapWriteAhead>(Output, Partial.Writer);
            return ran;
        };
    if (!Generate(Model, stages, stages, [&] { return Observer.StopRequested(); }, beforeStage)) {
        // Nothing was written: the files are as they were.
        const TGenerateResult stopped{TGenerateOutcome::Aborted, {}, {}};
        Observer.RunEnds(stopped);
        return stopped;
    }
    std::vector<std::string> lines = Model.GetWarnings();
    std::vector<TErrorItem> items = ListedWarnings(Model);
    if (Partial.KeepWarning) {
        // The lines and the listed warnings go one for one.
        std::vector<std::string> keptLines;
        std::vector<TErrorItem> keptItems;
        for (size_t i = 0; i < items.size() && i < lines.size(); ++i)
            if (Partial.KeepWarning(items[i])) {
                keptLines.push_back(lines[i]);
                keptItems.push_back(items[i]);
            }
        lines.swap(keptLines);
        items.swap(keptItems);
    }
    Observer.WarningsReady(lines, items);
    Observer.WritingBegins(Output.Size.BlockColumns(), StoringText);
    const TGenerateResult result = WriteMap(Model, Output, Observer, Partial.Writer, ahead.get());
    Observer.RunEnds(result);
    return result;
}
