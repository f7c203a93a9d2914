// The command line's arguments: usage errors stop before anything is read or
// written, with status 1; help and version print to standard output.
#include "CliProcess.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using TestSupport::ReadFile;
using TestSupport::TTempDir;

namespace {

struct TUsageCase
{
    const char *Name;
    std::vector<std::string> Arguments; // "OUT" stands for an existing map file, "IMAGE" for a picture
    const char *Message;                // a part of what standard error must say
};

std::vector<std::string> Substitute(std::vector<std::string> arguments, const TTempDir &dir)
{
    for (std::string &argument : arguments) {
        if (argument == "OUT")
            argument = dir.File("map0.mul");
        else if (argument == "IMAGE")
            argument = dir.File("world.bmp");
    }
    return arguments;
}

} // namespace

TEST(CliArguments, UsageErrorsExitWithOneAndTouchNothing)
{
    const TUsageCase cases[] = {
        {"no arguments", {}, "No image given"},
        {"only options", {"-o", "OUT", "--seed", "3"}, "No image given"},
        {"unknown long option", {"--bogus", "IMAGE"}, "Unknown option 'bogus'"},
        {"unknown short option", {"-x", "IMAGE"}, "Unknown option 'x'"},
        {"two images", {"-o", "OUT", "IMAGE", "IMAGE"}, "Only one image"},
        {"output without a value", {"IMAGE", "-o"}, "Missing value after '-o'"},
        {"empty output name", {"-o", "", "IMAGE"}, "map file name is empty"},
        {"empty tiles name", {"-t", "", "-o", "OUT", "IMAGE"}, "tile configuration name is empty"},
        {"seed with letters", {"--seed", "12a", "-o", "OUT", "IMAGE"}, "The seed '12a' is not"},
        {"negative seed", {"-s", "-1", "-o", "OUT", "IMAGE"}, "The seed '-1' is not"},
        {"seed with plus sign", {"-s", "+5", "-o", "OUT", "IMAGE"}, "The seed '+5' is not"},
        {"seed with blank", {"-s", " 5", "-o", "OUT", "IMAGE"}, "The seed ' 5' is not"},
        {"hexadecimal seed", {"-s", "0x10", "-o", "OUT", "IMAGE"}, "The seed '0x10' is not"},
        {"fractional seed", {"-s", "1.5", "-o", "OUT", "IMAGE"}, "The seed '1.5' is not"},
        {"empty seed", {"--seed=", "-o", "OUT", "IMAGE"}, "The seed '' is not"},
        {"seed of 2^64", {"-s", "18446744073709551616", "-o", "OUT", "IMAGE"}, "The seed '18446744073709551616' is not"},
        {"image named -", {"-o", "OUT", "-"}, "The image cannot be read from standard input"},
        {"two different sizes", {"--facet", "0", "--size", "2304x1600", "-o", "OUT", "IMAGE"}, "two different sizes"},
        {"a UOP without a map number", {"-o", "x.uop", "--size", "64x64", "IMAGE"}, "give --facet N"},
        {"a classic UOP of map 1", {"--facet", "1", "--format", "uop", "--size", "6144x4096", "IMAGE"},
         "two different sizes"},
        {"a map number over 255", {"-o", "map300.mul", "--statics", "IMAGE"}, "map numbers go from 0 to 255"},
        {"a memory budget of none", {"--max-memory", "0", "-o", "OUT", "IMAGE"}, "The memory budget '0' is not"},
        {"empty memory budget", {"--max-memory=", "-o", "OUT", "IMAGE"}, "The memory budget '' is not"},
    };
    TTempDir dir;
    const std::string oldMap = "an earlier map";
    TestSupport::WriteFile(dir.File("map0.mul"), oldMap);
    TestSupport::SaveRedBmp(dir.File("world.bmp"), {{40, 40}, {40, 100}});
    const auto before = TestSupport::ListDir(dir.Path());

    for (const TUsageCase &c : cases) {
        SCOPED_TRACE(c.Name);
        const auto result = CliProcess::RunCli(Substitute(c.Arguments, dir), CliProcess::TOptions().In(dir.Path()));
        EXPECT_EQ(result.ExitCode, 1);
        EXPECT_NE(result.Err.find(c.Message), std::string::npos) << result.Err;
        EXPECT_NE(result.Err.find("--help"), std::string::npos) << result.Err;
        EXPECT_EQ(result.Out, "");
        EXPECT_EQ(ReadFile(dir.File("map0.mul")), oldMap);
        EXPECT_EQ(TestSupport::ListDir(dir.Path()), before);
    }
}

// The largest and smallest seeds are accepted: the run goes on to the image,
// which is missing, so the status is that of an image failure, not of usage.
TEST(CliArguments, SeedsAtTheEndsOfTheRangeAreAccepted)
{
    TTempDir dir;
    for (const char *seed : {"0", "18446744073709551615", "00042"}) {
        SCOPED_TRACE(seed);
        const auto result = CliProcess::RunCli({"--seed", seed, "-o", dir.File("map0.mul"), dir.File("missing.bmp")});
        EXPECT_EQ(result.ExitCode, 2) << result.Err;
    }
}

TEST(CliArguments, HelpAndVersionPrintToStandardOutput)
{
    for (const char *option : {"-h", "--help"}) {
        SCOPED_TRACE(option);
        const auto result = CliProcess::RunCli({option});
        EXPECT_EQ(result.ExitCode, 0);
        EXPECT_EQ(result.Err, "");
        for (const char *text : {"IMAGE", "--output", "--tiles", "--seed", "--quiet", "--version", "--max-memory",
                                 "--crop", "map<N>LegacyMUL.uop"})
            EXPECT_NE(result.Out.find(text), std::string::npos) << text;
    }
    const auto version = CliProcess::RunCli({"--version"});
    EXPECT_EQ(version.ExitCode, 0);
    EXPECT_EQ(version.Err, "");
    EXPECT_TRUE(version.Out.starts_with("morvane-cli ")) << version.Out;
    EXPECT_GT(version.Out.size(), std::string("morvane-cli \n").size());
}
