#pragma once

#include "Statics.h"

#include <optional>
#include <string>
#include <vector>

struct TErrorItem;

enum class TGenerateOutcome { Written, Aborted, Failed };

// How a run of the Generate command ended.
struct TGenerateResult
{
    TGenerateOutcome Outcome = TGenerateOutcome::Written;
    // Failed: why the map file could not be written, naming the file and the
    // cause; empty otherwise. The front end says it in its own words.
    std::string Error;
    // Written with decorated statics: what they hold.
    std::optional<TStaticsCounts> Statics;
};

// What the Generate command tells the front end that runs it, in this order:
// RunBegins; StageBegins, StageEnds and StopRequested for each of the
// pipeline's stages (not asked after the last); WarningsReady; WritingBegins;
// ColumnWritten then StopRequested after each block-column; RunEnds, after
// which nothing more is called. Every event does
// nothing by default, so a front end overrides only what it shows.
class TGenerateObserver
{
public:
    virtual ~TGenerateObserver() = default;

    virtual void RunBegins() {}
    // Stage Stage (from 1) of StageCount is about to run; StatusText says what it does.
    virtual void StageBegins(int /*Stage*/, int /*StageCount*/, const std::string & /*StatusText*/) {}
    virtual void StageEnds(int /*Stage*/, int /*StageCount*/) {}
    // The warning lines of the run and, one for one, the warnings they name.
    virtual void WarningsReady(const std::vector<std::string> & /*Lines*/, const std::vector<TErrorItem> & /*Items*/)
    {
    }
    // The map file is about to be opened; BlockColumns of them will be written.
    virtual void WritingBegins(int /*BlockColumns*/, const std::string & /*StatusText*/) {}
    // Block-column BlockColumn (from 0) of BlockColumns is written.
    virtual void ColumnWritten(int /*BlockColumn*/, int /*BlockColumns*/) {}
    // Asked after each stage but the last and after each ColumnWritten: true
    // ends the run as Aborted, leaving the files as they were before it (and,
    // during the pipeline, the grid only partly generated).
    virtual bool StopRequested() { return false; }
    // The same result that RunGenerateCommand returns.
    virtual void RunEnds(const TGenerateResult & /*Result*/) {}
};
