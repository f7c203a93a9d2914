#pragma once

#include "GenerateObserver.h"
#include "MapFormat.h"
#include "MapWriter.h"

#include <functional>
#include <limits>

#include <string>

class TTerrainImage;

// The Generate command: runs the pipeline over the model as it stands, hands
// over the warnings and writes the map file (and the statics files when asked
// for) block-column by block-column, telling Observer each step and asking it
// after each block-column whether to stop. The files are saved atomically: a
// stopped or failed run leaves them as they were.
//
// A file that cannot be written is a Failed result, not an exception. A
// failure of the pipeline itself (memory exhausted, say) passes to the caller
// as an exception, without RunEnds: the front end decides what a broken run
// leaves on screen.
TGenerateResult RunGenerateCommand(TTerrainImage &Model, const TMapOutput &Output, TGenerateObserver &Observer);

// What a run that makes only part of a map (a merge into an existing map)
// changes in the command: BeforeStage is called before each stage (index 0
// to 8), and the writer's hooks say which block-columns are kept and what
// is kept in the others, and make the statics files.
struct TPartialRun
{
    // True when it ran the stage itself (on the part made).
    std::function<bool(size_t Stage, TTerrainImage &Model)> BeforeStage;
    // Which warnings concern the part made (the others stand on kept cells).
    std::function<bool(const TErrorItem &Warning)> KeepWarning;
    TMapWriterHooks Writer; // KeepColumn, PatchColumn, Statics
    // The stage from whose BeforeStage on the map is written ahead
    // (TMapWriteAhead, with the writer's hooks) while the stages run. None
    // by default.
    size_t WriteAheadAtStage = std::numeric_limits<size_t>::max();
};
TGenerateResult RunGenerateCommand(TTerrainImage &Model, const TMapOutput &Output, TGenerateObserver &Observer,
                                   const TPartialRun &Partial);
// The classic 6144 x 4096 map, in the format the name asks for.
TGenerateResult RunGenerateCommand(TTerrainImage &Model, const std::string &MapFileName,
                                   TGenerateObserver &Observer);
