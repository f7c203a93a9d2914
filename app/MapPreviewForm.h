#pragma once

#include "MapFormat.h"

#include <QWidget>

#include <string>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class TMapPreviewView;
class TTerrainImage;

// The window that shows the generated map: the preview picture with zoom and
// pan, the void-tile report and a legend of the colours (with each terrain's
// altitudes in the map) beside it, and a line that names the cell under the
// mouse. The main window opens it after Generate and
// asks it to show the cell of a warning that the user clicked.
class TMapPreviewForm : public QWidget
{
    Q_OBJECT

public:
    explicit TMapPreviewForm(QWidget *Parent = nullptr);

    // Shows the map of the given size made from Model (which must outlive the
    // map, or be cleared away first): its picture, one pixel per Scale x Scale
    // cells, the void-tile report, and in the legend the altitude range of
    // each terrain (MakeAltitudeRanges).
    void SetMap(const TTerrainImage &Model, const TMapSize &Size, int Scale, const QImage &Picture,
                const std::vector<std::string> &ReportLines);
    // Forgets the map, e.g. when the model is given a new picture.
    void Clear();
    bool HasMap() const;

    // Brings the window up beside Main (right of it, else left, else below),
    // sized to the room there, so that it covers as little of Main as the
    // screen allows; the first time only: later the user's place is kept.
    void ShowBeside(const QWidget &Main);
    // Places it as ShowBeside does on a screen whose free part is Room.
    void PlaceBeside(const QWidget &Main, const QRect &Room);

    // Brings the window up with the cell (0-based) in the middle, marked.
    void ShowCell(int X, int Y);

    TMapPreviewView *View = nullptr;
    QPushButton *ZoomInButton = nullptr;
    QPushButton *ZoomOutButton = nullptr;
    QPushButton *FitButton = nullptr;
    QPushButton *ActualSizeButton = nullptr;
    QPlainTextEdit *ReportMemo = nullptr;
    QLabel *LegendLabel = nullptr;
    QLabel *CellLabel = nullptr;

private:
    void DescribeCell(const QPoint &Cell);

    const TTerrainImage *Model = nullptr;
    TMapSize MapSize; // of the map shown: the cells the mouse can name
    bool Placed = false;
};
