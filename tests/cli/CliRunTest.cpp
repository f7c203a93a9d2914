// Whole runs of the command line: the map file and the warnings are those
// that the model gives in-process for the same picture and seed; a seed
// repeats a map to the byte; progress only on a terminal; an interrupt while
// the file is written leaves the earlier map file as it was.
#include "CliProcess.h"
#include "CliTestData.h"
#include "MapWriter.h"
#include "Pipeline.h"
#include "Random.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

using CliTestData::Lines;
using CliTestData::SameBytes;
using TestSupport::TTempDir;

namespace {

// Small, so that each run is quick; the map file is full size all the same.
constexpr int PictureWidth = 40;
constexpr int PictureHeight = 30;

const char *const StageTexts[] = {
    "Generating a borderline on all terrain borders",
    "Checking if all borderline tiles have two terrain tiles as neighbour",
    "Transforming the borderline to correct border tiles",
    "Transforming the borderline near water to a coastline",
    "Fisnishing the tile calculations",
    "Calculating the height of the coastline",
    "Setting random heights on the map",
    "Smoothing the terrain height data",
    "Smoothing the mountain height data",
};

// What the window would do: the model with the bundled Tiles.ini, the image,
// the pipeline, the warnings and the map file, all with a fixed seed.
std::vector<std::string> GenerateInProcess(const std::string &picture, uint64_t seed, const std::string &mapFile)
{
    Random::SetFixedSeed(seed);
    TTerrainImage model(TestSupport::BundledTilesPath());
    model.LoadFromBMP(picture);
    TestSupport::TRecordingProgressBar progress;
    TestSupport::TRecordingStatusBar status;
    Generate(model, progress, status);
    std::vector<std::string> warnings = model.GetWarnings();
    WriteMapFile(model, mapFile);
    Random::SetFixedSeed(std::nullopt);
    return warnings;
}

uintmax_t FileSize(const std::string &path) { return std::filesystem::file_size(path); }

} // namespace

TEST(CliRun, WritesTheMapAndWarningsThatTheModelGives)
{
    TTempDir dir;
    const std::string picture = dir.File("world.bmp");
    CliTestData::SaveTerrainPatches(picture, PictureWidth, PictureHeight);
    const std::vector<std::string> warnings = GenerateInProcess(picture, 7, dir.File("expected.mul"));
    ASSERT_FALSE(warnings.empty()) << "the picture should give warnings, or this test compares nothing";

    const auto result = CliProcess::RunCli({"--seed", "7", "-o", dir.File("map0.mul"), picture});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Out, Lines(warnings));
    EXPECT_EQ(result.Err, ""); // not a terminal: no progress; the bundled Tiles.ini has no problems
    EXPECT_EQ(FileSize(dir.File("map0.mul")), uintmax_t(MapFile::FileBytes));
    std::string difference;
    EXPECT_TRUE(SameBytes(dir.File("map0.mul"), dir.File("expected.mul"), &difference)) << difference;
}

TEST(CliRun, TheSameSeedRepeatsTheFileAnotherSeedChangesIt)
{
    TTempDir dir;
    const std::string picture = dir.File("world.bmp");
    CliTestData::SaveTerrainPatches(picture, PictureWidth, PictureHeight);

    // On a terminal the stages and the writing are shown on standard error;
    // standard output still has the warnings only. The test makes a terminal
    // only on POSIX (a pseudo-terminal).
#ifdef _WIN32
    const auto terminal = [](CliProcess::TOptions Options) { return Options; };
#else
    const auto terminal = [](CliProcess::TOptions Options) { return Options.OnTerminal(); };
#endif
    const auto first = CliProcess::RunCli({"-s", "11", "-o", dir.File("first.mul"), picture}, terminal({}));
    ASSERT_EQ(first.ExitCode, 0) << first.Err;
#ifndef _WIN32
    for (const char *text : StageTexts)
        EXPECT_NE(first.Err.find(text), std::string::npos) << text;
    EXPECT_NE(first.Err.find("Storing map0.mul"), std::string::npos);
    EXPECT_NE(first.Err.find("100%"), std::string::npos);
#endif
    EXPECT_EQ(first.Out.find("Generating"), std::string::npos);

    // --quiet on a terminal: nothing on standard error. Without -o the file is
    // map0.mul in the current folder.
    const auto again = CliProcess::RunCli({"-q", "-s", "11", picture}, terminal(CliProcess::TOptions().In(dir.Path())));
    ASSERT_EQ(again.ExitCode, 0) << again.Err;
    EXPECT_EQ(again.Err, "");
    EXPECT_EQ(again.Out, first.Out);
    std::string difference;
    EXPECT_TRUE(SameBytes(dir.File("map0.mul"), dir.File("first.mul"), &difference)) << difference;

    const auto other = CliProcess::RunCli({"--seed", "12", "-o", dir.File("other.mul"), picture});
    ASSERT_EQ(other.ExitCode, 0) << other.Err;
    EXPECT_EQ(FileSize(dir.File("other.mul")), uintmax_t(MapFile::FileBytes));
    EXPECT_FALSE(SameBytes(dir.File("other.mul"), dir.File("first.mul")));
}

// Without Tiles.ini next to the executable there is no tile to write: the run
// is refused, naming the file, and nothing is written.
TEST(CliRun, MissingDefaultTilesIsRefused)
{
    TTempDir dir;
    const std::string executable = dir.File("morvane-cli");
    std::filesystem::copy_file(CliProcess::CliExecutable(), executable);
    std::filesystem::permissions(executable, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
    TestSupport::SaveRedBmp(dir.File("world.bmp"), {{40, 40, 100}, {40, 100, 100}});

    const auto result = CliProcess::RunCli({"-s", "1", "-o", dir.File("map0.mul"), dir.File("world.bmp")}, CliProcess::TOptions().Program(executable));
    EXPECT_EQ(result.ExitCode, 3) << result.Err;
    // Named as the system spells the program's folder (with "\\" on Windows).
    const std::string tiles = std::filesystem::path(dir.File("Tiles.ini")).make_preferred().string();
    EXPECT_NE(result.Err.find(tiles + ": the tile configuration file is missing"), std::string::npos)
        << result.Err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("map0.mul")));
}

// Values read as no tile or as the default make the same map as before, with
// a line on standard error for each that names the file, section and key.
TEST(CliRun, ConfigurationValuesReadAsDefaultsAreWarnedAbout)
{
    TTempDir dir;
    const std::string tiles = dir.File("Tiles.ini");
    std::string text = TestSupport::ReadFile(TestSupport::BundledTilesPath());
    for (const auto &[from, to] : {std::pair<std::string, std::string>{"\nWATER=30\n", "\nWATER=forty\n"},
                                   {"[TRANS_DIRT_MOUNTAIN]\nN=0x00DF\n", "[TRANS_DIRT_MOUNTAIN]\nN=0x00DFh\n"}}) {
        ASSERT_NE(text.find(from), std::string::npos) << from;
        text.replace(text.find(from), from.size(), to);
    }
    TestSupport::WriteFile(tiles, text);
    TestSupport::SaveRedBmp(dir.File("world.bmp"), {{40, 40, 100}, {40, 100, 100}});
    const auto result = CliProcess::RunCli({"-s", "1", "-t", tiles, "-o", dir.File("map0.mul"), dir.File("world.bmp")});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_NE(result.Err.find(tiles + ": [ColorTileCodeMatch] WATER='forty' is not a number; the default 30 is used\n"),
              std::string::npos)
        << result.Err;
    EXPECT_NE(result.Err.find(tiles + ": [TRANS_DIRT_MOUNTAIN] N='0x00DFh' is not a tile number; no tile is used\n"),
              std::string::npos)
        << result.Err;
    EXPECT_EQ(FileSize(dir.File("map0.mul")), uintmax_t(MapFile::FileBytes));
}

// The test's process starter interrupts a child only on POSIX; on Windows it
// can only end it.
#ifndef _WIN32
// The child is held while it prints its warnings into a small pipe that the
// test does not read yet: by then the pipeline is done and the writing is
// next, so the interrupt arrives before the file can be finished.
TEST(CliRun, InterruptDuringTheWritingLeavesTheEarlierMapFile)
{
    TTempDir dir;
    const std::string picture = dir.File("world.bmp");
    CliTestData::SaveTerrainPatches(picture, 2 * PictureWidth, 2 * PictureHeight);
    TestSupport::WriteFile(dir.File("map0.mul"), "an earlier map");
    const auto before = TestSupport::ListDir(dir.Path());

    constexpr int PipeSize = 4096; // one page, the smallest pipe
    CliProcess::TChild child({"-s", "5", "-o", dir.File("map0.mul"), picture}, CliProcess::TOptions().PipeSize(PipeSize));
    child.WaitForOutput();
    child.Kill(SIGINT);
    const auto result = child.Wait();

    ASSERT_GT(result.Out.size(), size_t(4 * PipeSize)) << "too few warnings to hold the child back";
    EXPECT_EQ(result.Signal, SIGINT) << "exit status " << result.ExitCode << "\n" << result.Err;
    EXPECT_NE(result.Err.find("interrupted; " + dir.File("map0.mul") + " was left as it was"), std::string::npos)
        << result.Err;
    EXPECT_EQ(TestSupport::ReadFile(dir.File("map0.mul")), "an earlier map");
    EXPECT_EQ(TestSupport::ListDir(dir.Path()), before);
}

// A second interrupt does not wait for the command to stop: the process ends
// at once, and the earlier map file is still whole.
TEST(CliRun, ASecondInterruptEndsTheRunAtOnce)
{
    TTempDir dir;
    const std::string picture = dir.File("world.bmp");
    CliTestData::SaveTerrainPatches(picture, 2 * PictureWidth, 2 * PictureHeight);
    TestSupport::WriteFile(dir.File("map0.mul"), "an earlier map");

    CliProcess::TChild child({"-s", "5", "-o", dir.File("map0.mul"), picture}, CliProcess::TOptions().PipeSize(4096));
    child.WaitForOutput(); // held while it prints its warnings
    // Two different signals, since a second one of the same kind may merge
    // with the first before it is handled.
    child.Kill(SIGINT);
    child.Kill(SIGTERM);
    const auto result = child.Wait();

    EXPECT_TRUE(result.Signal == SIGINT || result.Signal == SIGTERM)
        << "exit status " << result.ExitCode << "\n" << result.Err;
    EXPECT_EQ(result.Err.find("interrupted;"), std::string::npos) << result.Err;
    EXPECT_EQ(TestSupport::ReadFile(dir.File("map0.mul")), "an earlier map");
}
#endif
