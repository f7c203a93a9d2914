// The settings file and the progress bar adapter, without a window.
#include "IniFile.h"
#include "ProgressAdapters.h"
#include "Settings.h"
#include "TestSupport.h"

#include <QLabel>
#include <QProgressBar>

#include <gtest/gtest.h>

using TestSupport::ReadFile;
using TestSupport::TTempDir;
using TestSupport::WriteFile;

namespace {

struct TSettingsCase
{
    const char *Name;
    const char *FileText; // nullptr: no file at all
    TSettings Expected;
};

TEST(SettingsTest, ReadsKeysOrDefaults)
{
    const TSettingsCase cases[] = {
        {"no file", nullptr, {"map.bmp", "map0.mul", false}},
        {"empty file", "", {"map.bmp", "map0.mul", false}},
        {"other section", "[Other]\nBMPFileName=x.bmp\n", {"map.bmp", "map0.mul", false}},
        {"all keys", "[Main]\nBMPFileName=/w/world.bmp\nMAPFileName=/u/map0.mul\nLoadBMPOnStartup=1\n",
         {"/w/world.bmp", "/u/map0.mul", true}},
        {"names in any case, CRLF", "[main]\r\nbmpfilename=a b.bmp\r\nloadbmponstartup=0\r\n",
         {"a b.bmp", "map0.mul", false}},
        {"any number but 0 is true", "[Main]\nLoadBMPOnStartup=-7\n", {"map.bmp", "map0.mul", true}},
        {"not a number is the default", "[Main]\nLoadBMPOnStartup=yes\n", {"map.bmp", "map0.mul", false}},
        {"empty value is kept", "[Main]\nBMPFileName=\n", {"", "map0.mul", false}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        TTempDir dir;
        const std::string path = dir.File("morvane.ini");
        if (c.FileText)
            WriteFile(path, c.FileText);
        const TSettings read = ReadSettings(path);
        EXPECT_EQ(read.BMPFileName, c.Expected.BMPFileName);
        EXPECT_EQ(read.MAPFileName, c.Expected.MAPFileName);
        EXPECT_EQ(read.LoadBMPOnStartup, c.Expected.LoadBMPOnStartup);
    }
}

TEST(SettingsTest, WritesBooleansAsDigitsAndKeepsOtherEntries)
{
    TTempDir dir;
    const std::string path = dir.File("morvane.ini");
    WriteFile(path, "[Other]\nKeep=me\n[Main]\nLoadBMPOnStartup=1\n");
    ASSERT_TRUE(WriteSettings(path, {"b.bmp", "m.mul", false}));
    const TSettings read = ReadSettings(path);
    EXPECT_EQ(read.BMPFileName, "b.bmp");
    EXPECT_EQ(read.MAPFileName, "m.mul");
    EXPECT_FALSE(read.LoadBMPOnStartup);
    const std::string text = ReadFile(path);
    EXPECT_NE(text.find("Keep"), std::string::npos) << text;
    EXPECT_EQ(TIniFile(path).ReadString("Main", "LoadBMPOnStartup").value_or("?"), "0");

    ASSERT_TRUE(WriteSettings(path, {"b.bmp", "m.mul", true}));
    EXPECT_EQ(TIniFile(path).ReadString("Main", "LoadBMPOnStartup").value_or("?"), "1");
}

TEST(SettingsTest, UnwritableFileIsReported)
{
    TTempDir dir;
    EXPECT_FALSE(WriteSettings(dir.File("missing/morvane.ini"), {}));
}

TEST(SettingsTest, DefaultPathsAreNextToTheProgram)
{
    // The test program is app_tests: its settings file would be app_tests.ini.
    const std::string tiles = TestSupport::BundledTilesPath();
    const std::string folder = tiles.substr(0, tiles.size() - std::string("Tiles.ini").size());
    EXPECT_EQ(DefaultSettingsPath(), folder + "app_tests.ini");
    EXPECT_EQ(DefaultTilesPath(), tiles);
}

TEST(ProgressAdapterTest, KeepsThePositionWithinTheRange)
{
    QProgressBar bar;
    bar.reset(); // a fresh QProgressBar stands below its minimum
    TProgressBarAdapter progress(bar);
    EXPECT_EQ(progress.GetPosition(), 0);

    // The Generate stages: 0..9, stepped by reading and adding one.
    progress.SetMin(0);
    progress.SetMax(9);
    progress.SetPosition(0);
    for (int i = 0; i < 9; ++i)
        progress.SetPosition(progress.GetPosition() + 1);
    EXPECT_EQ(bar.value(), 9);
    progress.SetPosition(10);
    EXPECT_EQ(bar.value(), 9);
    progress.SetPosition(-3);
    EXPECT_EQ(bar.value(), 0);

    // Narrowing the range below the position moves the position along.
    progress.SetPosition(9);
    progress.SetMax(4);
    EXPECT_EQ(bar.maximum(), 4);
    EXPECT_EQ(progress.GetPosition(), 4);
    progress.SetMin(6);
    EXPECT_EQ(bar.minimum(), 6);
    EXPECT_EQ(bar.maximum(), 6);
    EXPECT_EQ(progress.GetPosition(), 6);

    // Then the writing: 0..767 from 1.
    progress.SetMin(0);
    progress.SetMax(767);
    progress.SetPosition(1);
    EXPECT_EQ(bar.value(), 1);
    EXPECT_EQ(bar.maximum(), 767);
}

TEST(ProgressAdapterTest, StatusTextGoesToTheLabel)
{
    QLabel label;
    TStatusBarAdapter status(label);
    status.SetSimpleText("Storing map0.mul");
    EXPECT_EQ(label.text().toStdString(), "Storing map0.mul");
    status.SetSimpleText("");
    EXPECT_TRUE(label.text().isEmpty());
}

} // namespace
