#include "TerminalView.h"

#include "Interrupt.h"

void TTerminalView::LockGUI(bool)
{
    // Nothing to lock on a terminal; what locking does to the status and the bar holds.
    Progress.SetSimpleText("");
    Progress.SetPosition(0);
}

void TTerminalView::SetMemoLines(const std::vector<std::string> &Lines)
{
    // The pipeline has finished and the map file is about to be opened: from
    // here on an interrupt must not end the process before the unfinished
    // file is cleaned up, so it becomes an Abort request instead.
    Interrupt::DeferToAbort();
    Progress.EndLine();
    for (const std::string &line : Lines) {
        std::fputs(line.c_str(), Out);
        std::fputc('\n', Out);
    }
    std::fflush(Out);
}

void TTerminalView::ProcessMessages()
{
    if (Interrupt::Received() != 0 && !AbortFlag)
        RunAbortCommand(*this);
}

void TTerminalView::ShowError(const std::string &, const std::string &Detail)
{
    // The box text ("Clould not store MAP to ...") is the window's; the terminal
    // reports the file and the cause, which Detail holds.
    Error = Detail;
}
