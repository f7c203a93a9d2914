// What the window says about its files: the target beside the output label,
// the line under the memo after a run, the question before void tiles replace
// a map, the tile configuration's warnings and errors, the settings file that
// cannot be read or written, and the preview that stays on the screen.
#include "MapPreviewForm.h"
#include "MapWriter.h"
#include "MapPreviewView.h"
#include "VoidReport.h"
#include "WindowFixture.h"

#include <QActionGroup>
#include <QFileInfo>
#include <QMetaObject>
#include <QRegularExpression>

#include <filesystem>

namespace {

using TestSupport::ListDir;
using TestSupport::ReadFile;
using TestSupport::SaveRedBmp;
using TestSupport::WriteFile;

class TWindowSaysTest : public TWindowTest
{
protected:
    std::unique_ptr<TTestForm> MakeLoadedForm(const std::string &Tiles = TestSupport::BundledTilesPath())
    {
        SaveRedBmp(Picture, StripedTerrains());
        auto form = MakeForm(Tiles);
        LoadThroughDialog(*form, Picture);
        SetOutputThroughDialog(*form, MapPath);
        return form;
    }
    static std::string Said(const TForm1 &Form) { return Form.GetRunResultText().toStdString(); }
    static std::string Memo(const TForm1 &Form) { return Form.Memo1->toPlainText().toStdString(); }

    const std::string Picture = Dir.File("world.bmp");
    const std::string MapPath = Dir.File("map0.mul");
    const std::string OldMap = "an earlier map";
};

TEST_F(TWindowSaysTest, TheTargetBesideTheOutputLabelIsTheFileGenerateWrites)
{
    auto form = MakeForm();
    const std::string absolute = QDir::current().absoluteFilePath("map0.mul").toStdString();
    EXPECT_EQ(Text(form->Label7), absolute + " (MUL, 6144 x 4096, no statics files)");

    form->StaticsEmpty1->trigger();
    EXPECT_EQ(Text(form->Label7), absolute + " (MUL, 6144 x 4096, with empty staidx0.mul and statics0.mul)");
    form->StaticsDecorated1->trigger();
    EXPECT_EQ(Text(form->Label7), absolute + " (MUL, 6144 x 4096, with decorated staidx0.mul and statics0.mul)");

    // A map0 or map1 UOP is read by clients as 7168 x 4096: the Map menu follows, and says so.
    const std::string uop = Dir.File("uo/map1LegacyMUL.uop");
    std::filesystem::create_directory(Dir.File("uo"));
    SetOutputThroughDialog(*form, uop);
    EXPECT_EQ(form->GetMapOutput().Size, (TMapSize{7168, 4096}));
    EXPECT_EQ(form->MapSizes1->checkedAction()->objectName().toStdString(), "MapSizeFacet01");
    EXPECT_EQ(Text(form->Label7), uop + " (UOP, 7168 x 4096, with decorated staidx1.mul and statics1.mul)");
    EXPECT_NE(form->GetStatusText().toStdString().find("7168 x 4096"), std::string::npos)
        << form->GetStatusText().toStdString();

    // Asking for the old size with that name keeps 7168 x 4096, and says why.
    form->MapSizeClick(MapSizes::Classic);
    EXPECT_EQ(form->GetMapOutput().Size, (TMapSize{7168, 4096}));
    EXPECT_NE(form->GetStatusText().toStdString().find(".mul name"), std::string::npos);

    // Other UOP names and MUL names keep the chosen size.
    SetOutputThroughDialog(*form, Dir.File("uo/map2LegacyMUL.uop"));
    form->MapSizeClick({2304, 1600});
    EXPECT_EQ(form->GetMapOutput().Size, (TMapSize{2304, 1600}));
    SetOutputThroughDialog(*form, Dir.File("uo/custom.uop"));
    EXPECT_EQ(form->GetMapOutput().Size, (TMapSize{2304, 1600}));
    SetOutputThroughDialog(*form, Dir.File("uo/map0.mul"));
    form->MapSizeClick(MapSizes::Classic);
    EXPECT_EQ(form->GetMapOutput().Size, MapSizes::Classic);
    EXPECT_EQ(Text(form->Label7),
              Dir.File("uo/map0.mul") + " (MUL, 6144 x 4096, with decorated staidx0.mul and statics0.mul)");
}

TEST_F(TWindowSaysTest, AfterAWrittenMapALineUnderTheMemoSaysWhatWasWritten)
{
    auto form = MakeLoadedForm();
    form->BitBtn4->click();
    const TVoidReport voids = MakeVoidReport(*form->GetModel(), MapSizes::Classic);
    const size_t warnings = form->GetModel()->GetWarnings().size();
    ASSERT_GT(warnings, 1u);
    const std::string said = Said(*form);
    const QRegularExpression pattern("^Written in [0-9]+\\.[0-9] s: map0\\.mul \\(MUL, 6144 x 4096\\); " +
                                     QString::number(warnings) + " warnings, " + QString::number(voids.Total) +
                                     " void cells\\.$");
    EXPECT_TRUE(pattern.match(QString::fromStdString(said)).hasMatch()) << said;
    EXPECT_GT(voids.Total, 0u); // the map is larger than the picture
    // Not in the memo: the memo holds one line per warning.
    EXPECT_EQ(size_t(form->Memo1->document()->blockCount()), warnings);
    EXPECT_EQ(Memo(*form).find("Written"), std::string::npos);
    // A new picture starts afresh.
    LoadThroughDialog(*form, Picture);
    EXPECT_EQ(Said(*form), "");
}

// What a killed save left in the target's folder is cleared before the run,
// and the line under the memo says what was done.
TEST_F(TWindowSaysTest, LeftoversOfAKilledSaveAreClearedAndSaidBeforeTheRun)
{
    auto form = MakeLoadedForm();
    WriteFile(Dir.File(".morvane-0123456789abcdef.old"), "an earlier map kept by a killed save");
    form->BitBtn4->click();
    const std::string said = Said(*form);
    EXPECT_EQ(said.rfind("Before the run: ", 0), 0u) << said;
    EXPECT_NE(said.find(".morvane-0123456789abcdef.old"), std::string::npos) << said;
    EXPECT_NE(said.find("\nWritten in "), std::string::npos) << said;
    EXPECT_FALSE(std::filesystem::exists(Dir.File(".morvane-0123456789abcdef.old")));
    // Nothing left over the next time: the line says only what was written.
    form->BitBtn4->click();
    EXPECT_EQ(Said(*form).rfind("Written in ", 0), 0u) << Said(*form);
}

TEST_F(TWindowSaysTest, AfterAnAbortOrAFailureItSaysTheEarlierFilesWereKept)
{
    const auto abortAt = [](TTestForm &Form, int Call) {
        Form.BeforeEvents = [&Form, Call](int Now) {
            if (Now == Call)
                QMetaObject::invokeMethod(Form.BitBtn3, "click", Qt::QueuedConnection);
        };
    };
    auto form = MakeLoadedForm();
    abortAt(*form, 3);
    form->BitBtn4->click();
    EXPECT_EQ(Said(*form), "The run was aborted: nothing was written.");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(MapPath)));

    WriteFile(MapPath, OldMap);
    form->Calls = 0;
    form->BitBtn4->click();
    EXPECT_EQ(Said(*form), "The run was aborted: the earlier files were kept (map0.mul).");
    EXPECT_EQ(ReadFile(MapPath), OldMap);

    // A failed write: the box, and the line.
    form->BeforeEvents = nullptr;
    std::filesystem::create_directory(Dir.File("map0.mul.d"));
    SetOutputThroughDialog(*form, Dir.File("map0.mul.d"));
    form->BitBtn4->click();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Said(*form), "The map could not be written: the earlier files were kept (map0.mul.d).");
}

TEST_F(TWindowSaysTest, WithoutAPictureGenerateAsksBeforeItReplacesAMap)
{
    WriteFile(MapPath, OldMap);
    auto form = MakeForm();
    SetOutputThroughDialog(*form, MapPath);
    // The default answer, No: nothing is run or written.
    form->BitBtn4->click();
    ASSERT_EQ(Questions.size(), 1u);
    EXPECT_EQ(Questions[0].Icon, TMessageBoxRequest::Question);
    EXPECT_NE(Questions[0].Text.find(MapPath), std::string::npos) << Questions[0].Text;
    EXPECT_NE(Questions[0].Text.find("void tiles"), std::string::npos) << Questions[0].Text;
    EXPECT_EQ(ReadFile(MapPath), OldMap);
    EXPECT_EQ(form->Calls, 0);

    // A failed load leaves no picture either.
    WriteFile(Dir.File("broken.bmp"), "BM not really");
    LoadThroughDialog(*form, Dir.File("broken.bmp"));
    form->BitBtn4->click();
    EXPECT_EQ(Questions.size(), 2u);
    EXPECT_EQ(ReadFile(MapPath), OldMap);

    // Yes: the map of void tiles is written.
    QuestionAnswer = true;
    form->BitBtn4->click();
    EXPECT_EQ(Questions.size(), 3u);
    EXPECT_EQ(int64_t(ReadFile(MapPath).size()), MapFile::FileBytes);

    // No earlier map, or a picture loaded: no question.
    SetOutputThroughDialog(*form, Dir.File("new.mul"));
    form->BitBtn4->click();
    SaveRedBmp(Picture, ThreeTerrains());
    LoadThroughDialog(*form, Picture);
    SetOutputThroughDialog(*form, MapPath);
    form->BitBtn4->click();
    EXPECT_EQ(Questions.size(), 3u);
    EXPECT_EQ(int64_t(ReadFile(Dir.File("new.mul")).size()), MapFile::FileBytes);
}

TEST_F(TWindowSaysTest, ConfigurationWarningsStandAtTheTopOfTheMemo)
{
    const std::string tiles = Dir.File("Tiles.ini");
    std::string text = ReadFile(TestSupport::BundledTilesPath());
    for (const auto &[from, to] :
         {std::pair<std::string, std::string>{"\nWATER=30\n", "\nWATER=31 ; my sea colour\n"},
          {"[TRANS_DIRT_MOUNTAIN]\nN=0x00DF\n", "[TRANS_DIRT_MOUNTAIN]\nN=0x00DFh\n"}}) {
        ASSERT_NE(text.find(from), std::string::npos) << from;
        text.replace(text.find(from), from.size(), to);
    }
    WriteFile(tiles, text);
    auto form = MakeLoadedForm(tiles);
    const std::vector<std::string> problems = form->GetModel()->GetConfigProblems();
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_TRUE(Boxes.empty());
    const auto memoLines = [&] {
        std::vector<std::string> lines;
        for (const QString &line : form->Memo1->toPlainText().split('\n'))
            lines.push_back(line.toStdString());
        return lines;
    };
    EXPECT_EQ(memoLines(), problems);

    form->BitBtn4->click();
    std::vector<std::string> expected = problems;
    for (const std::string &warning : form->GetModel()->GetWarnings())
        expected.push_back(warning);
    ASSERT_GT(expected.size(), problems.size());
    EXPECT_EQ(memoLines(), expected);
    // A click on the first warning line finds its cell, not the cell of the warning after it.
    form->Memo1Click(int(problems.size()));
    const TErrorItem &first = form->GetModel()->GetErrors().front();
    ASSERT_NE(form->GetPreviewForm(), nullptr);
    EXPECT_EQ(form->GetPreviewForm()->View->GetMarker(), QPoint(first.X, first.Y));
    form->GetPreviewForm()->View->SetMarker(std::nullopt);
    form->Memo1Click(0);
    EXPECT_EQ(form->GetPreviewForm()->View->GetMarker(), std::nullopt);
}

TEST_F(TWindowSaysTest, ATileConfigurationWithoutTilesKeepsGenerateOff)
{
    struct TCase
    {
        const char *Name;
        std::optional<std::string> Text; // nullopt: no file
        const char *Message;
    };
    const TCase cases[] = {
        {"missing", std::nullopt, "the tile configuration file is missing"},
        {"empty", std::string(), "the file holds no tile at all: it is empty or no tile configuration"},
        {"a letter", std::string("Dear map maker,\nthis is no configuration.\n"),
         "the file holds no tile at all: it is empty or no tile configuration"},
    };
    for (const TCase &c : cases) {
        Boxes.clear();
        const std::string tiles = Dir.File(std::string(c.Name) + ".ini");
        if (c.Text)
            WriteFile(tiles, *c.Text);
        auto form = MakeForm(tiles);
        ASSERT_EQ(Boxes.size(), 1u) << c.Name;
        EXPECT_EQ(Boxes[0].Text, c.Message) << c.Name;
        EXPECT_EQ(Boxes[0].Detail, tiles) << c.Name;
        EXPECT_EQ(form->GetModel(), nullptr) << c.Name;
        EXPECT_FALSE(form->BitBtn4->isEnabled()) << c.Name;
        EXPECT_FALSE(form->BitBtn1->isEnabled()) << c.Name;
    }
}

TEST_F(TWindowSaysTest, ASettingsFileThatCannotBeReadIsKeptAsideAndReplaced)
{
    std::string damaged = "[Main]\nMAPFileName=x.mul\n";
    damaged += '\0';
    WriteSettings(damaged);
    auto form = MakeForm();
    EXPECT_EQ(ReadFile(SettingsPath() + ".bad"), damaged);
    EXPECT_TRUE(TIniFile(SettingsPath()).GetProblem().empty());
    const std::string memo = Memo(*form);
    EXPECT_NE(memo.find(SettingsPath() + ".bad"), std::string::npos) << memo;
    EXPECT_TRUE(Boxes.empty());
    form->close();
    EXPECT_TRUE(Boxes.empty()); // the exit writes the settings without complaint
    EXPECT_EQ(ReadSetting("MAPFileName"), "map0.mul");

    // Said once: the next start has nothing to say.
    auto next = MakeForm();
    EXPECT_EQ(Memo(*next), "");
}

TEST_F(TWindowSaysTest, WhereTheProgramsFolderCannotBeWrittenTheUsersFolderKeepsTheSettings)
{
    // A "folder" that is a file: nothing can be made in it, not even by an administrator.
    WriteFile(Dir.File("program"), "not a folder");
    ProgramSettings = Dir.File("program/morvane.ini");
    auto form = MakeForm();
    EXPECT_EQ(form->GetSettingsPath(), UserSettings());
    const std::string memo = Memo(*form);
    EXPECT_NE(memo.find(UserSettings()), std::string::npos) << memo;
    SetOutputThroughDialog(*form, MapPath);
    form->close();
    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(TIniFile(UserSettings()).ReadString("Main", "MAPFileName").value_or(""), MapPath);
    auto next = MakeForm();
    EXPECT_EQ(next->GetMAPFileName(), MapPath);
}

// A screen of 640 x 480 (or one of 1280 x 960 at a scale factor of 2) has no
// room beside the main window: the preview overlaps it and stays on the screen.
TEST_F(TWindowSaysTest, ThePreviewStaysOnTheScreen)
{
    auto form = MakeForm();
    form->move(0, 0);
    form->show();
    TMapPreviewForm preview;
    for (const QRect room : {QRect(0, 0, 640, 480), QRect(0, 0, 800, 600), QRect(100, 30, 700, 500)}) {
        preview.PlaceBeside(*form, room);
        const QRect placed(preview.pos(), preview.size());
        EXPECT_TRUE(room.contains(placed)) << room.width() << "x" << room.height() << ": placed at " << placed.x()
                                           << "," << placed.y() << " " << placed.width() << "x" << placed.height();
    }
    // Where there is room beside it, it does not overlap.
    preview.PlaceBeside(*form, QRect(0, 0, 2000, 1200));
    EXPECT_FALSE(QRect(preview.pos(), preview.size()).intersects(form->frameGeometry()));
}

TEST(MapPreviewViewFit, FitShowsTheWholeMapHoweverLarge)
{
    TMapPreviewView view;
    view.resize(400, 300);
    view.show();
    for (const QSize picture : {QSize(512, 256), QSize(256, 1024), QSize(100, 50)}) {
        QImage image(picture, QImage::Format_RGB32);
        image.fill(Qt::green);
        view.SetPicture(image, 64); // 32768 x 16384 cells, and so on
        view.FitToWindow();
        const double cellsWide = picture.width() * 64.0, cellsHigh = picture.height() * 64.0;
        EXPECT_DOUBLE_EQ(view.GetZoom(), std::min(400 / cellsWide, 300 / cellsHigh)) << cellsWide;
        EXPECT_LE(view.GetZoom() * cellsWide, 400.0 + 1e-9);
        EXPECT_LE(view.GetZoom() * cellsHigh, 300.0 + 1e-9);
        // Zooming out stops there, and zooming in comes back.
        const double fit = view.GetZoom();
        view.ZoomOut();
        EXPECT_GE(view.GetZoom(), std::min(fit, 1.0 / 64) - 1e-12);
        view.ZoomIn();
        EXPECT_GT(view.GetZoom(), std::min(fit, 1.0 / 64));
    }
}

} // namespace
