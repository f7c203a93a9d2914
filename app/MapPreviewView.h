#pragma once

#include <QImage>
#include <QPointF>
#include <QWidget>

#include <optional>
#include <vector>

class QPainter;

// The map picture on screen, with zoom and pan: the wheel zooms around the
// mouse, dragging with the left button pans, the keys +, -, 0 (fit) and 1
// (one screen pixel per cell) do the rest. One cell can be marked with a red
// circle and cross. Positions are map cells, counted from 0 at the top left,
// the cell (X, Y) covering X..X+1 and Y..Y+1.
class TMapPreviewView : public QWidget
{
    Q_OBJECT

public:
    explicit TMapPreviewView(QWidget *Parent = nullptr);

    // Shows a new picture, fitted to the view, unmarked: one pixel per
    // CellsPerPixel x CellsPerPixel cells (1 but for the largest maps).
    void SetPicture(const QImage &Picture, int CellsPerPixel = 1);
    // Shows nothing (and says how to get a picture).
    void Clear();
    bool HasPicture() const { return !Levels.empty(); }
    const QImage &GetPicture() const;
    int GetCellsPerPixel() const { return Scale; }

    // Screen pixels per cell.
    double GetZoom() const { return Zoom; }
    void SetZoom(double NewZoom);
    void ZoomIn();
    void ZoomOut();
    void FitToWindow();
    // The map position shown in the middle of the view.
    QPointF GetCentre() const { return Centre; }
    // Puts the middle of the cell in the middle of the view, zoomed in far
    // enough to see the cells around it.
    void CentreOnCell(const QPoint &Cell);

    void SetMarker(const std::optional<QPoint> &Cell);
    const std::optional<QPoint> &GetMarker() const { return Marker; }

    // The cell under a point of the view, and the point of the view where a
    // map position appears.
    QPoint CellAt(const QPointF &ViewPoint) const;
    QPointF ViewPointOf(const QPointF &MapPoint) const;

signals:
    // The mouse is over this cell (it may lie outside the map).
    void CellHovered(const QPoint &Cell);

protected:
    void paintEvent(QPaintEvent *Event) override;
    void resizeEvent(QResizeEvent *Event) override;
    void showEvent(QShowEvent *Event) override;
    void wheelEvent(QWheelEvent *Event) override;
    void mousePressEvent(QMouseEvent *Event) override;
    void mouseMoveEvent(QMouseEvent *Event) override;
    void mouseReleaseEvent(QMouseEvent *Event) override;
    void keyPressEvent(QKeyEvent *Event) override;

private:
    QPointF ViewMiddle() const;
    QPointF MapPointAt(const QPointF &ViewPoint) const;
    // Zooms to NewZoom keeping the map point under ViewPoint where it is.
    void ZoomAround(double NewZoom, const QPointF &ViewPoint);
    // The zoom at which the whole map fills the view in one direction.
    double FitZoom() const;
    void DrawMarker(QPainter &Painter) const;

    // The picture and smaller copies of it, each half the size of the one
    // before, so that a far view draws from a copy near its own size.
    std::vector<QImage> Levels;
    int Scale = 1; // cells per pixel of the picture, each way
    double Zoom = 1.0;
    QPointF Centre;
    std::optional<QPoint> Marker;
    bool FitOnResize = false; // fitted before the view was shown at its size
    std::optional<QPointF> DragFrom;
};
