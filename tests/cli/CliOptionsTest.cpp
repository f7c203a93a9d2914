// The options read together, in-process: which map a command line asks for,
// and which combinations are usage errors. Each option's own values are
// checked in CliArgumentsTest through the program.
#include "CliOptions.h"

#include <gtest/gtest.h>

#include <cctype>

namespace {

TCliParse Parse(std::vector<std::string> Arguments)
{
    Arguments.insert(Arguments.begin(), "morvane-cli");
    return ParseCliArguments(Arguments);
}

struct TMapCase
{
    const char *Name;
    std::vector<std::string> Arguments; // the picture is added
    TMapSize Size;
    TMapFormat Format;
    const char *MapPath;
    int MapNumber;
};

} // namespace

TEST(CliOptions, TheOptionsTogetherNameOneMap)
{
    constexpr TMapSize Wide{7168, 4096};
    const TMapFormat Mul = TMapFormat::Mul, Uop = TMapFormat::Uop;
    const TMapCase cases[] = {
        {"nothing given", {}, MapSizes::Classic, Mul, "map0.mul", 0},
        {"a MUL of map 0 stays classic", {"-o", "map0.mul"}, MapSizes::Classic, Mul, "map0.mul", 0},
        {"a facet names its file", {"--facet", "2"}, {2304, 1600}, Mul, "map2.mul", 2},
        {"a facet as UOP", {"--facet", "3", "--format", "uop"}, {2560, 2048}, Uop, "map3LegacyMUL.uop", 3},
        {"the facet and its own size", {"--facet", "4", "--size", "1448x1448"}, {1448, 1448}, Mul, "map4.mul", 4},
        {"UOP by name, map 0 is wide", {"-o", "map0LegacyMUL.uop"}, Wide, Uop, "map0LegacyMUL.uop", 0},
        {"UOP by name, map 1 is wide", {"-o", "/uo/MAP1LEGACYMUL.UOP"}, Wide, Uop, "/uo/MAP1LEGACYMUL.UOP", 1},
        {"UOP by format, default name", {"--format", "UOP"}, Wide, Uop, "map0LegacyMUL.uop", 0},
        {"UOP of map 0 at another size", {"-o", "map0LegacyMUL.uop", "--size", "1024x1024"}, {1024, 1024}, Uop,
         "map0LegacyMUL.uop", 0},
        {"UOP of map 2 keeps the classic default", {"-o", "map2LegacyMUL.uop"}, MapSizes::Classic, Uop,
         "map2LegacyMUL.uop", 2},
        {"a UOP without a number takes the facet's", {"-o", "custom.uop", "--facet", "5"}, {1280, 4096}, Uop,
         "custom.uop", 5},
        {"the format overrides the name", {"-o", "world.uop", "--format", "mul"}, MapSizes::Classic, Mul, "world.uop", 0},
        {"the whole number of the name", {"-o", "map0123.mul", "--statics"}, MapSizes::Classic, Mul, "map0123.mul", 123},
        {"the last of a repeated option", {"--size", "64x64", "--size", "128x64"}, {128, 64}, Mul, "map0.mul", 0},
    };
    for (const TMapCase &c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<std::string> arguments = c.Arguments;
        arguments.push_back("world.bmp");
        const TCliParse parse = Parse(arguments);
        ASSERT_EQ(parse.Kind, TCliParse::Run) << parse.Text;
        EXPECT_EQ(parse.Options.MapSize, c.Size);
        EXPECT_EQ(parse.Options.Format, c.Format);
        EXPECT_EQ(parse.Options.MapPath, c.MapPath);
        EXPECT_EQ(parse.Options.MapNumber, c.MapNumber);
        const TMapOutput output = MapOutputOf(parse.Options);
        EXPECT_EQ(output.MapNumber, c.MapNumber);
        EXPECT_EQ(output.Size, c.Size);
        EXPECT_EQ(parse.Options.ImagePath, "world.bmp");
    }
    EXPECT_EQ(StaticsIndexPath(MapOutputOf(Parse({"-o", "map0123.mul", "--statics", "w.bmp"}).Options)), "staidx123.mul");
}

TEST(CliOptions, CombinationsThatDoNotGoTogetherAreUsageErrors)
{
    const struct
    {
        const char *Name;
        std::vector<std::string> Arguments;
        const char *Message;
    } cases[] = {
        {"two different sizes", {"--facet", "0", "--size", "2304x1600", "w.bmp"},
         "--size 2304x1600 and --facet 0 (7168 x 4096) give two different sizes"},
        {"a facet against the name", {"--facet", "2", "-o", "map0.mul", "w.bmp"},
         "The map file map0.mul is map 0, but --facet says 2"},
        {"a UOP without a map number", {"-o", "custom.uop", "--size", "64x64", "w.bmp"},
         "The map file custom.uop carries no map number"},
        {"a UOP by format without a map number", {"-o", "world.map", "--format", "uop", "w.bmp"},
         "only under the name map<N>LegacyMUL.uop"},
        {"a classic UOP of map 0", {"-o", "map0LegacyMUL.uop", "--size", "6144x4096", "w.bmp"},
         "A UOP file of map 0 is read by clients as 7168 x 4096 cells"},
        {"a 6144-wide UOP of map 1", {"--format", "uop", "-o", "map1LegacyMUL.uop", "--size", "6144x2048", "w.bmp"},
         "so a 6144 x 2048 one would be misread"},
        {"a map number over 255", {"-o", "map256.mul", "w.bmp"}, "map256.mul names map 256; map numbers go from 0 to 255"},
        {"a map number over 255 as UOP", {"-o", "map1000LegacyMUL.uop", "w.bmp"}, "names map 1000"},
        {"a scale wider than the facet", {"--facet", "2", "--preview", "p.png", "--preview-scale", "2305", "w.bmp"},
         "from 1 to 2304 (the map's width)"},
        {"a scale wider than the size", {"--size", "64x64", "--preview", "p.png", "--preview-scale", "65", "w.bmp"},
         "from 1 to 64"},
        {"a scale without a preview", {"--preview-scale", "8", "w.bmp"}, "--preview-scale needs --preview FILE"},
        {"a preview too large for its size", {"--size", "65528x32768", "--preview", "p.png", "w.bmp"},
         "would be 65528 x 32768 pixels, more than a preview may have (16384 x 16384); give --preview-scale 3"},
        {"a cell without --info", {"--cell", "1,1", "w.bmp"}, "--cell goes with --info MAP"},
        {"an image with --info", {"--info", "map0.mul", "w.bmp"}, "--info reads a map file and takes no image"},
        {"no image", {"--facet", "1"}, "No image given"},
        {"two images", {"a.bmp", "b.bmp"}, "Only one image can be given; got 2"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        const TCliParse parse = Parse(c.Arguments);
        EXPECT_EQ(parse.Kind, TCliParse::UsageError);
        EXPECT_NE(parse.Text.find(c.Message), std::string::npos) << parse.Text;
        EXPECT_NE(parse.Text.find("--help"), std::string::npos) << parse.Text;
    }
}

// The size that one option allows decides what another may be, whichever of
// them comes first on the command line.
TEST(CliOptions, TheOrderOfTheOptionsDoesNotMatter)
{
    const std::vector<std::vector<std::string>> orders = {
        {"--preview-scale", "2304", "--preview", "p.png", "--facet", "2", "w.bmp"},
        {"--facet", "2", "--preview-scale", "2304", "w.bmp", "--preview", "p.png"},
        {"w.bmp", "--preview", "p.png", "--preview-scale", "2304", "--facet", "2"},
    };
    for (const auto &arguments : orders) {
        const TCliParse parse = Parse(arguments);
        ASSERT_EQ(parse.Kind, TCliParse::Run) << parse.Text;
        EXPECT_EQ(parse.Options.PreviewScale, 2304);
        EXPECT_EQ(parse.Options.MapSize, (TMapSize{2304, 1600}));
        EXPECT_EQ(parse.Options.PreviewPath, "p.png");
    }
}

TEST(CliOptions, MemoryBudgetAndCropReachTheLoadOptions)
{
    const TCliParse plain = Parse({"w.bmp"});
    ASSERT_EQ(plain.Kind, TCliParse::Run);
    EXPECT_EQ(plain.Options.Load.MemoryBudget, TLoadOptions().MemoryBudget);
    EXPECT_EQ(plain.Options.Load.CropWidth, 0u);
    EXPECT_EQ(DefaultMemoryBudgetMiB(), 4096u); // as the help and the README say

    const TCliParse raised = Parse({"--max-memory", "20000", "--crop", "--facet", "2", "w.bmp"});
    ASSERT_EQ(raised.Kind, TCliParse::Run) << raised.Text;
    EXPECT_EQ(raised.Options.Load.MemoryBudget, uint64_t(20000) << 20);
    EXPECT_EQ(raised.Options.Load.CropWidth, 2304u);
    EXPECT_EQ(raised.Options.Load.CropHeight, 1600u);

    for (const char *bad : {"0", "-5", "1.5", "16777217", "99999999999999999999", "lots"}) {
        SCOPED_TRACE(bad);
        const TCliParse parse = Parse({"--max-memory", bad, "w.bmp"});
        EXPECT_EQ(parse.Kind, TCliParse::UsageError);
        EXPECT_NE(parse.Text.find("The memory budget '" + std::string(bad) + "' is not a whole number of MiB"),
                  std::string::npos)
            << parse.Text;
    }
    EXPECT_EQ(Parse({"--max-memory", "16777216", "w.bmp"}).Kind, TCliParse::Run);

    const TCliParse help = Parse({"--help"});
    EXPECT_EQ(help.Kind, TCliParse::Help);
    // The help's lines are wrapped: compare with single blanks.
    std::string flat;
    for (const char c : help.Text)
        if (!std::isspace(static_cast<unsigned char>(c)) || (!flat.empty() && flat.back() != ' '))
            flat += std::isspace(static_cast<unsigned char>(c)) ? ' ' : c;
    for (const char *text : {"--max-memory MIB", "(default 4096)", "--crop", "The map then differs from the one made from the whole picture"})
        EXPECT_NE(flat.find(text), std::string::npos) << text << "\n" << help.Text;
}

TEST(CliOptions, InfoTakesItsOwnOptions)
{
    const TCliParse info = Parse({"--info", "x.uop", "--cell", "5/7", "--size", "64x64"});
    ASSERT_EQ(info.Kind, TCliParse::Info) << info.Text;
    EXPECT_EQ(info.Options.InfoPath, "x.uop");
    EXPECT_EQ(info.Options.InfoX, 5);
    EXPECT_EQ(info.Options.InfoY, 7);
    EXPECT_TRUE(info.Options.SizeGiven);
    EXPECT_EQ(info.Options.MapSize, (TMapSize{64, 64}));

    // --facet gives the size as --size does (map3 and map5 have the same
    // block count); options of a run are refused rather than ignored.
    const TCliParse facet = Parse({"--info", "map3.mul", "--facet", "5"});
    ASSERT_EQ(facet.Kind, TCliParse::Info) << facet.Text;
    EXPECT_TRUE(facet.Options.SizeGiven);
    EXPECT_EQ(facet.Options.MapSize, (TMapSize{1280, 4096}));
    for (const std::vector<std::string> &extra :
         {std::vector<std::string>{"-o", "z.bmp"}, {"--import", "x.mul"}, {"--preview", "p.png"}, {"--statics"},
          {"--heights-out", "h.png"}, {"-t", "Tiles.ini"}, {"--facet", "3", "--size", "2560x2048"}}) {
        std::vector<std::string> arguments{"--info", "x.mul"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        const TCliParse refused = Parse(arguments);
        EXPECT_EQ(refused.Kind, TCliParse::UsageError) << extra[0];
        EXPECT_NE(refused.Text.find(extra[0] == "--facet" ? "--size and --facet" : extra[0]), std::string::npos)
            << refused.Text;
    }
}
