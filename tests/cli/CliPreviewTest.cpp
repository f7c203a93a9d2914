// The preview picture and the void-tile report of the command line: the PNG
// is the picture of the map that the model gives in-process, full size or
// scaled; the report goes to standard error; neither changes the map file;
// a bad scale is a usage error; a preview that cannot be written has status 6.
#include "AltitudeRanges.h"
#include "CliProcess.h"
#include "CliTestData.h"
#include "MapPreview.h"
#include "Pipeline.h"
#include "PlainPng.h"
#include "Random.h"
#include "TestSupport.h"
#include "VoidReport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

using CliTestData::Lines;
using CliTestData::SameBytes;
using TestSupport::ReadFile;
using TestSupport::TTempDir;
using TestSupport::WriteFile;

namespace {

constexpr int PictureWidth = 40;
constexpr int PictureHeight = 30;
constexpr uint64_t Seed = 7;

// The bundled Tiles.ini without the sections named: their transitions get the void tile.
std::string TilesWithout(const std::vector<std::string> &Sections)
{
    std::string text = ReadFile(TestSupport::BundledTilesPath());
    for (const std::string &name : Sections) {
        const size_t start = text.find("[" + name + "]");
        if (start == std::string::npos)
            throw std::runtime_error("the bundled Tiles.ini has no [" + name + "]");
        const size_t end = text.find("\n[", start + 1);
        text.erase(start, end == std::string::npos ? std::string::npos : end + 1 - start);
    }
    return text;
}

// The model as the command line leaves it after the run with the same seed.
std::unique_ptr<TTerrainImage> GenerateInProcess(const std::string &Tiles, const std::string &Picture)
{
    Random::SetFixedSeed(Seed);
    auto model = std::make_unique<TTerrainImage>(Tiles);
    model->LoadFromBMP(Picture);
    TestSupport::TRecordingProgressBar progress;
    TestSupport::TRecordingStatusBar status;
    Generate(*model, progress, status);
    Random::SetFixedSeed(std::nullopt);
    return model;
}

// The PNG file read by the tests' own plain reader.
PlainPng::TPicture ReadPng(const std::string &Path)
{
    return PlainPng::Read(Path);
}

bool SamePicture(const PlainPng::TPicture &Png, const TPreviewPicture &Picture)
{
    return Png.Width == Picture.Width && Png.Height == Picture.Height && Png.Pixels == Picture.Pixels;
}

class CliPreview : public ::testing::Test
{
protected:
    CliPreview()
    {
        CliTestData::SaveTerrainPatches(Picture, PictureWidth, PictureHeight);
        // Dirt, grass and desert meet in the picture; two of their pairs lose their tiles.
        WriteFile(Tiles, TilesWithout({"TRANS_DIRT_GRASS", "TRANS_DESERT_GRASS"}));
    }

    // Runs with the seed, the tile configuration and the picture, writing Map.
    CliProcess::TResult Run(const std::string &Map, std::vector<std::string> Extra = {})
    {
        std::vector<std::string> arguments = {"--seed", std::to_string(Seed), "-t", Tiles, "-o", Map};
        arguments.insert(arguments.end(), Extra.begin(), Extra.end());
        arguments.push_back(Picture);
        return CliProcess::RunCli(arguments);
    }

    TTempDir Dir;
    const std::string Picture = Dir.File("world.bmp");
    const std::string Tiles = Dir.File("Tiles.ini");
};

} // namespace

TEST_F(CliPreview, PreviewAndReportLeaveTheMapFileAsItWouldBe)
{
    const auto plain = Run(Dir.File("plain.mul"));
    ASSERT_EQ(plain.ExitCode, 0) << plain.Err;
    const auto extras = Run(Dir.File("extras.mul"), {"--report", "--preview", Dir.File("p.png"), "--preview-scale", "8"});
    ASSERT_EQ(extras.ExitCode, 0) << extras.Err;

    std::string difference;
    EXPECT_TRUE(SameBytes(Dir.File("plain.mul"), Dir.File("extras.mul"), &difference)) << difference;
    EXPECT_EQ(extras.Out, plain.Out); // the warnings, unchanged

    const auto model = GenerateInProcess(Tiles, Picture);
    const TVoidReport report = MakeVoidReport(*model, MapSizes::Classic);
    ASSERT_FALSE(report.MissingTransitions.empty()) << "the picture should need the removed transitions";
    // Standard error holds the configuration problems (none here) and then the report.
    EXPECT_EQ(plain.Err, "");
    EXPECT_EQ(extras.Err, Lines(FormatVoidReport(report)) +
                              Lines(FormatAltitudeRanges(MakeAltitudeRanges(*model, MapSizes::Classic))));
    EXPECT_NE(extras.Err.find("    TRANS_DIRT_GRASS "), std::string::npos) << extras.Err;

    const PlainPng::TPicture png = ReadPng(Dir.File("p.png"));
    EXPECT_EQ(png.Width, 768);
    EXPECT_EQ(png.Height, 512);
    EXPECT_TRUE(SamePicture(png, RenderMapPreview(*model, MapSizes::Classic, 8)));
    // The cells without a transition tile make some blocks of the picture's
    // own 5 x 4 blocks magenta.
    int voidBlocks = 0;
    for (int y = 0; y < PictureHeight / 8; ++y)
        for (int x = 0; x < PictureWidth / 8; ++x)
            voidBlocks += png.Pixel(x, y) == PreviewColors::Void;
    EXPECT_GT(voidBlocks, 0);
}

TEST_F(CliPreview, TheFullPreviewHasOnePixelPerMapCell)
{
    const auto result = Run(Dir.File("map0.mul"), {"--preview", Dir.File("full.png")});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    const PlainPng::TPicture png = ReadPng(Dir.File("full.png"));
    EXPECT_EQ(png.Width, 6144);
    EXPECT_EQ(png.Height, 4096);
    const auto model = GenerateInProcess(Tiles, Picture);
    EXPECT_TRUE(SamePicture(png, RenderMapPreview(*model, MapSizes::Classic)));
    // No report without --report, and no temporary file left behind.
    EXPECT_EQ(result.Err, "");
    EXPECT_EQ(TestSupport::ListDir(Dir.Path()),
              (std::vector<std::string>{"Tiles.ini", "full.png", "map0.mul", "world.bmp"}));
}

TEST_F(CliPreview, PreviewAndReportCoverTheMapOfTheFacet)
{
    struct TCase
    {
        const char *Name;
        std::vector<std::string> Arguments;
        TMapSize Size;
        int Scale;
        const char *Map;
    };
    const TCase cases[] = {
        {"map1", {"--facet", "1"}, {7168, 4096}, 1, "world.map"},
        {"map1, one pixel for its whole width", {"--facet", "1", "--preview-scale", "7168"}, {7168, 4096}, 7168, "world.map"},
        {"map2", {"--facet", "2", "--preview-scale", "3"}, {2304, 1600}, 3, "world.map"},
        {"a size of its own", {"--size", "64x40", "--format", "uop"}, {64, 40}, 1, "map7LegacyMUL.uop"},
    };
    const auto model = GenerateInProcess(Tiles, Picture);
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<std::string> arguments = c.Arguments;
        arguments.insert(arguments.end(), {"--report", "--preview", Dir.File("p.png")});
        const auto result = Run(Dir.File(c.Map), arguments);
        ASSERT_EQ(result.ExitCode, 0) << result.Err;
        const PlainPng::TPicture png = ReadPng(Dir.File("p.png"));
        EXPECT_EQ(png.Width, (c.Size.Width + c.Scale - 1) / c.Scale);
        EXPECT_EQ(png.Height, (c.Size.Height + c.Scale - 1) / c.Scale);
        EXPECT_TRUE(SamePicture(png, RenderMapPreview(*model, c.Size, c.Scale)));
        // The last column is beyond the picture: magenta, in map1 too where it
        // is column 7167; at full size the first cell is the picture's.
        EXPECT_EQ(png.Pixel(png.Width - 1, 0), PreviewColors::Void);
        if (c.Scale == 1) {
            EXPECT_NE(png.Pixel(0, 0), PreviewColors::Void);
        }
        // The report counts the map's cells beyond the picture (40 x 30).
        const TVoidReport report = MakeVoidReport(*model, c.Size);
        EXPECT_EQ(result.Err, Lines(FormatVoidReport(report)) +
                                  Lines(FormatAltitudeRanges(MakeAltitudeRanges(*model, c.Size))));
        const uint64_t outside = c.Size.Cells() - uint64_t(std::min(c.Size.Width, PictureWidth)) *
                                                      uint64_t(std::min(c.Size.Height, PictureHeight));
        EXPECT_NE(result.Err.find("  outside the picture: " + std::to_string(outside) + " cells\n"), std::string::npos)
            << result.Err;
    }
}

TEST(CliReport, TheReportGivesTheAltitudesOfEachTerrain)
{
    TTempDir dir;
    // A lake of 16 x 16 cells: every cell is water at the configuration's
    // water altitude, -5 in the bundled file, -75 in that of version 0.5.
    TestSupport::SaveRedBmp(dir.File("lake.bmp"),
                            std::vector<std::vector<uint8_t>>(16, std::vector<uint8_t>(16, CliTestData::WaterRed)));
    struct TCase
    {
        const char *Name;
        std::string Tiles;
        const char *Water;
    };
    const TCase cases[] = {
        {"bundled", TestSupport::BundledTilesPath(), "  WATER: -5 to -5, 256 cells\n"},
        {"version 0.5", TestSupport::FrozenTilesPath(), "  WATER: -75 to -75, 256 cells\n"},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        const auto result = CliProcess::RunCli(
            {"-q", "--seed", "1", "-t", c.Tiles, "--size", "16x16", "--report", "-o", dir.File("map0.mul"), dir.File("lake.bmp")});
        ASSERT_EQ(result.ExitCode, 0) << result.Err;
        const std::string expected = std::string("Altitudes per terrain (lowest to highest):\n") + c.Water;
        ASSERT_GE(result.Err.size(), expected.size()) << result.Err;
        EXPECT_EQ(result.Err.substr(result.Err.size() - expected.size()), expected) << result.Err;
    }

    // Patches of dirt, grass and desert around a lake: a line per terrain
    // present, the transitions in one, water still at -5.
    CliTestData::SaveTerrainPatches(dir.File("world.bmp"), 128, 128);
    const auto result = CliProcess::RunCli(
        {"-q", "--seed", "5", "--size", "128x128", "--report", "-o", dir.File("map0.mul"), dir.File("world.bmp")});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    const size_t start = result.Err.find("Altitudes per terrain (lowest to highest):\n");
    ASSERT_NE(start, std::string::npos) << result.Err;
    uint64_t cells = 0;
    std::vector<std::string> names;
    for (size_t at = result.Err.find('\n', start) + 1; at < result.Err.size(); at = result.Err.find('\n', at) + 1) {
        char name[32] = {};
        int lowest = 0, highest = 0;
        unsigned long count = 0;
        ASSERT_EQ(std::sscanf(result.Err.c_str() + at, "  %31[A-Za-z]: %d to %d, %lu cell", name, &lowest, &highest,
                              &count),
                  4)
            << result.Err.substr(at);
        EXPECT_LE(lowest, highest) << name;
        EXPECT_GE(lowest, -128);
        EXPECT_LE(highest, 127);
        cells += count;
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"DIRT", "DESERT", "GRASS", "WATER", "COASTLINE", "transition"}));
    EXPECT_NE(result.Err.find("\n  WATER: -5 to -5, "), std::string::npos) << result.Err;
    // Every cell of the map is in one line: the picture has no void cells.
    EXPECT_EQ(cells, 128u * 128u);
}

TEST_F(CliPreview, ABadScaleIsAUsageError)
{
    struct TCase
    {
        const char *Name;
        std::vector<std::string> Arguments;
        const char *Message;
    };
    const std::string png = Dir.File("p.png");
    const TCase cases[] = {
        {"zero", {"--preview", png, "--preview-scale", "0"}, "The preview scale '0' is not"},
        {"negative", {"--preview", png, "--preview-scale", "-2"}, "The preview scale '-2' is not"},
        {"letters", {"--preview", png, "--preview-scale", "x8"}, "The preview scale 'x8' is not"},
        {"fraction", {"--preview", png, "--preview-scale", "1.5"}, "The preview scale '1.5' is not"},
        {"empty", {"--preview", png, "--preview-scale="}, "The preview scale '' is not"},
        {"wider than the map", {"--preview", png, "--preview-scale", "6145"}, "from 1 to 6144 (the map's width)"},
        {"wider than map2", {"--size", "2304x1600", "--preview", png, "--preview-scale", "2305"}, "from 1 to 2304"},
        {"too many pixels", {"--size", "65528x65528", "--preview", png}, "give --preview-scale 4 or more"},
        {"still too many", {"--size", "65528x65528", "--preview", png, "--preview-scale", "3"}, "21843 x 21843 pixels"},
        {"huge", {"--preview", png, "--preview-scale", "99999999999999999999"}, "is not a whole number"},
        {"scale without a preview", {"--preview-scale", "8"}, "--preview-scale needs --preview"},
        {"empty preview name", {"--preview", ""}, "The preview file name is empty"},
        {"preview without a value", {"--preview"}, "Missing value after '--preview'"},
    };
    WriteFile(Dir.File("map0.mul"), "an earlier map");
    const auto before = TestSupport::ListDir(Dir.Path());
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<std::string> arguments = {"-o", Dir.File("map0.mul")};
        if (std::string(c.Name) != "preview without a value")
            arguments.push_back(Picture);
        arguments.insert(arguments.end(), c.Arguments.begin(), c.Arguments.end());
        const auto result = CliProcess::RunCli(arguments);
        EXPECT_EQ(result.ExitCode, 1);
        EXPECT_NE(result.Err.find(c.Message), std::string::npos) << result.Err;
        EXPECT_EQ(ReadFile(Dir.File("map0.mul")), "an earlier map");
        EXPECT_EQ(TestSupport::ListDir(Dir.Path()), before);
    }
}

TEST_F(CliPreview, APreviewThatCannotBeWrittenIsFoundBeforeTheRun)
{
    // A missing folder, or a folder in the picture's place, is found before
    // anything runs (status 4): the old map stays.
    WriteFile(Dir.File("map0.mul"), "an earlier map");
    std::filesystem::create_directory(Dir.File("pictures"));
    const std::string lost = Dir.File("no/such/folder/p.png"), folder = Dir.File("pictures");
    for (const auto &[preview, problem] : {std::pair{lost, lost + ": the folder"}, std::pair{folder, folder + ": this is a folder"}}) {
        const auto early = Run(Dir.File("map0.mul"), {"--report", "--preview", preview});
        EXPECT_EQ(early.ExitCode, 4);
        EXPECT_NE(early.Err.find("cannot write the preview: " + problem), std::string::npos) << early.Err;
        EXPECT_EQ(early.Err.find("Void tiles: "), std::string::npos) << early.Err;
        EXPECT_EQ(early.Out, "");
        EXPECT_EQ(ReadFile(Dir.File("map0.mul")), "an earlier map");
    }
}

TEST(CliPreviewHelp, HelpNamesTheOptionsAndStatusSix)
{
    const auto result = CliProcess::RunCli({"--help"});
    EXPECT_EQ(result.ExitCode, 0);
    for (const char *text : {"--preview FILE", "--preview-scale N", "--report", "6 the preview picture", "#FF00FF"})
        EXPECT_NE(result.Out.find(text), std::string::npos) << text << "\n" << result.Out;
}
