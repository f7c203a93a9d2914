// The window's commands other than Generate: the two file dialogs, the lock,
// the About box and the ways to close the window.
#include "PictureDialog.h"
#include "WindowFixture.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

using TestSupport::SaveRedBmp;

TEST_F(TWindowTest, PictureDialogIsPresetAndLoadsTheChosenImage)
{
    const std::string picture = Dir.File("world.bmp");
    SaveRedBmp(picture, std::vector<std::vector<uint8_t>>(3, std::vector<uint8_t>(4, 150)));
    auto form = MakeForm();
    LoadThroughDialog(*form, picture);

    ASSERT_EQ(Dialogs.size(), 1u);
    const TShownDialog &shown = Dialogs[0];
    EXPECT_EQ(shown.Name.toStdString(), "OpenPictureDialog1");
    EXPECT_EQ(shown.Title.toStdString(), "Load the image of the map");
    EXPECT_EQ(shown.NameFilters, QStringList({"All (*)", "Bitmaps (*.bmp)"}));
    EXPECT_EQ(shown.SelectedNameFilter.toStdString(), "Bitmaps (*.bmp)");
    EXPECT_EQ(shown.DefaultSuffix.toStdString(), "bmp");
    EXPECT_EQ(shown.AcceptMode, QFileDialog::AcceptOpen);
    EXPECT_FALSE(shown.Native); // the preview needs Qt's own dialog
    // Preset with the remembered name, relative to the current folder.
    EXPECT_EQ(shown.Directory, QDir::currentPath());
    ASSERT_EQ(shown.PresetFiles.size(), 1);
    EXPECT_EQ(QFileInfo(shown.PresetFiles[0]).fileName().toStdString(), "map.bmp");

    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(Text(form->Label3), picture);
    EXPECT_EQ(Text(form->Label5), "4 x 3");
    EXPECT_EQ(form->GetModel()->GetCell(1, 1).Code, MOUNTAIN);

    // The next time the dialog opens in the image's folder on the image's name.
    form->BMPmap1Click();
    ASSERT_EQ(Dialogs.size(), 2u);
    EXPECT_EQ(Dialogs[1].Directory.toStdString(), Dir.Path());
    ASSERT_EQ(Dialogs[1].PresetFiles.size(), 1);
    EXPECT_EQ(Dialogs[1].PresetFiles[0].toStdString(), picture);
}

TEST_F(TWindowTest, MenuItemAndButtonRunTheSameLoad)
{
    const std::string picture = Dir.File("world.bmp");
    SaveRedBmp(picture, {{40, 9}});
    auto form = MakeForm();
    DialogAnswer = picture;
    form->BMPmap1->trigger();
    EXPECT_EQ(Text(form->Label5), "2 x 1");
    form->BitBtn1->click();
    EXPECT_EQ(Dialogs.size(), 2u);
    EXPECT_EQ(Dialogs[1].Name.toStdString(), "OpenPictureDialog1");
}

TEST_F(TWindowTest, CancelledDialogsChangeNothing)
{
    const std::string picture = Dir.File("world.bmp");
    SaveRedBmp(picture, {{40, 40, 40}});
    WriteSettings("[Main]\nBMPFileName=" + picture + "\nMAPFileName=keep.mul\nLoadBMPOnStartup=1\n");
    auto form = MakeForm();
    form->BMPmap1Click();
    form->BitBtn2Click();
    EXPECT_EQ(Dialogs.size(), 2u);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(Text(form->Label3), picture);
    EXPECT_EQ(Text(form->Label5), "3 x 1");
    EXPECT_EQ(Text(form->Label6), "keep.mul");
    EXPECT_EQ(form->GetModel()->GetWidth(), 3);
    form->close();
    EXPECT_EQ(ReadSetting("BMPFileName"), picture);
    EXPECT_EQ(ReadSetting("MAPFileName"), "keep.mul");
}

// A file that does not load: the box, no image claimed, the name still kept.
TEST_F(TWindowTest, FailedLoadFromTheDialog)
{
    struct TCase
    {
        const char *Name;
        const char *File;
        const char *Content; // nullptr: the file does not exist
    };
    const TCase cases[] = {
        {"not a bitmap", "notes.bmp", "these are no pixels"},
        {"missing file", "gone.bmp", nullptr},
        {"a folder", "folder.bmp", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        TestSupport::TTempDir dir;
        const std::string good = dir.File("good.bmp");
        SaveRedBmp(good, {{40, 40}});
        const std::string bad = dir.File(c.File);
        if (c.Content)
            TestSupport::WriteFile(bad, c.Content);
        if (std::string(c.Name) == "a folder")
            QDir().mkdir(QString::fromStdString(bad));

        Boxes.clear();
        auto form = MakeForm();
        LoadThroughDialog(*form, good);
        ASSERT_EQ(Text(form->Label5), "2 x 1");
        LoadThroughDialog(*form, bad);
        ASSERT_EQ(Boxes.size(), 1u);
        EXPECT_EQ(Boxes[0].Title, "Error");
        EXPECT_EQ(Boxes[0].Icon, TMessageBoxRequest::Critical);
        EXPECT_EQ(Boxes[0].Text, "Clould not load BMP " + bad + "!");
        EXPECT_NE(Boxes[0].Detail.find(bad), std::string::npos) << Boxes[0].Detail;
        EXPECT_EQ(Text(form->Label3), "");
        EXPECT_EQ(Text(form->Label5), "?");
        EXPECT_EQ(form->GetModel()->GetWidth(), 0);
        EXPECT_EQ(form->GetBMPFileName(), bad);
        form->close();
        EXPECT_EQ(ReadSetting("BMPFileName"), bad);
    }
}

TEST_F(TWindowTest, SaveDialogIsPresetAndSetsTheOutput)
{
    auto form = MakeForm();
    const std::string output = Dir.File("maps/map0.mul");
    SetOutputThroughDialog(*form, output);

    ASSERT_EQ(Dialogs.size(), 1u);
    const TShownDialog &shown = Dialogs[0];
    EXPECT_EQ(shown.Name.toStdString(), "SaveDialog1");
    EXPECT_EQ(shown.NameFilters, QStringList({"All (*)", "MUL file (*.mul)"}));
    EXPECT_EQ(shown.SelectedNameFilter.toStdString(), "MUL file (*.mul)");
    EXPECT_EQ(shown.DefaultSuffix.toStdString(), "mul");
    EXPECT_EQ(shown.AcceptMode, QFileDialog::AcceptSave);
    EXPECT_FALSE(shown.ConfirmsOverwrite);
    // The usual game folder does not exist here: the current folder instead.
    EXPECT_EQ(shown.Directory, QDir::currentPath());
    ASSERT_EQ(shown.PresetFiles.size(), 1);
    EXPECT_EQ(QFileInfo(shown.PresetFiles[0]).fileName().toStdString(), "map0.mul");

    EXPECT_EQ(Text(form->Label6), output);
    EXPECT_EQ(form->GetMAPFileName(), output);
    // Choosing writes nothing.
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(output)));
    form->close();
    EXPECT_EQ(ReadSetting("MAPFileName"), output);
}

TEST_F(TWindowTest, LockAndUnlock)
{
    auto form = MakeForm();
    for (const bool lock : {true, false, true, false}) {
        SCOPED_TRACE(lock ? "locked" : "unlocked");
        // As in the middle of storing the map: a status text and the bar moved on.
        form->WritingBegins(768, "Storing map0.mul");
        form->ColumnWritten(0, 768);
        ASSERT_EQ(form->ProgressBar1->value(), 2);
        ASSERT_FALSE(form->GetStatusText().isEmpty());
        form->CBLoadBMPOnStartup->setEnabled(true);
        form->LockGUI(lock);
        EXPECT_EQ(form->BitBtn1->isEnabled(), !lock);
        EXPECT_EQ(form->BitBtn2->isEnabled(), !lock);
        EXPECT_EQ(form->BitBtn4->isEnabled(), !lock);
        EXPECT_EQ(form->BitBtn6->isEnabled(), !lock);
        EXPECT_EQ(form->BitBtn3->isHidden(), !lock);
        EXPECT_TRUE(form->BitBtn3->isEnabled());
        EXPECT_EQ(form->File1->menuAction()->isEnabled(), !lock);
        EXPECT_TRUE(form->GetStatusText().isEmpty());
        EXPECT_EQ(form->ProgressBar1->value(), 0);
        // Untouched by the lock.
        EXPECT_TRUE(form->CBLoadBMPOnStartup->isEnabled());
        EXPECT_TRUE(form->N1->menuAction()->isEnabled());
        EXPECT_TRUE(form->Help1->isEnabled());
    }
}

TEST_F(TWindowTest, AboutBox)
{
    auto form = MakeForm();
    form->Help1->trigger();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Icon, TMessageBoxRequest::Information);
    EXPECT_EQ(Boxes[0].Title, "About");
    const std::string &text = Boxes[0].Text;
    EXPECT_EQ(text.rfind("UO Morvane\r\r", 0), 0u) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 4) << text;
    EXPECT_EQ(text.find('\n'), std::string::npos);
}

// Quit, File/Exit and the window's close box run the same shut-down.
TEST_F(TWindowTest, EveryWayOfClosingWritesTheSettings)
{
    const std::function<void(TForm1 &)> ways[] = {
        [](TForm1 &form) { form.BitBtn6->click(); },
        [](TForm1 &form) { form.Exit1->trigger(); },
        [](TForm1 &form) { form.close(); },
    };
    for (const auto &closeWindow : ways) {
        QFile::remove(QString::fromStdString(SettingsPath()));
        auto form = MakeForm();
        form->show();
        SetOutputThroughDialog(*form, "chosen.mul");
        form->CBLoadBMPOnStartup->setChecked(true);
        closeWindow(*form);
        EXPECT_FALSE(form->isVisible());
        EXPECT_EQ(form->GetModel(), nullptr);
        EXPECT_EQ(ReadSetting("MAPFileName"), "chosen.mul");
        EXPECT_EQ(ReadSetting("LoadBMPOnStartup"), "1");
    }
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(TWindowTest, UnwritableSettingsFileStillCloses)
{
    TForm1Options options;
    options.SettingsPath = Dir.File("missing/morvane.ini");
    // Nor can the user's configuration folder be made: a file stands in its way.
    TestSupport::WriteFile(Dir.File("config"), "a file");
    options.UserSettingsPath = Dir.File("config/morvane.ini");
    options.TilesPath = TestSupport::BundledTilesPath();
    options.ShowMessageBox = [this](const TMessageBoxRequest &Request) { Boxes.push_back(Request); };
    TForm1 form(options);
    form.show();
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(form.isVisible());
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Title, "Error");
    EXPECT_NE(Boxes[0].Text.find(options.SettingsPath), std::string::npos) << Boxes[0].Text;
}

TEST(PictureDialogTest, PreviewShowsTheSizeOfPictures)
{
    TestSupport::TTempDir dir;
    const std::string picture = dir.File("world.bmp");
    SaveRedBmp(picture, std::vector<std::vector<uint8_t>>(6, std::vector<uint8_t>(11, 40)));
    const std::string text = dir.File("notes.txt");
    TestSupport::WriteFile(text, "no picture");

    TOpenPictureDialog dialog;
    const struct
    {
        std::string Path;
        const char *Expected;
    } cases[] = {
        {picture, "11 x 6"}, {text, "(None)"}, {dir.File("gone.bmp"), "(None)"}, {dir.Path(), "(None)"}, {"", "(None)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Path);
        emit dialog.currentChanged(QString::fromStdString(c.Path));
        EXPECT_EQ(dialog.GetPreviewText().toStdString(), c.Expected);
        const auto *preview = dialog.findChild<QLabel *>("Preview");
        ASSERT_NE(preview, nullptr);
        EXPECT_EQ(preview->pixmap().isNull(), std::string(c.Expected) == "(None)");
    }
}

} // namespace
