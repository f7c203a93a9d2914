// The Generate and Abort commands as the window runs them: the memo, the file,
// the lock, an abort and a close while the map is being written.
#include "MapWriter.h"
#include "Stages.h"
#include "WindowFixture.h"

#include <QFileInfo>
#include <QMetaObject>

namespace {

using TestSupport::ListDir;
using TestSupport::ReadFile;
using TestSupport::SaveRedBmp;
using TestSupport::WriteFile;

int64_t FileSize(const std::string &Path)
{
    return QFileInfo(QString::fromStdString(Path)).size();
}

void ExpectUnlocked(const TForm1 &Form)
{
    EXPECT_TRUE(Form.BitBtn3->isHidden());
    EXPECT_TRUE(Form.BitBtn4->isEnabled());
    EXPECT_TRUE(Form.BitBtn1->isEnabled());
    EXPECT_TRUE(Form.File1->menuAction()->isEnabled());
    EXPECT_TRUE(Form.GetStatusText().isEmpty());
    EXPECT_EQ(Form.ProgressBar1->value(), 0);
}

class TGenerateTest : public TWindowTest
{
protected:
    // A window with the three-terrain picture loaded and the output in the temporary folder.
    std::unique_ptr<TTestForm> MakeLoadedForm()
    {
        SaveRedBmp(Picture, ThreeTerrains());
        auto form = MakeForm();
        LoadThroughDialog(*form, Picture);
        SetOutputThroughDialog(*form, MapPath);
        return form;
    }
    // An earlier map file that a stopped run must leave as it was.
    void WriteOldMap() { WriteFile(MapPath, OldMap); }

    const std::string Picture = Dir.File("world.bmp");
    const std::string MapPath = Dir.File("map0.mul");
    const std::string OldMap = std::string("an earlier map\0\1\2", 17);
};

TEST_F(TGenerateTest, WritesTheMapAndListsTheWarnings)
{
    auto form = MakeLoadedForm();
    bool lockedWhileRunning = false;
    form->BeforeEvents = [&](int) {
        lockedWhileRunning = !form->BitBtn3->isHidden() && !form->BitBtn4->isEnabled();
    };
    form->BitBtn4->click();

    EXPECT_TRUE(Boxes.empty());
    EXPECT_TRUE(lockedWhileRunning);
    EXPECT_EQ(FileSize(MapPath), MapFile::FileBytes);
    EXPECT_EQ(FileSize(MapPath), 77070336);
    // Step 3 and one event processing per block-column.
    EXPECT_EQ(form->Calls, 1 + MapFile::BlockColumns);

    const std::vector<std::string> warnings = form->GetModel()->GetWarnings();
    ASSERT_FALSE(warnings.empty());
    QStringList lines = form->Memo1->toPlainText().split('\n');
    ASSERT_EQ(size_t(lines.size()), warnings.size());
    for (size_t i = 0; i < warnings.size(); ++i) {
        EXPECT_EQ(lines[qsizetype(i)].toStdString(), warnings[i]);
        EXPECT_EQ(warnings[i].rfind("Warning: More than 2 different terrains on the border of tile ", 0), 0u);
    }
    ExpectUnlocked(*form);
    EXPECT_EQ(ListDir(Dir.Path()), (std::vector<std::string>{"map0.mul", "world.bmp"}));
}

// What the progress bar and the status bar show, step by step: the stages
// from 0 to 9, then the block-columns from 1 over 0 .. 767, the status text
// of the writing set just after the bar's first step, and at the end the
// unlocked window with an empty status and the bar at 0.
TEST_F(TGenerateTest, TheBarsShowTheStagesAndThenTheBlockColumns)
{
    auto form = MakeLoadedForm();
    std::vector<std::string> shown;
    QObject::connect(form->ProgressBar1, &QProgressBar::valueChanged, [&](int value) {
        shown.push_back(std::to_string(value) + " of " + std::to_string(form->ProgressBar1->minimum()) + ".." +
                        std::to_string(form->ProgressBar1->maximum()) + ": " + form->GetStatusText().toStdString());
    });
    form->BeforeEvents = [&](int Call) {
        if (Call == 1)
            shown.push_back(std::string("events: ") + (form->BitBtn3->isHidden() ? "unlocked" : "locked") +
                            (form->Memo1->toPlainText().isEmpty() ? ", memo empty" : ", memo not empty"));
    };
    form->Memo1->setPlainText("from before");
    form->BitBtn4->click();

    std::vector<std::string> expected = {"events: locked, memo empty"};
    int stage = 0;
    for (const Pipeline::TStage &each : Pipeline::Stages)
        expected.push_back(std::to_string(++stage) + " of 0..9: " + each.StatusText);
    expected.push_back("1 of 0..767: Smoothing the mountain height data");
    for (int value = 2; value <= 767; ++value) // the last two steps are past the end of the bar
        expected.push_back(std::to_string(value) + " of 0..767: Storing map0.mul");
    expected.push_back("0 of 0..767: ");
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(form->Calls, 1 + 768);
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(TGenerateTest, AbortDuringWritingKeepsThePreviousFile)
{
    auto form = MakeLoadedForm();
    WriteOldMap();
    form->Memo1->setPlainText("from before");
    // Call 1 is the one before the pipeline, call n + 1 follows block-column n.
    form->BeforeEvents = [&](int Call) {
        if (Call == 3)
            QMetaObject::invokeMethod(form->BitBtn3, "click", Qt::QueuedConnection);
    };
    bool unlockedByAbort = false;
    form->AfterEvents = [&](int Call) {
        if (Call == 3)
            unlockedByAbort = form->BitBtn3->isHidden() && form->ProgressBar1->value() == 1;
    };
    form->BitBtn4->click();

    EXPECT_EQ(form->Calls, 3);
    EXPECT_TRUE(unlockedByAbort);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(ReadFile(MapPath), OldMap);
    EXPECT_EQ(ListDir(Dir.Path()), (std::vector<std::string>{"map0.mul", "world.bmp"}));
    EXPECT_FALSE(form->Memo1->toPlainText().contains("from before"));
    ExpectUnlocked(*form);

    // The next run is not stopped by the old request.
    form->BeforeEvents = nullptr;
    form->Calls = 0;
    form->BitBtn4->click();
    EXPECT_EQ(FileSize(MapPath), 77070336);
}

// Abort pressed before the writing began has nothing to stop: the writing
// clears the flag when it opens the file.
TEST_F(TGenerateTest, AbortBeforeWritingDoesNotStopTheWriting)
{
    auto form = MakeLoadedForm();
    form->BeforeEvents = [&](int Call) {
        if (Call == 1)
            QMetaObject::invokeMethod(form->BitBtn3, "click", Qt::QueuedConnection);
    };
    form->BitBtn4->click();
    EXPECT_EQ(FileSize(MapPath), 77070336);
    ExpectUnlocked(*form);
}

TEST_F(TGenerateTest, FailingWriteShowsTheBoxAndUnlocks)
{
    auto form = MakeLoadedForm();
    const std::string missing = Dir.File("missing/map0.mul");
    SetOutputThroughDialog(*form, missing);
    // The window is unlocked only once the box is closed.
    bool lockedWhileShown = false;
    WhileBoxShown = [&] { lockedWhileShown = !form->BitBtn3->isHidden() && !form->BitBtn4->isEnabled(); };
    form->BitBtn4->click();

    EXPECT_TRUE(lockedWhileShown);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Title, "Error");
    EXPECT_EQ(Boxes[0].Icon, TMessageBoxRequest::Critical);
    EXPECT_EQ(Boxes[0].Text, "Clould not store MAP to " + missing + "!");
    EXPECT_NE(Boxes[0].Detail.find(missing), std::string::npos) << Boxes[0].Detail;
    // The warnings of the run stay.
    EXPECT_FALSE(form->Memo1->toPlainText().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(Dir.File("missing"))));
    ExpectUnlocked(*form);
}

TEST_F(TGenerateTest, CloseDuringGenerateWaitsForTheCommand)
{
    auto form = MakeLoadedForm();
    WriteOldMap();
    form->show();
    form->BeforeEvents = [&](int Call) {
        if (Call == 2)
            QMetaObject::invokeMethod(form.get(), "close", Qt::QueuedConnection);
    };
    // The close was asked for, yet the window and the model stay while the command runs.
    bool aliveAfterClose = false;
    form->AfterEvents = [&](int Call) {
        if (Call == 2)
            aliveAfterClose = form->isVisible() && form->GetModel() != nullptr && form->GetAbortFlag();
    };
    form->BitBtn4->click();

    EXPECT_TRUE(aliveAfterClose);
    EXPECT_EQ(form->Calls, 2); // stopped after the first block-column, as Abort would
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->GetModel(), nullptr);
    EXPECT_EQ(ReadFile(MapPath), OldMap);
    EXPECT_EQ(ListDir(Dir.Path()), (std::vector<std::string>{"map0.mul", "morvane.ini", "world.bmp"}));
    EXPECT_EQ(ReadSetting("MAPFileName"), MapPath);
    EXPECT_EQ(ReadSetting("BMPFileName"), Picture);
    EXPECT_TRUE(Boxes.empty());
}

// A close that arrives before the pipeline runs still stops the writing.
TEST_F(TGenerateTest, CloseBeforeThePipelineStopsTheRunAfterTheFirstStage)
{
    auto form = MakeLoadedForm();
    form->show();
    form->BeforeEvents = [&](int Call) {
        if (Call == 1)
            form->close();
    };
    form->BitBtn4->click();
    // Only the event processing before the pipeline: nothing was written.
    EXPECT_EQ(form->Calls, 1);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->GetModel(), nullptr);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(MapPath)));
}

// While the command runs, an Abort reopens the controls for the rest of its
// event processing; a click on Generate or Load BMP then must not start a
// second run or change the grid under the writer.
TEST_F(TGenerateTest, CommandsWaitWhileARunIsUnderWay)
{
    auto form = MakeLoadedForm();
    form->BeforeEvents = [&](int Call) {
        if (Call == 2) {
            form->BitBtn3->click();
            DialogAnswer = Picture;
            form->BitBtn4->click();
            form->BitBtn1->click();
            form->BitBtn2->click();
            DialogAnswer.reset();
        }
    };
    const size_t dialogsBefore = Dialogs.size();
    form->BitBtn4->click();
    EXPECT_EQ(form->Calls, 2);
    EXPECT_EQ(Dialogs.size(), dialogsBefore);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(MapPath)));
    ExpectUnlocked(*form);
}

TEST_F(TGenerateTest, NoImageGivesAFullMapOfVoidTiles)
{
    auto form = MakeForm();
    SetOutputThroughDialog(*form, MapPath);
    form->BitBtn4->click();
    EXPECT_TRUE(Boxes.empty());
    EXPECT_TRUE(form->Memo1->toPlainText().isEmpty());
    const std::string map = ReadFile(MapPath);
    ASSERT_EQ(int64_t(map.size()), MapFile::FileBytes);
    const uint16_t voidTile = form->GetModel()->GetVoidTile();
    EXPECT_EQ(uint8_t(map[4]), voidTile & 0xFF);
    EXPECT_EQ(uint8_t(map[5]), voidTile >> 8);
    EXPECT_EQ(map[6], 0);
}

} // namespace
