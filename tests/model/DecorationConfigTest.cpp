// The decoration sections of the tile configuration: what a section gives, and
// the errors that stop with the file, the section and the key named.
#include "ClassTerrainImage.h"
#include "DecorationConfig.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

TDecorationConfig Read(const TTempDir &Dir, const std::string &Text)
{
    const std::string path = Dir.File("Tiles.ini");
    WriteFile(path, Text);
    return ReadDecorationConfig(path);
}

std::vector<uint16_t> Ids(const TDecorationPart &Part)
{
    std::vector<uint16_t> ids;
    for (uint32_t i = 0; i < Part.Count; ++i)
        ids.push_back(Part.Id(i));
    return ids;
}

} // namespace

TEST(DecorationConfig, ReadsDensitySpacingAndGroups)
{
    TTempDir dir;
    const TDecorationConfig config = Read(dir, "[DECORATION_FOREST]\n"
                                               "Density=12.5\n"
                                               "spacing=3\n"
                                               "oak=8: 0xCDA + 0xCDB,0xCDC\n"
                                               "log = 1 : 0xCF3..0xCF5 10\n"
                                               "[decoration_desert]\n"
                                               "Density=0.05%\n"
                                               "cactus=2:0xD25\n");
    const TTerrainDecoration &forest = config.Terrains[FOREST];
    EXPECT_EQ(forest.Density, 1250u);
    EXPECT_EQ(forest.Spacing, 3u);
    EXPECT_EQ(forest.TotalWeight, 9u);
    ASSERT_EQ(forest.Groups.size(), 2u);
    EXPECT_EQ(forest.Groups[0].Name, "oak");
    EXPECT_EQ(forest.Groups[0].Weight, 8u);
    ASSERT_EQ(forest.Groups[0].Parts.size(), 2u);
    EXPECT_EQ(Ids(forest.Groups[0].Parts[0]), (std::vector<uint16_t>{0xCDA}));
    EXPECT_EQ(Ids(forest.Groups[0].Parts[1]), (std::vector<uint16_t>{0xCDB, 0xCDC}));
    ASSERT_EQ(forest.Groups[1].Parts.size(), 1u);
    EXPECT_EQ(Ids(forest.Groups[1].Parts[0]), (std::vector<uint16_t>{0xCF3, 0xCF4, 0xCF5, 10}));

    const TTerrainDecoration &desert = config.Terrains[DESERT];
    EXPECT_EQ(desert.Density, 5u);
    EXPECT_EQ(desert.Spacing, 1u);
    EXPECT_TRUE(desert.Places());
    EXPECT_FALSE(config.Terrains[GRASS].Places());
    EXPECT_TRUE(config.HasDecoration());
}

TEST(DecorationConfig, NoSectionsDecorateNothing)
{
    TTempDir dir;
    EXPECT_FALSE(Read(dir, "[GRASS]\n3=\n").HasDecoration());
    EXPECT_FALSE(Read(dir, "[DECORATION_GRASS]\nDensity=0\n").HasDecoration());
    EXPECT_FALSE(ReadDecorationConfig(dir.File("missing.ini")).HasDecoration());
}

TEST(DecorationConfig, DensityAsWritten)
{
    const std::pair<const char *, uint32_t> cases[] = {
        {"0", 0}, {"100", 10000}, {"100.00", 10000}, {"7.5", 750}, {"7.05", 705}, {" 30 % ", 3000}, {"0.01", 1},
    };
    TTempDir dir;
    for (const auto &[text, expected] : cases) {
        const TDecorationConfig config =
            Read(dir, std::string("[DECORATION_GRASS]\nDensity=") + text + "\ng=1: 3\n");
        EXPECT_EQ(config.Terrains[GRASS].Density, expected) << text;
    }
}

// Each broken line stops the load; the message names the file, the section,
// the key and what is wrong.
TEST(DecorationConfig, ErrorsNameFileSectionAndKey)
{
    struct TCase
    {
        const char *Lines;
        const char *Key;
        const char *Problem;
    };
    const TCase cases[] = {
        {"Density=101\ng=1: 3", "Density", "more than 100 percent"},
        {"Density=-1\ng=1: 3", "Density", "not a percentage"},
        {"Density=1.234\ng=1: 3", "Density", "not a percentage"},
        {"Density=ten\ng=1: 3", "Density", "not a percentage"},
        {"Density=5.\ng=1: 3", "Density", "not a percentage"},
        {"Density=5\nSpacing=0\ng=1: 3", "Spacing", "not a spacing"},
        {"Density=5\nSpacing=17\ng=1: 3", "Spacing", "not a spacing"},
        {"Density=5\nbush=0x10", "bush", "not a group"},
        {"Density=5\nbush=0: 3", "bush", "the weight '0'"},
        {"Density=5\nbush=x: 3", "bush", "the weight 'x'"},
        {"Density=5\nbush=1000001: 3", "bush", "the weight"},
        {"Density=5\nbush=1: 0x10000", "bush", "'0x10000' is not a static's id"},
        {"Density=5\nbush=1: -1", "bush", "'-1' is not a static's id"},
        {"Density=5\nbush=1: 9..3", "bush", "the range '9..3' ends before it starts"},
        {"Density=5\nbush=1: 3..", "bush", "'' is not a static's id"},
        {"Density=5\nbush=1: 3 + ", "bush", "names no id"},
        {"Density=5\nbush=1:", "bush", "names no id"},
        {"Density=5\nbush=1: 1+2+3+4+5+6+7+8+9", "bush", "at most 8 parts"},
        {"Density=5\nbush=1: 3\nbush=1: 4", "bush", "given twice"},
        {"g=1: 3", "Density", "no Density"},
        {"Density=5", "Density", "no group"},
    };
    for (const TCase &c : cases) {
        TTempDir dir;
        const std::string path = dir.File("Tiles.ini");
        WriteFile(path, std::string("[GRASS]\n3=\n[DECORATION_SWAMP]\n") + c.Lines + "\n");
        try {
            ReadDecorationConfig(path);
            ADD_FAILURE() << c.Lines << ": no error";
        } catch (const EConvertError &error) {
            const std::string message = error.what();
            EXPECT_EQ(error.FileName, path) << c.Lines;
            EXPECT_NE(message.find(std::string("[DECORATION_SWAMP] ") + c.Key + ":"), std::string::npos)
                << c.Lines << ": " << message;
            EXPECT_NE(message.find(c.Problem), std::string::npos) << c.Lines << ": " << message;
        }
    }
}

TEST(DecorationConfig, WeightsThatOverflowStop)
{
    std::string text = "[DECORATION_DIRT]\nDensity=1\n";
    for (int i = 0; i < 4300; ++i)
        text += "g" + std::to_string(i) + "=1000000: 5\n";
    TTempDir dir;
    EXPECT_THROW(Read(dir, text), EConvertError);
}

// A range of every id costs no memory per id: the ids are counted, not listed.
TEST(DecorationConfig, WideRangesAreCountedNotListed)
{
    TTempDir dir;
    const TDecorationConfig config = Read(dir, "[DECORATION_DIRT]\nDensity=1\nall=1: 0..65535 + 0..65535\n");
    const TDecorationPart &part = config.Terrains[DIRT].Groups[0].Parts[1];
    EXPECT_EQ(part.Count, 65536u);
    EXPECT_EQ(part.Ranges.size(), 1u);
    EXPECT_EQ(part.Id(65535), 65535);
}
