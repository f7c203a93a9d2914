#pragma once

#include "Progress.h"

class QLabel;
class QProgressBar;

// The window's progress bar as Generate sees it. A position outside the range
// is moved into it, and changing the range keeps the position within it, as a
// classic progress bar does (QProgressBar would ignore or reset instead).
class TProgressBarAdapter : public TProgressBar
{
public:
    explicit TProgressBarAdapter(QProgressBar &Bar) : Bar(Bar) {}
    void SetMin(int Value) override;
    void SetMax(int Value) override;
    int GetPosition() const override;
    void SetPosition(int Value) override;

private:
    void SetRange(int Min, int Max);
    QProgressBar &Bar;
};

// The window's status bar as Generate sees it: one line of text.
class TStatusBarAdapter : public TStatusBar
{
public:
    explicit TStatusBarAdapter(QLabel &Text) : Text(Text) {}
    void SetSimpleText(const std::string &Value) override;

private:
    QLabel &Text;
};
