#include "TestSupport.h"
#include "WorldImage.h"
#include "WorldPainter.h"

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace TestSupport;

namespace {

struct TRun
{
    int ExitCode = -1;
    std::string Out;
    std::string Err;
};

// Runs morvane-world with the arguments and waits for it.
TRun RunWorld(const std::vector<std::string> &arguments)
{
    QStringList list;
    for (const std::string &argument : arguments)
        list << QString::fromStdString(argument);
    QProcess process;
    process.start(MORVANE_WORLD_EXE, list);
    TRun run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.ExitCode = process.exitCode();
    run.Out = process.readAllStandardOutput().toStdString();
    run.Err = process.readAllStandardError().toStdString();
    return run;
}

TEST(WorldCommand, WritesTheWorldOfTheGivenSizeAndSeed)
{
    TTempDir dir;
    const TRun run = RunWorld({"--width", "64", "--height", "47", "--seed", "5", dir.File("world.bmp")});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    SaveWorldBmp(PaintWorld(64, 47, 5), dir.File("expected.bmp"));
    EXPECT_EQ(ReadFile(dir.File("world.bmp")), ReadFile(dir.File("expected.bmp")));
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"expected.bmp", "world.bmp"}));
}

TEST(WorldCommand, TakesTheWholeRangeOfSeeds)
{
    TTempDir dir;
    const TRun run = RunWorld({"--seed", "18446744073709551615", "--width", "20", "--height", "10",
                               dir.File("world.bmp")});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    SaveWorldBmp(PaintWorld(20, 10, 18446744073709551615ULL), dir.File("expected.bmp"));
    EXPECT_EQ(ReadFile(dir.File("world.bmp")), ReadFile(dir.File("expected.bmp")));
}

TEST(WorldCommand, HelpNamesTheOptionsAndTheirDefaults)
{
    const TRun run = RunWorld({"--help"});
    EXPECT_EQ(run.ExitCode, 0);
    for (const char *text : {"--width", "--height", "--seed", "OUTPUT.bmp", "6144", "4096"})
        EXPECT_NE(run.Out.find(text), std::string::npos) << text;
}

TEST(WorldCommand, BadArgumentsGiveAUsageErrorAndNoFile)
{
    TTempDir dir;
    const std::string out = dir.File("world.bmp");
    const std::vector<std::vector<std::string>> cases = {
        {},                                          // no output
        {out, dir.File("other.bmp")},                // two outputs
        {"--width", "0", out},                       // sides are 1 to 65535
        {"--width", "65536", out},
        {"--height", "-3", out},
        {"--height", "12x", out},
        {"--width", "", out},
        {"--seed", "-1", out},                       // seeds are 0 to 2^64 - 1
        {"--seed", "18446744073709551616", out},
        {"--seed", "one", out},
        {"--bogus", out},                            // no such option
        {out, "--width"},                            // an option without its value
    };
    for (const auto &arguments : cases) {
        std::string shown;
        for (const std::string &argument : arguments)
            shown += "[" + argument + "] ";
        SCOPED_TRACE(shown);
        const TRun run = RunWorld(arguments);
        EXPECT_EQ(run.ExitCode, 2);
        EXPECT_NE(run.Err.find("morvane-world: "), std::string::npos) << run.Err;
        EXPECT_NE(run.Err.find("Usage:"), std::string::npos) << run.Err;
        EXPECT_TRUE(ListDir(dir.Path()).empty());
    }
}

TEST(WorldCommand, UnwritableOutputNamesTheFileAndLeavesNothing)
{
    TTempDir dir;
    std::filesystem::create_directory(dir.File("folder"));
    const std::string paths[] = {dir.File("missing/world.bmp"), dir.File("folder")};
    for (const std::string &path : paths) {
        SCOPED_TRACE(path);
        const TRun run = RunWorld({"--width", "32", "--height", "32", path});
        EXPECT_EQ(run.ExitCode, 1);
        EXPECT_NE(run.Err.find(path), std::string::npos) << run.Err;
        EXPECT_EQ(ListDir(dir.Path()), std::vector<std::string>{"folder"});
        EXPECT_TRUE(ListDir(dir.File("folder")).empty());
    }
}

} // namespace
