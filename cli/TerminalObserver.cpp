#include "TerminalObserver.h"

#include "Interrupt.h"

void TTerminalObserver::StageBegins(int Stage, int StageCount, const std::string &StatusText)
{
    // One bar for the stages, 0 to StageCount, a line of its own per stage.
    if (Stage == 1) {
        Progress.SetMin(0);
        Progress.SetMax(StageCount);
        Progress.SetPosition(0);
    }
    Progress.SetSimpleText(StatusText);
}

void TTerminalObserver::StageEnds(int Stage, int)
{
    Progress.SetPosition(Stage);
}

void TTerminalObserver::WarningsReady(const std::vector<std::string> &Lines, const std::vector<TErrorItem> &)
{
    Progress.EndLine();
    for (const std::string &line : Lines) {
        std::fputs(line.c_str(), Out);
        std::fputc('\n', Out);
    }
    std::fflush(Out);
}

void TTerminalObserver::WritingBegins(int BlockColumns, const std::string &StatusText)
{
    // The bar counts the block-columns written: 100% when the last one is.
    Progress.SetMin(0);
    Progress.SetMax(BlockColumns);
    Progress.SetPosition(0);
    Progress.SetSimpleText(StatusText);
}

void TTerminalObserver::ColumnWritten(int BlockColumn, int)
{
    Progress.SetPosition(BlockColumn + 1);
}

bool TTerminalObserver::StopRequested()
{
    return Interrupt::Received() != 0;
}

void TTerminalObserver::RunEnds(const TGenerateResult &)
{
    // Ends the progress line; what the run came to is the caller's to say.
    Progress.SetSimpleText("");
}
