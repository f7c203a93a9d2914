#pragma once

#include "GenerateObserver.h"
#include "MapFormat.h"

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
// The classic 6144 x 4096 map, in the format the name asks for.
TGenerateResult RunGenerateCommand(TTerrainImage &Model, const std::string &MapFileName,
                                   TGenerateObserver &Observer);
