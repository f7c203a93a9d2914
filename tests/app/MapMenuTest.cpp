// The window's "Map" menu: the map's size and the statics files, kept in the
// settings file, and what Generate writes with them.
#include "MapReader.h"
#include "MapPreview.h"
#include "MapPreviewForm.h"
#include "MapPreviewView.h"
#include "Random.h"
#include "StaticsReader.h"
#include "WindowFixture.h"

#include <QActionGroup>

#include <filesystem>

namespace {

class TMapMenuTest : public TWindowTest
{
protected:
    static QAction *Checked(TForm1 &Form) { return Form.MapSizes1->checkedAction(); }
};

} // namespace

TEST_F(TMapMenuTest, TheSizeAndStaticsComeFromTheSettingsAndGoBackToThem)
{
    const struct
    {
        const char *Settings;
        const char *CheckedItem;
        TMapSize Size;
        bool Statics;
    } cases[] = {
        {"", "MapSizeClassic1", MapSizes::Classic, false},
        {"MapWidth=7168\nMapHeight=4096\nWriteStatics=1\n", "MapSizeFacet01", {7168, 4096}, true},
        {"MapWidth=1448\nMapHeight=1448\n", "MapSizeFacet41", {1448, 1448}, false},
        {"MapWidth=64\nMapHeight=32\n", "MapSizeOther1", {64, 32}, false},
        {"MapWidth=6145\nMapHeight=4096\n", "MapSizeClassic1", MapSizes::Classic, false}, // no map size
        {"MapWidth=big\n", "MapSizeClassic1", MapSizes::Classic, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Settings);
        WriteSettings(std::string("[Main]\n") + c.Settings);
        auto form = MakeForm();
        ASSERT_NE(Checked(*form), nullptr);
        EXPECT_EQ(Checked(*form)->objectName().toStdString(), c.CheckedItem);
        EXPECT_EQ(form->GetMapOutput().Size, c.Size);
        EXPECT_EQ(form->StaticsEmpty1->isChecked(), c.Statics);
        EXPECT_EQ(form->GetMapOutput().Statics, c.Statics ? TStaticsChoice::Empty : TStaticsChoice::None);
        form->close();
        EXPECT_EQ(ReadSetting("MapWidth"), std::to_string(c.Size.Width));
        EXPECT_EQ(ReadSetting("MapHeight"), std::to_string(c.Size.Height));
        EXPECT_EQ(ReadSetting("WriteStatics"), c.Statics ? "1" : "0");
    }

    // A choice in the menu is what the next start shows.
    WriteSettings("[Main]\n");
    auto form = MakeForm();
    form->findChild<QAction *>("MapSizeFacet21")->trigger();
    form->StaticsEmpty1->trigger();
    EXPECT_EQ(form->GetMapOutput().Size, (TMapSize{2304, 1600}));
    form->close();
    auto again = MakeForm();
    EXPECT_EQ(Checked(*again)->objectName().toStdString(), "MapSizeFacet21");
    EXPECT_TRUE(again->StaticsEmpty1->isChecked());

    // The facet number: the output's name says it, else the one facet of the size.
    SetOutputThroughDialog(*again, Dir.File("world.uop"));
    EXPECT_EQ(again->GetMapOutput().MapNumber, 2);
    EXPECT_EQ(again->GetMapOutput().Format, TMapFormat::Uop);
    SetOutputThroughDialog(*again, Dir.File("map1LegacyMUL.uop"));
    EXPECT_EQ(again->GetMapOutput().MapNumber, 1);
    again->findChild<QAction *>("MapSizeFacet01")->trigger(); // map0 and map1 share the size
    SetOutputThroughDialog(*again, Dir.File("world.mul"));
    EXPECT_EQ(again->GetMapOutput().MapNumber, 0);
}

TEST_F(TMapMenuTest, GenerateWritesTheChosenSizeInTheFormatOfTheName)
{
    TestSupport::SaveRedBmp(Dir.File("world.bmp"), {{40, 40, 100}, {40, 100, 100}});
    WriteSettings("[Main]\nMapWidth=2560\nMapHeight=2048\nWriteStatics=1\n");
    auto form = MakeForm();
    LoadThroughDialog(*form, Dir.File("world.bmp"));
    SetOutputThroughDialog(*form, Dir.File("map3LegacyMUL.uop"));
    bool menuLocked = false;
    form->BeforeEvents = [&](int) { menuLocked = !form->Map1->menuAction()->isEnabled(); };
    form->BitBtn4->click();
    EXPECT_TRUE(Boxes.empty());
    EXPECT_TRUE(menuLocked);
    EXPECT_TRUE(form->Map1->menuAction()->isEnabled());
    EXPECT_EQ(form->Calls, 1 + 2560 / 8);
    TMapReader map(Dir.File("map3LegacyMUL.uop"));
    EXPECT_EQ(map.Format(), TMapFormat::Uop);
    EXPECT_EQ(map.Size(), (TMapSize{2560, 2048}));
    EXPECT_EQ(map.MapNumber(), 3);
    EXPECT_EQ(std::filesystem::file_size(Dir.File("staidx3.mul")), 320u * 256u * 12u);
    EXPECT_EQ(TestSupport::ListDir(Dir.Path()),
              (std::vector<std::string>{"map3LegacyMUL.uop", "morvane.ini", "staidx3.mul", "statics3.mul", "world.bmp"}));
}

// The statics choice: none, empty or decorated, kept as "Statics"; a settings
// file from before, which knew only "WriteStatics", reads as empty when it is on.
TEST_F(TMapMenuTest, TheStaticsChoiceAndTheSettingsFromBefore)
{
    const TStaticsChoice None = TStaticsChoice::None, Empty = TStaticsChoice::Empty,
                         Decorated = TStaticsChoice::Decorated;
    const struct
    {
        const char *Settings;
        TStaticsChoice Statics;
        const char *Item;
        const char *Written;
    } cases[] = {
        {"", None, "StaticsNone1", "none"},
        {"WriteStatics=0\n", None, "StaticsNone1", "none"},
        {"WriteStatics=1\n", Empty, "StaticsEmpty1", "empty"},
        {"Statics=decorated\n", Decorated, "StaticsDecorated1", "decorated"},
        {"Statics=decorated\nWriteStatics=0\n", Decorated, "StaticsDecorated1", "decorated"},
        {"Statics=none\nWriteStatics=1\n", None, "StaticsNone1", "none"},
        {"Statics=trees\nWriteStatics=1\n", Empty, "StaticsEmpty1", "empty"}, // an unknown word: as before
        {"Statics=trees\n", None, "StaticsNone1", "none"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Settings);
        WriteSettings(std::string("[Main]\n") + c.Settings);
        auto form = MakeForm();
        ASSERT_NE(form->Statics1->checkedAction(), nullptr);
        EXPECT_EQ(form->Statics1->checkedAction()->objectName().toStdString(), c.Item);
        EXPECT_EQ(form->GetMapOutput().Statics, c.Statics);
        form->close();
        EXPECT_EQ(ReadSetting("Statics"), c.Written);
        EXPECT_EQ(ReadSetting("WriteStatics"), c.Statics == None ? "0" : "1");
    }

    // The items are exclusive, and the choice is what the next start shows.
    WriteSettings("[Main]\n");
    auto form = MakeForm();
    form->StaticsDecorated1->trigger();
    EXPECT_TRUE(form->StaticsDecorated1->isChecked());
    EXPECT_FALSE(form->StaticsEmpty1->isChecked());
    EXPECT_FALSE(form->StaticsNone1->isChecked());
    EXPECT_EQ(form->GetMapOutput().Statics, Decorated);
    form->close();
    auto again = MakeForm();
    EXPECT_TRUE(again->StaticsDecorated1->isChecked());
    again->StaticsNone1->trigger();
    EXPECT_EQ(again->GetMapOutput().Statics, None);
    EXPECT_EQ(MapOutputPaths(again->GetMapOutput()).size(), 1u);
}

// Generate with decorated statics: the bundled configuration's trees and
// waves are in the statics file, and the map is the one written without them.
TEST_F(TMapMenuTest, GenerateWritesDecoratedStatics)
{
    std::vector<std::vector<uint8_t>> rows(64, std::vector<uint8_t>(64, 40)); // grass
    for (int y = 20; y < 30; ++y)
        for (int x = 20; x < 30; ++x)
            rows[size_t(y)][size_t(x)] = 30; // a lake
    TestSupport::SaveRedBmp(Dir.File("world.bmp"), rows);
    std::string maps[2];
    for (const char *choice : {"none", "decorated"}) {
        WriteSettings(std::string("[Main]\nMapWidth=64\nMapHeight=64\nStatics=") + choice + "\n");
        Random::SetFixedSeed(21);
        auto form = MakeForm();
        LoadThroughDialog(*form, Dir.File("world.bmp"));
        SetOutputThroughDialog(*form, Dir.File("map0.mul"));
        form->BitBtn4->click();
        EXPECT_TRUE(Boxes.empty());
        maps[choice[0] == 'd'] = TestSupport::ReadFile(Dir.File("map0.mul"));
        // The preview marks the statics written, and its legend lists their colour.
        TMapPreviewForm *preview = form->GetPreviewForm();
        ASSERT_NE(preview, nullptr);
        EXPECT_NE(preview->LegendLabel->text().indexOf("statics"), -1);
        const QImage picture = preview->View->GetPicture();
        int orange = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                orange += picture.pixel(x, y) == PreviewColors::Statics;
        if (choice[0] == 'd') {
            const TStaticsReader statics(Dir.File("staidx0.mul"), Dir.File("statics0.mul"), {64, 64});
            int cells = 0;
            for (int y = 0; y < 64; ++y)
                for (int x = 0; x < 64; ++x)
                    cells += !statics.At(x, y).empty();
            EXPECT_EQ(orange, cells);
            EXPECT_GT(cells, 20);
        } else {
            EXPECT_EQ(orange, 0);
        }
        form->close();
    }
    Random::SetFixedSeed(std::nullopt);
    EXPECT_EQ(maps[0], maps[1]);
    EXPECT_EQ(std::filesystem::file_size(Dir.File("staidx0.mul")), 8u * 8u * 12u);
    EXPECT_GT(std::filesystem::file_size(Dir.File("statics0.mul")), 7u * 20u); // trees and waves
}
