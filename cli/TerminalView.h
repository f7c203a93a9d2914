#pragma once

#include "GenerateCommand.h"
#include "TerminalProgress.h"

#include <cstdio>
#include <string>

// The Generate command's view on a terminal: the warnings (the window's memo)
// go to standard output one per line, progress and failures to standard
// error. An interrupt (Ctrl-C) during the writing acts as the Abort button.
class TTerminalView : public TGenerateView
{
public:
    TTerminalView(std::FILE *Out, std::FILE *Err, bool ShowProgress)
        : Out(Out), Err(Err), Progress(Err, ShowProgress) {}

    void LockGUI(bool Lock) override;
    void ClearMemo() override {} // lines once printed stay printed
    void SetMemoLines(const std::vector<std::string> &Lines) override;
    TProgressBar &GetProgressBar() override { return Progress; }
    TStatusBar &GetStatusBar() override { return Progress; }
    void ProcessMessages() override;
    void ShowError(const std::string &Text, const std::string &Detail) override;
    void SetAbortFlag(bool Value) override { AbortFlag = Value; }
    bool GetAbortFlag() const override { return AbortFlag; }

    // The failure that ShowError reported, naming the file and the cause.
    const std::string &GetError() const { return Error; }

private:
    std::FILE *Out;
    std::FILE *Err;
    TTerminalProgress Progress;
    bool AbortFlag = false;
    std::string Error;
};
