// What the user sees of a run: every status text is painted when it is set,
// the window repaints while the stages run, the preview opens beside the main
// window and only for a written map, warnings are cleared with a new picture,
// and the map file may not be one of the run's inputs.
#include "MapPreviewForm.h"
#include "MapPreviewView.h"
#include "Stages.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QMouseEvent>
#include <QStatusBar>
#include <QTextBlock>

namespace {

using TestSupport::ReadFile;
using TestSupport::SaveRedBmp;
using TestSupport::WriteFile;

// Calls Action for each paint event of the watched widget.
class TPaintWatcher : public QObject
{
public:
    TPaintWatcher(QWidget *Widget, std::function<void()> Action) : Action(std::move(Action))
    {
        Widget->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *Event) override
    {
        if (Event->type() == QEvent::Paint)
            Action();
        return false;
    }

private:
    std::function<void()> Action;
};

// What the status bar says, stage by stage, and then while the map is stored.
std::vector<std::string> StatusTexts()
{
    std::vector<std::string> texts;
    for (const Pipeline::TStage &stage : Pipeline::Stages)
        texts.push_back(stage.StatusText);
    texts.push_back("Storing map0.mul");
    return texts;
}
const std::vector<std::string> StageTexts = StatusTexts();

class TRunDisplayTest : public TWindowTest
{
protected:
    std::unique_ptr<TTestForm> MakeShownForm()
    {
        SaveRedBmp(PicturePath, StripedTerrains());
        auto form = MakeForm();
        form->move(0, 0);
        form->show();
        LoadThroughDialog(*form, PicturePath);
        SetOutputThroughDialog(*form, MapPath);
        return form;
    }

    const std::string PicturePath = Dir.File("world.bmp");
    const std::string MapPath = Dir.File("map0.mul");
};

TEST_F(TRunDisplayTest, EveryStatusTextIsPaintedWhenItIsSet)
{
    auto form = MakeShownForm();
    QLabel *status = form->StatusBar1->findChild<QLabel *>("StatusText");
    ASSERT_NE(status, nullptr);
    // Each stage's text with the progress at its first paint: the text of
    // stage k is set, and must be seen, before stage k runs and steps the bar.
    std::vector<std::pair<std::string, int>> painted;
    TPaintWatcher watcher(status, [&] {
        const std::string text = status->text().toStdString();
        if (!text.empty() && (painted.empty() || painted.back().first != text))
            painted.emplace_back(text, form->ProgressBar1->value());
    });
    form->BitBtn4->click();
    ASSERT_EQ(painted.size(), StageTexts.size());
    for (size_t k = 0; k < 9; ++k) {
        EXPECT_EQ(painted[k].first, StageTexts[k]);
        EXPECT_EQ(painted[k].second, int(k)) << StageTexts[k];
    }
    EXPECT_EQ(painted[9].first, "Storing map0.mul");
}

// Receives the events posted to it, and notes what the status said then.
class TEventReceiver : public QObject
{
public:
    explicit TEventReceiver(QLabel *Status) : Status(Status) {}
    bool event(QEvent *Event) override
    {
        if (Event->type() != QEvent::User)
            return QObject::event(Event);
        StatusWhenDelivered = Status->text().toStdString();
        return true;
    }
    QLabel *Status;
    std::optional<std::string> StatusWhenDelivered;
};

TEST_F(TRunDisplayTest, PendingEventsOtherThanInputRunBetweenTheStages)
{
    // The window system's requests to repaint (after a restore, say) wait in
    // the event queue: one posted during the first stage is handled before
    // the map file is being stored.
    auto form = MakeShownForm();
    QLabel *status = form->StatusBar1->findChild<QLabel *>("StatusText");
    TEventReceiver receiver(status);
    bool posted = false;
    TPaintWatcher statusWatcher(status, [&] {
        if (!posted && status->text().toStdString() == StageTexts[0]) {
            posted = true;
            QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
        }
    });
    form->BitBtn4->click();
    ASSERT_TRUE(posted);
    ASSERT_TRUE(receiver.StatusWhenDelivered.has_value());
    EXPECT_NE(*receiver.StatusWhenDelivered, "Storing map0.mul");
    EXPECT_NE(*receiver.StatusWhenDelivered, "");
}

TEST_F(TRunDisplayTest, ThePreviewOpensBesideTheWindowFittedToItsSize)
{
    auto form = MakeShownForm();
    form->BitBtn4->click();
    TMapPreviewForm *preview = form->GetPreviewForm();
    ASSERT_NE(preview, nullptr);
    ASSERT_TRUE(preview->isVisible());
    // The test screen (800 x 600) has no room for it beside the main window:
    // it stays on the screen, over the main window's right part only.
    const QRect screen = form->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(preview->frameGeometry()))
        << "preview at " << preview->frameGeometry().x() << "," << preview->frameGeometry().y() << " size "
        << preview->width() << "x" << preview->height() << " on a screen of " << screen.width() << "x"
        << screen.height();
    EXPECT_GT(preview->frameGeometry().left(), form->frameGeometry().left() + form->width() / 4);
    EXPECT_EQ(preview->windowTitle().toStdString(), "Map preview - " + MapPath);

    // Fitted to the view as shown, not to its minimum size: the whole picture
    // fills the view's width or height.
    const QImage &picture = preview->View->GetPicture();
    const double fit = std::min(double(preview->View->width()) / picture.width(),
                                double(preview->View->height()) / picture.height());
    EXPECT_GT(preview->View->width(), preview->View->minimumWidth());
    EXPECT_DOUBLE_EQ(preview->View->GetZoom(), std::clamp(fit, 1.0 / 64, 32.0));
}

TEST_F(TRunDisplayTest, NoPreviewAfterAnAbortOrAFailedWrite)
{
    auto form = MakeShownForm();
    form->BeforeEvents = [&](int Call) {
        if (Call == 3)
            form->BitBtn3->click();
    };
    form->BitBtn4->click();
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(MapPath)));
    EXPECT_TRUE(form->GetPreviewForm() == nullptr || !form->GetPreviewForm()->isVisible());

    form->BeforeEvents = nullptr;
    SetOutputThroughDialog(*form, Dir.File("no-such-folder/map0.mul"));
    form->BitBtn4->click();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "Clould not store MAP to " + Dir.File("no-such-folder/map0.mul") + "!");
    EXPECT_TRUE(form->GetPreviewForm() == nullptr || !form->GetPreviewForm()->isVisible());
}

TEST_F(TRunDisplayTest, AWarningClickUsesTheWarningsCellsAndANewPictureClearsThem)
{
    auto form = MakeShownForm();
    form->BitBtn4->click();
    TMapPreviewForm *preview = form->GetPreviewForm();
    ASSERT_NE(preview, nullptr);
    std::vector<QPoint> cells;
    for (const TErrorItem &item : form->GetModel()->GetErrors())
        if (item.Kind == ListedWarning)
            cells.emplace_back(item.X, item.Y);
    ASSERT_GE(cells.size(), 2u);
    ASSERT_EQ(form->Memo1->document()->blockCount(), int(cells.size()));
    for (const int line : {int(cells.size()) - 1, 0}) {
        form->Memo1Click(line);
        ASSERT_TRUE(preview->View->GetMarker().has_value());
        EXPECT_EQ(*preview->View->GetMarker(), cells[size_t(line)]);
    }

    // Another picture: the old warnings leave the memo, and no click shows them.
    LoadThroughDialog(*form, PicturePath);
    EXPECT_TRUE(form->Memo1->toPlainText().isEmpty());
    preview->View->SetMarker(std::nullopt);
    form->Memo1Click(0);
    EXPECT_FALSE(preview->View->GetMarker().has_value());
}

TEST_F(TRunDisplayTest, TheMapFileCannotBeAnInput)
{
    auto form = MakeShownForm();
    const std::string picture = ReadFile(PicturePath);
    // Chosen in the dialog: refused with a box, the earlier name kept.
    for (const std::string &input : {PicturePath, std::string("world.bmp"), TestSupport::BundledTilesPath()}) {
        SCOPED_TRACE(input);
        Boxes.clear();
        SetOutputThroughDialog(*form, input);
        ASSERT_EQ(Boxes.size(), 1u);
        EXPECT_NE(Boxes[0].Detail.find("would destroy an input"), std::string::npos) << Boxes[0].Detail;
        EXPECT_EQ(form->GetMAPFileName(), MapPath);
        EXPECT_EQ(Text(form->Label6), MapPath);
    }

    // Remembered from an earlier run: Generate refuses before anything runs.
    WriteSettings("[Main]\nBMPFileName=" + PicturePath + "\nMAPFileName=" + PicturePath +
                  "\nLoadBMPOnStartup=1\n");
    form.reset();
    Boxes.clear();
    auto remembered = MakeForm();
    ASSERT_TRUE(Boxes.empty());
    remembered->BitBtn4->click();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "Clould not store MAP to " + PicturePath + "!");
    EXPECT_EQ(ReadFile(PicturePath), picture);
    EXPECT_TRUE(remembered->BitBtn4->isEnabled());
}

} // namespace
