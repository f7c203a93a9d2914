#include "MapPreviewView.h"

#include "MapPreview.h"
#include "PreviewImage.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

// Screen pixels per cell: from far enough out to see the whole map in a small
// window to close enough in to tell single cells apart.
constexpr double MinZoom = 1.0 / 64;
constexpr double MaxZoom = 32.0;
// One wheel notch or one key press zooms by this factor.
constexpr double ZoomStep = 1.25;
// A marked cell is shown at least this large, so that its neighbours show too.
constexpr double MarkZoom = 4.0;
// The smallest copy of the picture kept for far views, in pixels across.
constexpr int SmallestLevel = 256;
// The marker: a circle of this radius (screen pixels) with a cross through it.
constexpr double MarkerRadius = 12.0;
const QColor MarkerColor(255, 0, 0);
const QColor MarkerOutline(255, 255, 255);
// Around the map: dark grey, unlike any terrain and unlike the void magenta.
const QColor Background(48, 48, 48);

} // namespace

TMapPreviewView::TMapPreviewView(QWidget *Parent) : QWidget(Parent)
{
    setObjectName("MapPreviewView");
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(200, 150);
}

void TMapPreviewView::SetPicture(const QImage &Picture, int CellsPerPixel)
{
    Scale = std::max(CellsPerPixel, 1);
    Levels.clear();
    Levels.push_back(Picture);
    TPreviewPicture level = PreviewPictureOf(Picture);
    while (level.Width > SmallestLevel && level.Height > 1) {
        level = DownscaleMapPreview(level, 2);
        Levels.push_back(PreviewImage(level));
    }
    Marker.reset();
    FitToWindow();
}

void TMapPreviewView::Clear()
{
    Levels.clear();
    Marker.reset();
    DragFrom.reset();
    update();
}

const QImage &TMapPreviewView::GetPicture() const
{
    static const QImage none;
    return Levels.empty() ? none : Levels.front();
}

void TMapPreviewView::SetZoom(double NewZoom)
{
    ZoomAround(NewZoom, ViewMiddle());
}

void TMapPreviewView::ZoomIn()
{
    SetZoom(Zoom * ZoomStep);
}

void TMapPreviewView::ZoomOut()
{
    SetZoom(Zoom / ZoomStep);
}

void TMapPreviewView::FitToWindow()
{
    const QImage &picture = GetPicture();
    if (picture.isNull())
        return;
    const QSizeF cells = QSizeF(picture.size()) * Scale;
    Centre = QPointF(cells.width() / 2.0, cells.height() / 2.0);
    // Before it is shown the view has its minimum size, not the one the layout
    // will give it: fit again once it is shown.
    FitOnResize = !isVisible() || width() <= 1 || height() <= 1;
    if (width() > 1 && height() > 1)
        Zoom = std::clamp(std::min(double(width()) / cells.width(), double(height()) / cells.height()), MinZoom,
                          MaxZoom);
    update();
}

void TMapPreviewView::CentreOnCell(const QPoint &Cell)
{
    FitOnResize = false;
    Zoom = std::max(Zoom, MarkZoom);
    Centre = QPointF(Cell) + QPointF(0.5, 0.5);
    update();
}

void TMapPreviewView::SetMarker(const std::optional<QPoint> &Cell)
{
    Marker = Cell;
    update();
}

QPointF TMapPreviewView::ViewMiddle() const
{
    return QPointF(width() / 2.0, height() / 2.0);
}

QPointF TMapPreviewView::MapPointAt(const QPointF &ViewPoint) const
{
    return Centre + (ViewPoint - ViewMiddle()) / Zoom;
}

QPoint TMapPreviewView::CellAt(const QPointF &ViewPoint) const
{
    const QPointF point = MapPointAt(ViewPoint);
    return QPoint(int(std::floor(point.x())), int(std::floor(point.y())));
}

QPointF TMapPreviewView::ViewPointOf(const QPointF &MapPoint) const
{
    return (MapPoint - Centre) * Zoom + ViewMiddle();
}

void TMapPreviewView::ZoomAround(double NewZoom, const QPointF &ViewPoint)
{
    const QPointF anchor = MapPointAt(ViewPoint);
    FitOnResize = false;
    Zoom = std::clamp(NewZoom, MinZoom, MaxZoom);
    Centre = anchor - (ViewPoint - ViewMiddle()) / Zoom;
    update();
}

void TMapPreviewView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Background);
    if (Levels.empty()) {
        painter.setPen(Qt::lightGray);
        painter.drawText(rect(), Qt::AlignCenter, tr("Generate the terrain to see the map here."));
        return;
    }

    // The smallest copy whose pixels are still no larger than a screen pixel.
    size_t level = 0;
    while (level + 1 < Levels.size() && double(Scale) * double(1 << (level + 1)) * Zoom <= 1.0)
        ++level;
    const QImage &image = Levels[level];
    const double cellsPerPixel = double(Scale) * double(1 << level);

    // The part of the map in view, in pixels of that copy.
    const QPointF topLeft = MapPointAt(QPointF(0, 0)) / cellsPerPixel;
    const QPointF bottomRight = MapPointAt(QPointF(width(), height())) / cellsPerPixel;
    const QRectF source = QRectF(topLeft, bottomRight).intersected(QRectF(image.rect()));
    if (source.isEmpty())
        return;
    const QRectF target(ViewPointOf(source.topLeft() * cellsPerPixel),
                        ViewPointOf(source.bottomRight() * cellsPerPixel));
    // Close up each cell is a crisp square; far out the copy is smoothed.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, Zoom < 1.0);
    painter.drawImage(target, image, source);
    DrawMarker(painter);
}

void TMapPreviewView::DrawMarker(QPainter &Painter) const
{
    if (!Marker)
        return;
    const QPointF middle = ViewPointOf(QPointF(*Marker) + QPointF(0.5, 0.5));
    const double cell = Zoom / 2;
    Painter.setRenderHint(QPainter::Antialiasing);
    Painter.setBrush(Qt::NoBrush);
    // A white outline under the red keeps the mark visible on any terrain.
    for (const auto &[color, width] : {std::pair{MarkerOutline, 4.0}, std::pair{MarkerColor, 2.0}}) {
        Painter.setPen(QPen(color, width));
        Painter.drawEllipse(middle, MarkerRadius + cell, MarkerRadius + cell);
        const double reach = MarkerRadius * 1.6 + cell;
        Painter.drawLine(middle - QPointF(reach, 0), middle - QPointF(cell + 2, 0));
        Painter.drawLine(middle + QPointF(cell + 2, 0), middle + QPointF(reach, 0));
        Painter.drawLine(middle - QPointF(0, reach), middle - QPointF(0, cell + 2));
        Painter.drawLine(middle + QPointF(0, cell + 2), middle + QPointF(0, reach));
        if (Zoom >= MarkZoom)
            Painter.drawRect(QRectF(middle - QPointF(cell, cell), middle + QPointF(cell, cell)));
    }
}

void TMapPreviewView::resizeEvent(QResizeEvent *)
{
    if (FitOnResize)
        FitToWindow();
}

void TMapPreviewView::showEvent(QShowEvent *)
{
    if (FitOnResize)
        FitToWindow();
}

void TMapPreviewView::wheelEvent(QWheelEvent *Event)
{
    const double notches = Event->angleDelta().y() / 120.0;
    if (notches != 0)
        ZoomAround(Zoom * std::pow(ZoomStep, notches), Event->position());
    Event->accept();
}

void TMapPreviewView::mousePressEvent(QMouseEvent *Event)
{
    if (Event->button() == Qt::LeftButton) {
        DragFrom = Event->position();
        setCursor(Qt::ClosedHandCursor);
    }
}

void TMapPreviewView::mouseMoveEvent(QMouseEvent *Event)
{
    if (DragFrom) {
        Centre -= (Event->position() - *DragFrom) / Zoom;
        DragFrom = Event->position();
        FitOnResize = false;
        update();
    }
    emit CellHovered(CellAt(Event->position()));
}

void TMapPreviewView::mouseReleaseEvent(QMouseEvent *Event)
{
    if (Event->button() == Qt::LeftButton && DragFrom) {
        DragFrom.reset();
        unsetCursor();
    }
}

void TMapPreviewView::keyPressEvent(QKeyEvent *Event)
{
    switch (Event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        ZoomIn();
        break;
    case Qt::Key_Minus:
        ZoomOut();
        break;
    case Qt::Key_0:
        FitToWindow();
        break;
    case Qt::Key_1:
        SetZoom(1.0);
        break;
    default:
        QWidget::keyPressEvent(Event);
    }
}
