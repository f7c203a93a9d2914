// The window as it starts: its controls, the settings it reads, the image it
// loads at start-up, and a tile configuration it cannot use.
#include "WindowFixture.h"

#include <QGroupBox>
#include <QMenuBar>
#include <QStatusBar>

namespace {

using TestSupport::SaveRedBmp;

// Every control by its name, with the text it shows.
TEST_F(TWindowTest, ControlsCarryTheirNamesAndTexts)
{
    auto form = MakeForm();
    struct TControl
    {
        const char *Name;
        const char *Text; // nullptr: no text to check
    };
    const TControl controls[] = {
        {"MainMenu1", nullptr},          {"File1", "File"},
        {"Import1", "&Import"},          {"BMPmap1", "&BMP map"},
        {"Exit1", "&Exit"},              {"N1", "Help"},
        {"Help1", "About"},              {"GroupBox1", " Input File "},
        {"Label2", "BMP file:"},         {"Label3", ""},
        {"Label4", "Resolution:"},       {"Label5", "?"},
        {"CBLoadBMPOnStartup", "Load BMP on startup:"},
        {"BitBtn1", "Load BMP"},         {"GroupBox2", " Output File "},
        {"Label1", "map0.mul file:"},    {"Label6", "map0.mul"},
        {"BitBtn2", "Set map0.mul"},     {"GroupBox3", " Terrain Generation "},
        {"BitBtn4", "Generate Terrain"}, {"BitBtn3", "Abort"},
        {"GroupBox4", "Warnings && Errors"},
        {"Memo1", nullptr},              {"Panel2", nullptr},
        {"BitBtn6", "&Quit"},            {"ProgressBar1", nullptr},
        {"StatusBar1", nullptr},
    };
    for (const auto &control : controls) {
        SCOPED_TRACE(control.Name);
        QObject *object = form->findChild<QObject *>(control.Name);
        ASSERT_NE(object, nullptr);
        if (!control.Text)
            continue;
        QString text;
        if (auto *menu = qobject_cast<QMenu *>(object))
            text = menu->title();
        else if (auto *action = qobject_cast<QAction *>(object))
            text = action->text();
        else if (auto *box = qobject_cast<QGroupBox *>(object))
            text = box->title();
        else if (auto *button = qobject_cast<QAbstractButton *>(object))
            text = button->text();
        else if (auto *label = qobject_cast<QLabel *>(object))
            text = label->text();
        EXPECT_EQ(text.toStdString(), control.Text);
    }
    EXPECT_EQ(form->menuBar(), form->MainMenu1);
    EXPECT_EQ(form->statusBar(), form->StatusBar1);
    EXPECT_EQ(form->windowTitle().toStdString(), "Morvane - v0.5.1");

    // The hints of the menu items.
    EXPECT_EQ(form->Import1->menuAction()->statusTip().toStdString(), "Import a map");
    EXPECT_EQ(form->BMPmap1->statusTip().toStdString(), "Import BMP map");
    EXPECT_EQ(form->Exit1->statusTip().toStdString(), "Close the application");
    EXPECT_EQ(form->Help1->statusTip().toStdString(), "About");
    EXPECT_EQ(form->BMPmap1->toolTip().toStdString(), "Import BMP map");

    // The check box shows its text left of the box; the memo is read-only, green, always scrollable.
    EXPECT_EQ(form->CBLoadBMPOnStartup->layoutDirection(), Qt::RightToLeft);
    EXPECT_TRUE(form->Memo1->isReadOnly());
    EXPECT_EQ(form->Memo1->palette().color(QPalette::Base), QColor(0xC0, 0xDC, 0xC0));
    EXPECT_EQ(form->Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(form->Panel2->height(), 50);
    EXPECT_TRUE(form->Label3->font().bold());
    EXPECT_EQ(form->Label5->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    EXPECT_FALSE(form->BitBtn4->icon().isNull());
    EXPECT_FALSE(form->BitBtn3->icon().isNull());
    EXPECT_FALSE(form->BitBtn6->icon().isNull());
}

TEST_F(TWindowTest, FirstStartShowsDefaultsAndWritesThemAtClose)
{
    auto form = MakeForm();
    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(Text(form->Label3), "");
    EXPECT_EQ(Text(form->Label5), "?");
    EXPECT_EQ(Text(form->Label6), "map0.mul");
    EXPECT_FALSE(form->CBLoadBMPOnStartup->isChecked());
    EXPECT_TRUE(form->BitBtn3->isHidden());
    EXPECT_TRUE(form->GetStatusText().isEmpty());
    EXPECT_EQ(form->ProgressBar1->value(), 0);
    ASSERT_NE(form->GetModel(), nullptr);
    EXPECT_EQ(form->GetModel()->GetWidth(), 0);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(SettingsPath())));

    form->close();
    EXPECT_EQ(form->GetModel(), nullptr);
    EXPECT_EQ(ReadSetting("BMPFileName"), "map.bmp");
    EXPECT_EQ(ReadSetting("MAPFileName"), "map0.mul");
    EXPECT_EQ(ReadSetting("LoadBMPOnStartup"), "0");
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(TWindowTest, StartWithTheOptionOnAndTheImageMissing)
{
    WriteSettings("[Main]\nLoadBMPOnStartup=1\n");
    auto form = MakeForm();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Icon, TMessageBoxRequest::Critical);
    EXPECT_EQ(Boxes[0].Title, "Error");
    EXPECT_EQ(Boxes[0].Text, "Clould not load BMP map.bmp!");
    EXPECT_NE(Boxes[0].Detail.find("map.bmp"), std::string::npos) << Boxes[0].Detail;
    EXPECT_EQ(Text(form->Label3), "");
    EXPECT_EQ(Text(form->Label5), "?");
    EXPECT_TRUE(form->CBLoadBMPOnStartup->isChecked());
    EXPECT_TRUE(form->BitBtn4->isEnabled());
    EXPECT_EQ(form->windowTitle().toStdString(), "Morvane - v0.5.1");

    form->close();
    EXPECT_EQ(ReadSetting("BMPFileName"), "map.bmp");
    EXPECT_EQ(ReadSetting("LoadBMPOnStartup"), "1");
}

TEST_F(TWindowTest, StartWithTheOptionOnLoadsTheImage)
{
    const std::string picture = Dir.File("world.bmp");
    SaveRedBmp(picture, std::vector<std::vector<uint8_t>>(5, std::vector<uint8_t>(7, 40)));
    WriteSettings("[Main]\nBMPFileName=" + picture + "\nMAPFileName=out/m.mul\nLoadBMPOnStartup=1\n");
    auto form = MakeForm();
    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(Text(form->Label3), picture);
    EXPECT_EQ(Text(form->Label5), "7 x 5");
    EXPECT_EQ(Text(form->Label6), "out/m.mul");
    EXPECT_EQ(form->GetModel()->GetWidth(), 7);
    EXPECT_EQ(form->GetModel()->GetCell(7, 5).Code, GRASS);

    // Unchecking only changes the next start; the image stays.
    form->CBLoadBMPOnStartup->setChecked(false);
    EXPECT_EQ(form->GetModel()->GetWidth(), 7);
    EXPECT_EQ(Text(form->Label5), "7 x 5");
    form->close();
    EXPECT_EQ(ReadSetting("LoadBMPOnStartup"), "0");
    EXPECT_EQ(ReadSetting("BMPFileName"), picture);
    EXPECT_EQ(ReadSetting("MAPFileName"), "out/m.mul");
}

TEST_F(TWindowTest, StartWithTheOptionOffLoadsNothing)
{
    const std::string picture = Dir.File("world.bmp");
    SaveRedBmp(picture, {{40, 40}});
    WriteSettings("[Main]\nBMPFileName=" + picture + "\nLoadBMPOnStartup=0\n");
    auto form = MakeForm();
    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(Text(form->Label3), "");
    EXPECT_EQ(Text(form->Label5), "?");
    EXPECT_EQ(form->GetModel()->GetWidth(), 0);
}

TEST_F(TWindowTest, MalformedTileConfigurationLeavesTheCommandsOff)
{
    const std::string tiles = Dir.File("Tiles.ini");
    TestSupport::WriteFile(tiles, TestSupport::ReadFile(TestSupport::BundledTilesPath()) + "\n[GRASS]\nlots=\n");
    const std::string picture = Dir.File("world.bmp");
    SaveRedBmp(picture, {{40, 40}});
    WriteSettings("[Main]\nBMPFileName=" + picture + "\nLoadBMPOnStartup=1\n");

    auto form = MakeForm(tiles);
    // One box, with the conversion's own message; no load was tried.
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Title, "Error");
    EXPECT_EQ(Boxes[0].Icon, TMessageBoxRequest::Critical);
    EXPECT_EQ(Boxes[0].Text, "'lots' is not a valid integer value");
    EXPECT_EQ(Boxes[0].Detail, tiles);
    EXPECT_EQ(form->GetModel(), nullptr);
    EXPECT_EQ(form->GetStatusText().toStdString(), "The tile configuration could not be read: " + tiles);
    EXPECT_EQ(form->windowTitle().toStdString(), "Morvane - v0.5.1");

    const auto expectCommandsOff = [&] {
        EXPECT_FALSE(form->BitBtn1->isEnabled());
        EXPECT_FALSE(form->BitBtn4->isEnabled());
        EXPECT_FALSE(form->BMPmap1->isEnabled());
        EXPECT_TRUE(form->BitBtn2->isEnabled());
        EXPECT_TRUE(form->BitBtn6->isEnabled());
        EXPECT_TRUE(form->Help1->isEnabled());
    };
    expectCommandsOff();
    form->LockGUI(true);
    form->LockGUI(false);
    expectCommandsOff();

    // Even called directly, the commands do nothing without a model.
    DialogAnswer = picture;
    form->BMPmap1Click();
    form->BitBtn4Click();
    EXPECT_TRUE(Dialogs.empty());
    EXPECT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Text(form->Label3), "");

    form->close();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ReadSetting("BMPFileName"), picture);
    EXPECT_EQ(ReadSetting("LoadBMPOnStartup"), "1");
}

// Problems that do not stop the model (a red value that is no number, here)
// are warnings in the memo, not an error box; the window works.
TEST_F(TWindowTest, ConfigurationProblemsAreListedInTheMemoAndTheWindowWorks)
{
    const std::string tiles = Dir.File("Tiles.ini");
    std::string text = TestSupport::ReadFile(TestSupport::BundledTilesPath());
    text.replace(text.find("\nSNOW=250\n"), 10, "\nSNOW=white\n");
    TestSupport::WriteFile(tiles, text);
    auto form = MakeForm(tiles);
    EXPECT_TRUE(Boxes.empty());
    ASSERT_EQ(form->GetModel()->GetConfigProblems().size(), 1u);
    const std::string problem = form->GetModel()->GetConfigProblems()[0];
    EXPECT_EQ(problem, tiles + ": [ColorTileCodeMatch] SNOW='white' is not a number; the default 250 is used");
    EXPECT_EQ(form->Memo1->toPlainText().toStdString(), problem);
    EXPECT_TRUE(form->BitBtn1->isEnabled());
    EXPECT_TRUE(form->BitBtn4->isEnabled());
    EXPECT_TRUE(form->BMPmap1->isEnabled());
    EXPECT_TRUE(form->GetStatusText().isEmpty());
}

} // namespace
