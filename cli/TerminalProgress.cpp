#include "TerminalProgress.h"

#include "Platform.h"

#include <algorithm>

namespace {

// Without a known terminal width, assume the classic one.
constexpr int DefaultColumns = 80;
// The bar's width in characters, at most and at least (a narrower bar is left out).
constexpr int LongestBar = 30;
constexpr int ShortestBar = 10;

int TerminalColumns(std::FILE *Out)
{
    const int columns = Platform::TerminalColumns(Out);
    return columns > 0 ? columns : DefaultColumns;
}

} // namespace

void TTerminalProgress::SetRange(int NewMin, int NewMax)
{
    if (NewMin == Min && NewMax == Max)
        return;
    Min = NewMin;
    Max = NewMax;
    // A new range is a new task: the text on screen no longer goes with it.
    EndLine();
    Showing = false;
}

void TTerminalProgress::SetPosition(int Value)
{
    Position = Value;
    if (Showing)
        Draw();
}

void TTerminalProgress::SetSimpleText(const std::string &NewText)
{
    if (NewText == Text && Showing)
        return;
    EndLine();
    Text = NewText;
    Showing = !Text.empty();
    DrawnPercent = -1;
    if (Showing)
        Draw();
}

void TTerminalProgress::EndLine()
{
    if (LineOpen && Enabled) {
        std::fputc('\n', Out);
        std::fflush(Out);
    }
    LineOpen = false;
}

void TTerminalProgress::Draw()
{
    if (!Enabled)
        return;
    const int span = Max - Min;
    const int percent = span > 0 ? std::clamp((Position - Min) * 100 / span, 0, 100) : 0;
    if (percent == DrawnPercent)
        return; // 768 steps of the writing would redraw the same bar many times
    DrawnPercent = percent;

    // "text  [#####-----] 50%", cut to the terminal so that \r returns to its start.
    const int columns = TerminalColumns(Out) - 1;
    const int barWidth = std::min(LongestBar, columns - int(Text.size()) - 9);
    std::string line = Text;
    if (barWidth >= ShortestBar) {
        const int filled = percent * barWidth / 100;
        line += "  [" + std::string(size_t(filled), '#') + std::string(size_t(barWidth - filled), '-') + "] ";
    } else {
        line += "  ";
    }
    line += std::to_string(percent) + "%";
    if (int(line.size()) > columns)
        line.resize(size_t(std::max(columns, 0)));
    Platform::WriteText(Out, "\r" + line + "\x1b[K");
    std::fflush(Out);
    LineOpen = true;
}
