#pragma once

#include "MapFormat.h"

#include <string>
#include <vector>

class TTerrainImage;
class TProgressBar;
class TStatusBar;

// What the Generate command needs of the front end that runs it: the window
// passes itself, the command line a terminal view, the tests a recorder.
class TGenerateView
{
public:
    virtual ~TGenerateView() = default;
    virtual void LockGUI(bool Lock) = 0;
    virtual void ClearMemo() = 0;
    virtual void SetMemoLines(const std::vector<std::string> &Lines) = 0;
    virtual TProgressBar &GetProgressBar() = 0;
    virtual TStatusBar &GetStatusBar() = 0;
    // Lets pending events run; this is where an Abort request can arrive.
    virtual void ProcessMessages() = 0;
    // Text is the message box text; Detail names the file and the cause.
    virtual void ShowError(const std::string &Text, const std::string &Detail) = 0;
    virtual void SetAbortFlag(bool Value) = 0;
    virtual bool GetAbortFlag() const = 0;
};

enum class TGenerateOutcome { Written, Aborted, Failed };

// The Generate command: lock, run the pipeline, list the warnings, write the
// map file (and the statics files when asked for) with progress and abort,
// unlock. Failures of the pipeline itself pass to the caller, with the view
// left locked.
TGenerateOutcome RunGenerateCommand(TTerrainImage &Model, const TMapOutput &Output, TGenerateView &View);
// The classic 6144 x 4096 map, in the format the name asks for.
TGenerateOutcome RunGenerateCommand(TTerrainImage &Model, const std::string &MapFileName, TGenerateView &View);

// The Abort command: unlock, raise the abort flag, progress back to 1.
void RunAbortCommand(TGenerateView &View);
