#pragma once

#include "Progress.h"

#include <cstdio>
#include <string>

// The progress display of the command line on a terminal: each status text
// starts a line of its own, followed by a bar that is redrawn in place as the
// position moves. A text that was shown stays on the screen, so the stages
// of a run remain visible one per line. When disabled it only keeps the state.
class TTerminalProgress : public TProgressBar, public TStatusBar
{
public:
    TTerminalProgress(std::FILE *Out, bool Enabled) : Out(Out), Enabled(Enabled) {}

    void SetMin(int Value) override { SetRange(Value, Max); }
    void SetMax(int Value) override { SetRange(Min, Value); }
    int GetPosition() const override { return Position; }
    void SetPosition(int Value) override;
    void SetSimpleText(const std::string &Text) override;

    // Ends the line being drawn, so that other output starts on a fresh line.
    void EndLine();

private:
    void SetRange(int NewMin, int NewMax);
    void Draw();

    std::FILE *Out;
    bool Enabled;
    int Min = 0, Max = 100, Position = 0;
    std::string Text;
    bool Showing = false; // the text belongs to the current range and is on screen
    bool LineOpen = false;
    int DrawnPercent = -1;
};
