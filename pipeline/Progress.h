#pragma once

#include <string>

// What Generate needs of a progress bar: the Generate command passes one that
// turns the steps into its observer's stage events; tests pass recorders.
class TProgressBar
{
public:
    virtual ~TProgressBar() = default;
    virtual void SetMin(int Value) = 0;
    virtual void SetMax(int Value) = 0;
    virtual int GetPosition() const = 0;
    virtual void SetPosition(int Value) = 0;
};

// What Generate needs of a status bar: one line of text.
class TStatusBar
{
public:
    virtual ~TStatusBar() = default;
    virtual void SetSimpleText(const std::string &Text) = 0;
};
