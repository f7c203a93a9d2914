#pragma once

#include "GenerateObserver.h"
#include "TerminalProgress.h"

#include <cstdio>

// What the command line shows of the Generate command: the stages and the
// writing as a progress display on standard error, the warning lines on
// standard output, one per line. A run stops when an interrupt (Ctrl-C) was
// received; the caller defers interrupts for that (Interrupt::DeferToAbort).
class TTerminalObserver : public TGenerateObserver
{
public:
    TTerminalObserver(std::FILE *Out, std::FILE *Err, bool ShowProgress) : Out(Out), Progress(Err, ShowProgress) {}

    void StageBegins(int Stage, int StageCount, const std::string &StatusText) override;
    void StageEnds(int Stage, int StageCount) override;
    void WarningsReady(const std::vector<std::string> &Lines, const std::vector<TErrorItem> &Items) override;
    void WritingBegins(int BlockColumns, const std::string &StatusText) override;
    void ColumnWritten(int BlockColumn, int BlockColumns) override;
    bool StopRequested() override;
    void RunEnds(const TGenerateResult &Result) override;

private:
    std::FILE *Out;
    TTerminalProgress Progress;
};
