#include "MapPreviewForm.h"

#include "AltitudeRanges.h"
#include "ClassTerrainImage.h"
#include "MapPreview.h"
#include "MapPreviewView.h"
#include "VoidReport.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The window's first size; the map view takes what the side panel leaves.
constexpr int FormWidth = 1000;
constexpr int FormHeight = 680;
constexpr int SidePanelWidth = 300;
constexpr int Gap = 8; // between the main window and this one, in pixels

QString Swatch(QRgb Color)
{
    return QStringLiteral("<span style=\"background-color:%1\">&nbsp;&nbsp;&nbsp;&nbsp;</span>")
        .arg(QColor(Color).name());
}

// A legend line's altitudes: the range of the map shown, nothing before a map.
QString RangeText(const TTerrainAltitudes *Range)
{
    return Range ? QStringLiteral(": %1").arg(QString::fromStdString(FormatTerrainAltitudes(*Range))) : QString();
}

// Each terrain in its preview colour, with its altitudes in the map when Ranges is given.
QString LegendText(const TAltitudeRanges *Ranges)
{
    QString text = Ranges ? QStringLiteral("<b>Colours and altitudes</b><br>") : QStringLiteral("<b>Colours</b><br>");
    for (const uint16_t code : AltitudeRangeCodes)
        text += Swatch(PreviewColors::Terrain(code)) + "&nbsp;" + TTerrainImage::TerrainName(code) +
                RangeText(Ranges ? &Ranges->Of(code) : nullptr) + "<br>";
    text += Swatch(PreviewColors::Blend(GRASS, DESERT)) + "&nbsp;transition (its two terrains mixed)" +
            RangeText(Ranges ? &Ranges->Transitions : nullptr) + "<br>";
    text += Swatch(PreviewColors::Void) + "&nbsp;void tile<br>";
    text += Swatch(PreviewColors::Statics) + "&nbsp;statics: trees, plants, rocks, waves<br>";
    text += "Slopes facing north-west are lighter, those facing south-east darker.";
    return text;
}

QPushButton *MakeButton(QWidget *Parent, const char *Name, const QString &Text)
{
    auto *button = new QPushButton(Text, Parent);
    button->setObjectName(Name);
    button->setFocusPolicy(Qt::NoFocus); // the keys belong to the map view
    return button;
}

} // namespace

TMapPreviewForm::TMapPreviewForm(QWidget *Parent) : QWidget(Parent, Qt::Window)
{
    setObjectName("MapPreviewForm");
    setWindowTitle(tr("Map preview"));

    ZoomInButton = MakeButton(this, "ZoomInButton", tr("Zoom in"));
    ZoomOutButton = MakeButton(this, "ZoomOutButton", tr("Zoom out"));
    FitButton = MakeButton(this, "FitButton", tr("Fit"));
    ActualSizeButton = MakeButton(this, "ActualSizeButton", tr("1:1"));
    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : {ZoomInButton, ZoomOutButton, FitButton, ActualSizeButton})
        buttons->addWidget(button);
    buttons->addStretch();

    auto *splitter = new QSplitter(Qt::Horizontal, this);
    View = new TMapPreviewView(splitter);
    auto *side = new QWidget(splitter);
    ReportMemo = new QPlainTextEdit(side);
    ReportMemo->setObjectName("ReportMemo");
    ReportMemo->setReadOnly(true);
    LegendLabel = new QLabel(LegendText(nullptr), side);
    LegendLabel->setObjectName("LegendLabel");
    LegendLabel->setTextFormat(Qt::RichText);
    LegendLabel->setWordWrap(true);
    auto *sideColumn = new QVBoxLayout(side);
    sideColumn->setContentsMargins(0, 0, 0, 0);
    sideColumn->addWidget(ReportMemo, 1);
    sideColumn->addWidget(LegendLabel);
    splitter->setStretchFactor(0, 1);
    splitter->setSizes({FormWidth - SidePanelWidth, SidePanelWidth});

    CellLabel = new QLabel(this);
    CellLabel->setObjectName("CellLabel");
    CellLabel->setTextFormat(Qt::PlainText);

    auto *column = new QVBoxLayout(this);
    column->addLayout(buttons);
    column->addWidget(splitter, 1);
    column->addWidget(CellLabel);

    connect(ZoomInButton, &QPushButton::clicked, View, &TMapPreviewView::ZoomIn);
    connect(ZoomOutButton, &QPushButton::clicked, View, &TMapPreviewView::ZoomOut);
    connect(FitButton, &QPushButton::clicked, View, &TMapPreviewView::FitToWindow);
    connect(ActualSizeButton, &QPushButton::clicked, View, [this] { View->SetZoom(1.0); });
    connect(View, &TMapPreviewView::CellHovered, this, &TMapPreviewForm::DescribeCell);

    resize(FormWidth, FormHeight);
    Clear();
}

void TMapPreviewForm::SetMap(const TTerrainImage &NewModel, const TMapSize &Size, int Scale, const QImage &Picture,
                             const std::vector<std::string> &ReportLines)
{
    Model = &NewModel;
    MapSize = Size;
    View->SetPicture(Picture, Scale);
    QStringList lines;
    for (const std::string &line : ReportLines)
        lines << QString::fromStdString(line);
    ReportMemo->setPlainText(lines.join('\n'));
    const TAltitudeRanges ranges = MakeAltitudeRanges(NewModel, Size);
    LegendLabel->setText(LegendText(&ranges));
    CellLabel->clear();
}

void TMapPreviewForm::Clear()
{
    Model = nullptr;
    View->Clear();
    ReportMemo->clear();
    LegendLabel->setText(LegendText(nullptr));
    CellLabel->clear();
}

bool TMapPreviewForm::HasMap() const
{
    return Model != nullptr && View->HasPicture();
}

void TMapPreviewForm::ShowBeside(const QWidget &Main)
{
    if (!Placed) {
        Placed = true;
        const QScreen *screen = Main.screen() ? Main.screen() : QGuiApplication::primaryScreen();
        PlaceBeside(Main, screen ? screen->availableGeometry() : QRect(0, 0, FormWidth, FormHeight));
    }
    show();
    raise();
}

void TMapPreviewForm::PlaceBeside(const QWidget &Main, const QRect &Room)
{
    const QRect main = Main.frameGeometry();
    // The frame adds to the client size; taken from the main window, as
    // this one has none before it is shown.
    const QSize frame = main.size() - Main.size();
    const QSize least = minimumSizeHint().expandedTo(minimumSize()) + frame;
    const int rightRoom = Room.right() - main.right() - Gap;
    const int leftRoom = main.left() - Room.left() - Gap;
    const int belowRoom = Room.bottom() - main.bottom() - Gap;
    QRect place;
    if (rightRoom >= least.width() || (rightRoom >= leftRoom && rightRoom >= belowRoom && rightRoom > 0)) {
        place = QRect(main.right() + 1 + Gap, main.top(), std::min(FormWidth + frame.width(), rightRoom),
                      std::min(FormHeight + frame.height(), Room.bottom() - main.top() + 1));
    } else if (leftRoom >= least.width() || (leftRoom >= belowRoom && leftRoom > 0)) {
        const int width = std::min(FormWidth + frame.width(), leftRoom);
        place = QRect(main.left() - Gap - width, main.top(), width,
                      std::min(FormHeight + frame.height(), Room.bottom() - main.top() + 1));
    } else {
        place = QRect(main.left(), main.bottom() + 1 + Gap, std::min(FormWidth + frame.width(), Room.width()),
                      std::min(FormHeight + frame.height(), std::max(belowRoom, 0)));
    }
    place.setSize(place.size().expandedTo(least));
    // Where there is no room beside the main window (a small screen, a
    // large scale factor), the preview overlaps it rather than leaving the
    // screen: against the screen's right edge, leaving a third of the main
    // window (its labels and buttons) in sight where the screen allows.
    if (!Room.contains(place)) {
        const int width = std::clamp(Room.width() - main.width() / 3, least.width(), FormWidth + frame.width());
        const QSize wanted(width, FormHeight + frame.height());
        place.setSize(wanted.boundedTo(Room.size()).expandedTo(least.boundedTo(Room.size())));
        place.moveTopLeft({std::max(Room.left(), Room.right() + 1 - place.width()),
                           std::clamp(main.top(), Room.top(), std::max(Room.top(), Room.bottom() + 1 - place.height()))});
    }
    resize(place.size() - frame);
    move(place.topLeft());
}

void TMapPreviewForm::ShowCell(int X, int Y)
{
    show();
    raise();
    activateWindow();
    const QPoint cell(X, Y);
    View->CentreOnCell(cell);
    View->SetMarker(cell);
    DescribeCell(cell);
}

void TMapPreviewForm::DescribeCell(const QPoint &Cell)
{
    if (!Model || Cell.x() < 0 || Cell.y() < 0 || Cell.x() >= MapSize.Width || Cell.y() >= MapSize.Height) {
        CellLabel->clear();
        return;
    }
    QString text = QStringLiteral("Cell %1/%2: ").arg(Cell.x()).arg(Cell.y());
    // Map cell (X, Y) holds grid cell (X + 1, Y + 1).
    if (!Model->IsInside(Cell.x() + 1, Cell.y() + 1)) {
        CellLabel->setText(text + tr("outside the picture, void tile"));
        return;
    }
    const TCell cell = Model->GetCell(Cell.x() + 1, Cell.y() + 1);
    text += QString::fromStdString(CodeName(cell.Code));
    text += QStringLiteral(", altitude %1").arg(int(cell.Altitude));
    if (TVoidCodes::IsVoid(*Model, cell.Code))
        text += tr(", void tile");
    CellLabel->setText(text);
}
