// Painted heights on the command line: --heights-out writes the map's
// altitudes as grey (read back by the tests' own PNG reader), --heights takes
// them back, and the heights pictures that do not fit or cannot be read stop
// the run before anything is written.
#include "CliProcess.h"
#include "CliTestData.h"
#include "HeightsPicture.h"
#include "MapReader.h"
#include "PictureFiles.h"
#include "Pipeline.h"
#include "PlainPng.h"
#include "Random.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

using CliTestData::SameBytes;
using TestSupport::TTempDir;

namespace {

// The picture fills the map: its heights picture is the map's.
constexpr int Width = 64;
constexpr int Height = 48;
constexpr uint64_t Seed = 11;

class CliHeights : public ::testing::Test
{
protected:
    CliHeights() { CliTestData::SaveTerrainPatches(Picture, Width, Height); }

    CliProcess::TResult Run(const std::string &Map, std::vector<std::string> Extra = {})
    {
        std::vector<std::string> arguments = {"--seed", std::to_string(Seed), "--size", "64x48", "-q", "-o", Map};
        arguments.insert(arguments.end(), Extra.begin(), Extra.end());
        arguments.push_back(Picture);
        return CliProcess::RunCli(arguments);
    }

    // The model as the command line leaves it, with or without painted heights.
    std::unique_ptr<TTerrainImage> InProcess(const std::string &Heights = "")
    {
        Random::SetFixedSeed(Seed);
        auto model = std::make_unique<TTerrainImage>(TestSupport::BundledTilesPath());
        model->LoadFromBMP(Picture);
        if (!Heights.empty())
            model->LoadHeights(Heights);
        TestSupport::TRecordingProgressBar progress;
        TestSupport::TRecordingStatusBar status;
        Generate(*model, progress, status);
        Random::SetFixedSeed(std::nullopt);
        return model;
    }

    bool Exists(const std::string &name) const { return std::filesystem::exists(Dir.File(name)); }

    TTempDir Dir;
    const std::string Picture = Dir.File("world.bmp");
};

// The altitude a grey pixel of the tests' reader stands for; fails unless grey.
int AltitudeOf(uint32_t pixel)
{
    const int r = int(pixel >> 16 & 0xFF), g = int(pixel >> 8 & 0xFF), b = int(pixel & 0xFF);
    EXPECT_TRUE(r == g && g == b) << std::hex << pixel;
    return r - 128;
}

} // namespace

TEST_F(CliHeights, ExportedHeightsAreTheMapsAltitudesAndComeBackPainted)
{
    const auto plain = Run(Dir.File("plain.mul"));
    ASSERT_EQ(plain.ExitCode, 0) << plain.Err;
    const auto exported = Run(Dir.File("map.mul"), {"--heights-out", Dir.File("heights.png")});
    ASSERT_EQ(exported.ExitCode, 0) << exported.Err;
    std::string difference;
    EXPECT_TRUE(SameBytes(Dir.File("plain.mul"), Dir.File("map.mul"), &difference)) << difference;

    const auto model = InProcess();
    const PlainPng::TPicture png = PlainPng::Read(Dir.File("heights.png"));
    ASSERT_EQ(png.Width, Width);
    ASSERT_EQ(png.Height, Height);
    int low = 127, high = -128;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            const int altitude = AltitudeOf(png.Pixel(x, y));
            ASSERT_EQ(altitude, model->GetCell(x + 1, y + 1).Altitude) << x << "," << y;
            low = std::min(low, altitude);
            high = std::max(high, altitude);
        }
    EXPECT_LT(low, high) << "a picture of one grey would prove little";

    // Fed back: the map made over the painted heights keeps them.
    const auto again = Run(Dir.File("again.mul"), {"--heights", Dir.File("heights.png"), "--heights-out",
                                                   Dir.File("again.png")});
    ASSERT_EQ(again.ExitCode, 0) << again.Err;
    const PlainPng::TPicture back = PlainPng::Read(Dir.File("again.png"));
    const auto painted = InProcess(Dir.File("heights.png"));
    int land = 0, near = 0;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            EXPECT_EQ(AltitudeOf(back.Pixel(x, y)), painted->GetCell(x + 1, y + 1).Altitude);
            if (painted->GetFlag(x + 1, y + 1) == FLAG_FIXED) // water, coastline, the rings
                continue;
            ++land;
            near += std::abs(AltitudeOf(back.Pixel(x, y)) - AltitudeOf(png.Pixel(x, y))) <= 3;
        }
    // The painted heights change altitudes only: the tiles are drawn as without them.
    TMapReader first(Dir.File("plain.mul"), TMapSize{Width, Height});
    TMapReader second(Dir.File("again.mul"), TMapSize{Width, Height});
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            ASSERT_EQ(first.Cell(x, y).Tile, second.Cell(x, y).Tile) << x << "," << y;
    std::printf("heights round trip: %d of %d land cells (%.2f%%) within 3 steps\n", near, land, 100.0 * near / land);
    EXPECT_GT(land, Width * Height / 2);
    EXPECT_GE(double(near) / land, 0.95);
}

TEST_F(CliHeights, HeightsThatDoNotFitOrCannotBeReadStopTheRun)
{
    SaveHeightsPng(Width, Height + 1, [](int, int8_t *a) { std::fill(a, a + Width, int8_t(3)); },
                   Dir.File("tall.png"));
    // Grey values, but in a colour picture.
    TestSupport::WriteFile(Dir.File("colour.png"),
                           PictureFiles::MakePng(Width, Height, 2, 8,
                                                 std::vector<std::string>(Height, std::string(Width * 3, '\x80'))));
    TestSupport::WriteFile(Dir.File("broken.png"), std::string("\x89PNG\r\n\x1a\n", 8) + "no chunks");
    const struct
    {
        const char *Name;
        std::vector<std::string> Extra;
        int Status;
        std::string Message;
    } cases[] = {
        {"another size", {"--heights", Dir.File("tall.png")}, 1,
         "morvane-cli: the heights picture does not fit the picture: " + Dir.File("tall.png") +
             ": the heights picture is 64 x 49 pixels, but the terrain picture is 64 x 48; the two must be of one "
             "size\n"},
        {"not grey", {"--heights", Dir.File("colour.png")}, 2,
         "morvane-cli: cannot load the heights picture: " + Dir.File("colour.png") +
             ": the picture is not grey: its colour type is 2 (colour); a heights picture must be grey (colour "
             "type 0, or 4 with alpha)\n"},
        {"damaged", {"--heights", Dir.File("broken.png")}, 2, ""},
        {"missing", {"--heights", Dir.File("missing.png")}, 2, ""},
        {"the picture as heights out", {"--heights-out", Picture}, 1, ""},
        {"the heights as heights out", {"--heights", Dir.File("tall.png"), "--heights-out", Dir.File("tall.png")}, 1,
         ""},
        {"the map as heights out", {"--heights-out", Dir.File("map.mul")}, 1, ""},
        {"heights out not named .png", {"--heights-out", Dir.File("h.bmp")}, 1,
         "morvane-cli: --heights-out " + Dir.File("h.bmp") +
             ": the heights picture is written as a PNG; give a name ending in .png.\nTry 'morvane-cli --help' for "
             "more information.\n"},
        {"heights out in a missing folder", {"--heights-out", Dir.File("none/h.png")}, 4,
         "morvane-cli: cannot write the heights picture: " + Dir.File("none/h.png") + ": the folder " +
             Dir.File("none") + " does not exist\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        const auto result = Run(Dir.File("map.mul"), c.Extra);
        EXPECT_EQ(result.ExitCode, c.Status) << result.Err;
        if (!c.Message.empty())
            EXPECT_EQ(result.Err, c.Message);
        else
            EXPECT_NE(result.Err.find("heights"), std::string::npos) << result.Err;
        EXPECT_FALSE(Exists("map.mul"));
    }
    EXPECT_EQ(TestSupport::ListDir(Dir.Path()),
              (std::vector<std::string>{"broken.png", "colour.png", "tall.png", "world.bmp"}));
}
