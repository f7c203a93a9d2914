// The map preview window: it shows the generated map and the void-tile report
// after Generate, a click on a warning line centres and marks its cell, a new
// image clears it; the view zooms around the mouse and pans by dragging.
#include "AltitudeRanges.h"
#include "MapPreview.h"
#include "MapPreviewForm.h"
#include "MapPreviewView.h"
#include "PreviewImage.h"
#include "VoidReport.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QWheelEvent>

namespace {

using TestSupport::SaveRedBmp;

constexpr uint8_t NoTerrain = 1; // a red value that names no terrain

// The stripes, and one pixel of no terrain.
std::vector<std::vector<uint8_t>> Picture()
{
    std::vector<std::vector<uint8_t>> reds = StripedTerrains();
    reds[2][3] = NoTerrain;
    return reds;
}

// The lines with a newline after each.
std::string Lines(const std::vector<std::string> &Lines)
{
    std::string text;
    for (const std::string &line : Lines)
        text += line + "\n";
    return text;
}

// Clicks the memo's viewport at Point as the mouse does.
void ClickMemo(TForm1 &Form, const QPoint &Point)
{
    QWidget *viewport = Form.Memo1->viewport();
    const QPointF global = viewport->mapToGlobal(QPointF(Point));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(Point), global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(Point), global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(viewport, &press);
    QApplication::sendEvent(viewport, &release);
}

// The middle of line Line of the memo, in its viewport.
QPoint MemoLine(TForm1 &Form, int Line)
{
    const QTextCursor cursor(Form.Memo1->document()->findBlockByNumber(Line));
    return Form.Memo1->cursorRect(cursor).center() + QPoint(10, 0);
}

QPoint WarningCell(const QString &Line)
{
    static const QRegularExpression numbers(QStringLiteral("tile (\\d+)/(\\d+)\\.$"));
    const auto match = numbers.match(Line);
    EXPECT_TRUE(match.hasMatch()) << Line.toStdString();
    return QPoint(match.captured(1).toInt(), match.captured(2).toInt());
}

class TPreviewTest : public TWindowTest
{
protected:
    std::unique_ptr<TTestForm> MakeGeneratedForm()
    {
        SaveRedBmp(PicturePath, Picture());
        auto form = MakeForm();
        form->show();
        LoadThroughDialog(*form, PicturePath);
        SetOutputThroughDialog(*form, Dir.File("map0.mul"));
        EXPECT_EQ(form->GetPreviewForm(), nullptr);
        form->BitBtn4->click();
        return form;
    }

    const std::string PicturePath = Dir.File("world.bmp");
};

} // namespace

TEST_F(TPreviewTest, AfterGenerateThePreviewShowsTheMapAndItsVoidTiles)
{
    auto form = MakeGeneratedForm();
    TMapPreviewForm *preview = form->GetPreviewForm();
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isVisible());
    EXPECT_TRUE(preview->isWindow());
    EXPECT_TRUE(Boxes.empty());

    const TTerrainImage &model = *form->GetModel();
    EXPECT_EQ(preview->View->GetPicture(), PreviewImage(RenderMapPreview(model, MapSizes::Classic)));
    EXPECT_EQ(preview->View->GetPicture().pixel(3, 2), PreviewColors::Void); // the pixel of no terrain
    const std::vector<std::string> report = FormatVoidReport(MakeVoidReport(model, MapSizes::Classic));
    EXPECT_EQ(preview->ReportMemo->toPlainText().toStdString() + "\n", Lines(report));
    EXPECT_NE(preview->ReportMemo->toPlainText().indexOf("pixels of no terrain: 1 cell"), -1);
    // The legend gives the altitudes of the terrains of the map written.
    const TAltitudeRanges ranges = MakeAltitudeRanges(model, MapSizes::Classic);
    for (const uint16_t code : {GRASS, FOREST, DESERT}) {
        ASSERT_GT(ranges.Of(code).Cells, 0u);
        const std::string line = std::string(TTerrainImage::TerrainName(code)) + ": " + FormatTerrainAltitudes(ranges.Of(code));
        EXPECT_NE(preview->LegendLabel->text().indexOf(QString::fromStdString(line)), -1) << line;
    }

    // The memo still holds the warnings and nothing else.
    const std::vector<std::string> warnings = model.GetWarnings();
    ASSERT_FALSE(warnings.empty());
    EXPECT_EQ(form->Memo1->toPlainText().toStdString() + "\n", Lines(warnings));
}

TEST_F(TPreviewTest, ThePreviewHasTheSizeOfTheMapThatWasWritten)
{
    struct TCase
    {
        const char *Item; // in the Map menu
        TMapSize Size;
    };
    const TCase cases[] = {{"MapSizeFacet01", {7168, 4096}}, {"MapSizeFacet21", {2304, 1600}}};
    SaveRedBmp(PicturePath, Picture());
    auto form = MakeForm();
    form->show();
    LoadThroughDialog(*form, PicturePath);
    SetOutputThroughDialog(*form, Dir.File("map.mul"));
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Item);
        form->findChild<QAction *>(c.Item)->trigger();
        form->BitBtn4->click();
        TMapPreviewForm *preview = form->GetPreviewForm();
        ASSERT_NE(preview, nullptr);
        ASSERT_TRUE(Boxes.empty());
        const TTerrainImage &model = *form->GetModel();
        const QImage &picture = preview->View->GetPicture();
        EXPECT_EQ(picture.size(), QSize(c.Size.Width, c.Size.Height));
        EXPECT_EQ(preview->View->GetCellsPerPixel(), 1);
        EXPECT_TRUE(picture == PreviewImage(RenderMapPreview(model, c.Size)));
        EXPECT_EQ(preview->ReportMemo->toPlainText().toStdString() + "\n",
                  Lines(FormatVoidReport(MakeVoidReport(model, c.Size))));
        // The picture is 16 x 12 pixels: the rest of the map is outside it.
        const QString outside = QStringLiteral("outside the picture: %1 cells").arg(c.Size.Width * c.Size.Height - 16 * 12);
        EXPECT_NE(preview->ReportMemo->toPlainText().indexOf(outside), -1) << preview->ReportMemo->toPlainText().toStdString();

        // The map's last cell is named; the cell right of it is not in the map.
        const int lastX = c.Size.Width - 1, lastY = c.Size.Height - 1;
        preview->ShowCell(lastX, lastY);
        EXPECT_EQ(preview->CellLabel->text(),
                  QStringLiteral("Cell %1/%2: outside the picture, void tile").arg(lastX).arg(lastY));
        preview->ShowCell(c.Size.Width, 0);
        EXPECT_TRUE(preview->CellLabel->text().isEmpty()) << preview->CellLabel->text().toStdString();
    }
}

TEST_F(TPreviewTest, ClickingAWarningCentresAndMarksItsCell)
{
    auto form = MakeGeneratedForm();
    TMapPreviewForm *preview = form->GetPreviewForm();
    ASSERT_NE(preview, nullptr);
    const QString memoText = form->Memo1->toPlainText();
    const int lines = form->Memo1->document()->blockCount();
    ASSERT_GE(lines, 2);

    for (const int line : {lines - 1, 0}) {
        SCOPED_TRACE(line);
        const QPoint cell = WarningCell(form->Memo1->document()->findBlockByNumber(line).text());
        preview->hide();
        ClickMemo(*form, MemoLine(*form, line));

        EXPECT_TRUE(preview->isVisible());
        ASSERT_TRUE(preview->View->GetMarker().has_value());
        EXPECT_EQ(*preview->View->GetMarker(), cell);
        EXPECT_EQ(preview->View->GetCentre(), QPointF(cell) + QPointF(0.5, 0.5));
        const QPointF middle(preview->View->width() / 2.0, preview->View->height() / 2.0);
        EXPECT_EQ(preview->View->CellAt(middle), cell);
        EXPECT_GE(preview->View->GetZoom(), 4.0);
        EXPECT_TRUE(preview->CellLabel->text().startsWith(QStringLiteral("Cell %1/%2: ").arg(cell.x()).arg(cell.y())))
            << preview->CellLabel->text().toStdString();
    }
    EXPECT_EQ(form->Memo1->toPlainText(), memoText);
}

TEST_F(TPreviewTest, AClickBesideTheWarningsOrWithoutAPreviewDoesNothing)
{
    // Before any Generate: a warning line in the memo has no map to show.
    auto fresh = MakeForm();
    fresh->show();
    fresh->Memo1->setPlainText("Warning: More than 2 different terrains on the border of tile 3/4.");
    ClickMemo(*fresh, MemoLine(*fresh, 0));
    EXPECT_EQ(fresh->GetPreviewForm(), nullptr);
    fresh->close();

    auto form = MakeGeneratedForm();
    TMapPreviewForm *preview = form->GetPreviewForm();
    ASSERT_NE(preview, nullptr);
    // Below the last line, in the empty part of the memo.
    ClickMemo(*form, QPoint(10, form->Memo1->viewport()->height() - 2));
    EXPECT_FALSE(preview->View->GetMarker().has_value());
}

TEST_F(TPreviewTest, ANewImageClearsThePreviewAndClosingTheWindowClosesIt)
{
    auto form = MakeGeneratedForm();
    TMapPreviewForm *preview = form->GetPreviewForm();
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->HasMap());
    LoadThroughDialog(*form, PicturePath);
    EXPECT_FALSE(preview->HasMap());
    EXPECT_TRUE(preview->ReportMemo->toPlainText().isEmpty());

    form->BitBtn4->click();
    EXPECT_TRUE(preview->HasMap());
    form->close();
    EXPECT_FALSE(preview->isVisible());
    EXPECT_FALSE(preview->HasMap());
}

TEST(MapPreviewView, TheWheelZoomsAroundTheMouseAndDraggingPans)
{
    TMapPreviewView view;
    view.resize(400, 300);
    QImage picture(800, 600, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    view.SetPicture(picture);
    EXPECT_DOUBLE_EQ(view.GetZoom(), 0.5); // fitted: 400 / 800 and 300 / 600
    EXPECT_EQ(view.GetCentre(), QPointF(400, 300));

    const QPointF mouse(100.3, 75.3); // not on a cell's edge
    const QPoint under = view.CellAt(mouse);
    QWheelEvent wheel(mouse, view.mapToGlobal(mouse), QPoint(), QPoint(0, 3 * 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&view, &wheel);
    EXPECT_NEAR(view.GetZoom(), 0.5 * 1.25 * 1.25 * 1.25, 1e-9);
    EXPECT_EQ(view.CellAt(mouse), under);

    const QPointF centre = view.GetCentre();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(200, 150), view.mapToGlobal(QPointF(200, 150)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent move(QEvent::MouseMove, QPointF(240, 130), view.mapToGlobal(QPointF(240, 130)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(240, 130), view.mapToGlobal(QPointF(240, 130)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &press);
    QApplication::sendEvent(&view, &move);
    QApplication::sendEvent(&view, &release);
    const QPointF moved = centre - QPointF(40, -20) / view.GetZoom();
    EXPECT_NEAR(view.GetCentre().x(), moved.x(), 1e-9);
    EXPECT_NEAR(view.GetCentre().y(), moved.y(), 1e-9);

    // The zoom stays within its limits.
    for (int i = 0; i < 100; ++i)
        view.ZoomIn();
    EXPECT_DOUBLE_EQ(view.GetZoom(), 32.0);
    for (int i = 0; i < 100; ++i)
        view.ZoomOut();
    EXPECT_DOUBLE_EQ(view.GetZoom(), 1.0 / 64);
}

TEST(MapPreviewView, APictureOfBlocksCoversTheCellsItStandsFor)
{
    TMapPreviewView view;
    view.resize(400, 300);
    // 800 x 600 pixels of 4 x 4 cells each, a map of 3200 x 2400 cells: red
    // on the left (cells 0 to 1599), blue on the right.
    QImage picture(800, 600, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QPainter(&picture).fillRect(400, 0, 400, 600, Qt::blue);
    view.SetPicture(picture, 4);
    EXPECT_EQ(view.GetCellsPerPixel(), 4);
    EXPECT_DOUBLE_EQ(view.GetZoom(), 0.125); // fitted: 400 / 3200 and 300 / 2400
    EXPECT_EQ(view.GetCentre(), QPointF(1600, 1200));
    EXPECT_EQ(view.CellAt(QPointF(0, 0)), QPoint(0, 0));
    EXPECT_EQ(view.CellAt(QPointF(399.9, 299.9)), QPoint(3199, 2399));

    const QImage fitted = view.grab().toImage();
    EXPECT_EQ(fitted.pixel(100, 150), qRgb(255, 0, 0));
    EXPECT_EQ(fitted.pixel(300, 150), qRgb(0, 0, 255));
    // Close up, a cell shows the colour of its block.
    for (const auto &[cell, color] : {std::pair{QPoint(1599, 100), qRgb(255, 0, 0)},
                                      std::pair{QPoint(1600, 2300), qRgb(0, 0, 255)}}) {
        view.CentreOnCell(cell);
        EXPECT_EQ(view.grab().toImage().pixel(200, 150), color) << cell.x();
    }
}

TEST(MapPreviewLegend, ListsTheAltitudesOfEachTerrainOfTheMapShown)
{
    // Grass at 3 and -1, water at -5, a transition at 2; the cells right of
    // and below the 8 x 8 map are not in it. Before a map only the colours.
    TTerrainImage model(TestSupport::FrozenTilesPath());
    TestSupport::TLegend legend = TestSupport::DefaultLegend();
    legend['t'] = DIRT * 256 + GRASS * 16 + 1;
    TestSupport::PaintGrid(model, {"GGWtWWWWD", "WWWWWWWWW", "WWWWWWWWW", "WWWWWWWWW", "WWWWWWWWW", "WWWWWWWWW",
                                   "WWWWWWWWW", "WWWWWWWWW", "MMMMMMMMM"},
                           legend);
    for (int y = 1; y <= 9; ++y)
        for (int x = 1; x <= 9; ++x)
            model.SetCell(x, y, model.GetCell(x, y).Code, model.GetCell(x, y).Code == WATER ? -5 : 70);
    model.SetCell(1, 1, GRASS, 3);
    model.SetCell(2, 1, GRASS, -1);
    model.SetCell(4, 1, DIRT * 256 + GRASS * 16 + 1, 2);

    TMapPreviewForm form;
    EXPECT_EQ(form.LegendLabel->text().indexOf("cells"), -1) << form.LegendLabel->text().toStdString();
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::black);
    form.SetMap(model, {8, 8}, 1, picture, {});
    const QString text = form.LegendLabel->text();
    for (const char *line : {"GRASS: -1 to 3, 2 cells<br>", "WATER: -5 to -5, 61 cells<br>",
                             "transition (its two terrains mixed): 2 to 2, 1 cell<br>", "DIRT: no cells<br>",
                             "MOUNTAIN: no cells<br>", "COASTLINE: no cells<br>"})
        EXPECT_NE(text.indexOf(line), -1) << line << "\n" << text.toStdString();
    form.Clear();
    EXPECT_EQ(form.LegendLabel->text().indexOf("cells"), -1) << form.LegendLabel->text().toStdString();
}
