// The window's "Map" menu: the map's size and the statics files, kept in the
// settings file, and what Generate writes with them.
#include "MapReader.h"
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
        EXPECT_EQ(form->WriteStatics1->isChecked(), c.Statics);
        EXPECT_EQ(form->GetMapOutput().Statics, c.Statics);
        form->close();
        EXPECT_EQ(ReadSetting("MapWidth"), std::to_string(c.Size.Width));
        EXPECT_EQ(ReadSetting("MapHeight"), std::to_string(c.Size.Height));
        EXPECT_EQ(ReadSetting("WriteStatics"), c.Statics ? "1" : "0");
    }

    // A choice in the menu is what the next start shows.
    WriteSettings("[Main]\n");
    auto form = MakeForm();
    form->findChild<QAction *>("MapSizeFacet21")->trigger();
    form->WriteStatics1->trigger();
    EXPECT_EQ(form->GetMapOutput().Size, (TMapSize{2304, 1600}));
    form->close();
    auto again = MakeForm();
    EXPECT_EQ(Checked(*again)->objectName().toStdString(), "MapSizeFacet21");
    EXPECT_TRUE(again->WriteStatics1->isChecked());

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
