#include "ProgressAdapters.h"

#include <QLabel>
#include <QProgressBar>

#include <algorithm>

void TProgressBarAdapter::SetRange(int Min, int Max)
{
    const int position = GetPosition();
    Bar.setRange(Min, std::max(Min, Max));
    SetPosition(position);
}

void TProgressBarAdapter::SetMin(int Value)
{
    SetRange(Value, std::max(Value, Bar.maximum()));
}

void TProgressBarAdapter::SetMax(int Value)
{
    SetRange(std::min(Value, Bar.minimum()), Value);
}

int TProgressBarAdapter::GetPosition() const
{
    // A reset QProgressBar reports minimum - 1; to its users it stands at the minimum.
    return std::max(Bar.value(), Bar.minimum());
}

void TProgressBarAdapter::SetPosition(int Value)
{
    const int value = std::clamp(Value, Bar.minimum(), Bar.maximum());
    if (value == Bar.value())
        return;
    Bar.setValue(value);
    Show();
}

void TProgressBarAdapter::Show()
{
    if (Bar.isVisible())
        Bar.repaint();
    if (Changed)
        Changed();
}

void TStatusBarAdapter::SetSimpleText(const std::string &Value)
{
    const QString text = QString::fromStdString(Value);
    if (text == Text.text())
        return;
    Text.setText(text);
    if (Text.isVisible())
        Text.repaint();
    if (Changed)
        Changed();
}
