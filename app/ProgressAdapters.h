#pragma once

#include "Progress.h"

#include <functional>

class QLabel;
class QProgressBar;

// The window's progress bar as the Generate command's events move it. A
// position outside the range is moved into it, and changing the range keeps
// the position within it, as a classic progress bar does (QProgressBar would
// ignore or reset instead).
//
// The pipeline's stages run without event processing, so both adapters paint
// their widget when it changes and then call Changed, with which the window
// lets pending paints of its other widgets happen.
class TProgressBarAdapter : public TProgressBar
{
public:
    explicit TProgressBarAdapter(QProgressBar &Bar, std::function<void()> Changed = {})
        : Bar(Bar), Changed(std::move(Changed))
    {
    }
    void SetMin(int Value) override;
    void SetMax(int Value) override;
    int GetPosition() const override;
    void SetPosition(int Value) override;

private:
    void SetRange(int Min, int Max);
    void Show();
    QProgressBar &Bar;
    std::function<void()> Changed;
};

// The window's status bar: one line of text, painted when it changes.
class TStatusBarAdapter : public TStatusBar
{
public:
    explicit TStatusBarAdapter(QLabel &Text, std::function<void()> Changed = {})
        : Text(Text), Changed(std::move(Changed))
    {
    }
    void SetSimpleText(const std::string &Value) override;

private:
    QLabel &Text;
    std::function<void()> Changed;
};
