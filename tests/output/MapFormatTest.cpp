#include "MapFormat.h"

#include <gtest/gtest.h>

#include <limits>

TEST(MapFormat, SizesAreReadAsWxHWithSidesInBlocksOfEight)
{
    const struct
    {
        const char *Text;
        std::optional<TMapSize> Size;
    } cases[] = {
        {"6144x4096", TMapSize{6144, 4096}},
        {"7168X4096", TMapSize{7168, 4096}},
        {"8x8", TMapSize{8, 8}},
        {"65528x65528", TMapSize{65528, 65528}},
        {"1448x1448", TMapSize{1448, 1448}},
        {"65536x8", std::nullopt},  // beyond what a picture can cover
        {"6145x4096", std::nullopt}, // not a whole number of blocks
        {"0x8", std::nullopt},
        {"6144", std::nullopt},
        {"6144 x 4096", std::nullopt},
        {"-8x8", std::nullopt},
        {"x", std::nullopt},
        {"99999999999x8", std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ParseMapSize(c.Text), c.Size) << c.Text;
}

TEST(MapFormat, FacetsHaveTheSizesOfCurrentClients)
{
    EXPECT_EQ(FacetSize(0), (TMapSize{7168, 4096}));
    EXPECT_EQ(FacetSize(1), (TMapSize{7168, 4096}));
    EXPECT_EQ(FacetSize(2), (TMapSize{2304, 1600}));
    EXPECT_EQ(FacetSize(3), (TMapSize{2560, 2048}));
    EXPECT_EQ(FacetSize(4), (TMapSize{1448, 1448}));
    EXPECT_EQ(FacetSize(5), (TMapSize{1280, 4096}));
    EXPECT_EQ(FacetSize(6), std::nullopt);
    EXPECT_EQ(FacetSize(-1), std::nullopt);
    EXPECT_EQ(FacetsOfSize({7168, 4096}), (std::vector<int>{0, 1}));
    EXPECT_TRUE(FacetsOfSize(MapSizes::Classic).empty());
    // The classic map's numbers, as the MUL file has them.
    EXPECT_EQ(MapSizes::Classic.BlockBytes(), 77070336u);
    EXPECT_EQ(MapSizes::Classic.ColumnBytes(), 100352u);
    EXPECT_EQ(TMapSize({1448, 1448}).Blocks(), 181u * 181u);
}

TEST(MapFormat, NamesGiveFormatAndFacetNumber)
{
    EXPECT_EQ(FormatForName("map0LegacyMUL.uop"), TMapFormat::Uop);
    EXPECT_EQ(FormatForName("/maps/MAP2LEGACYMUL.UOP"), TMapFormat::Uop);
    EXPECT_EQ(FormatForName("map0.mul"), TMapFormat::Mul);
    EXPECT_EQ(FormatForName("uop"), TMapFormat::Mul);
    EXPECT_EQ(MapNumberOfName("map2LegacyMUL.uop"), 2);
    EXPECT_EQ(MapNumberOfName("/data/uo/MAP5.mul"), 5);
    EXPECT_EQ(MapNumberOfName("/data/map7/world.mul"), std::nullopt);
    EXPECT_EQ(MapNumberOfName("mymap0.mul"), std::nullopt);

    const TMapOutput output =
        TMapOutput::ForFile("/uo/map3LegacyMUL.uop", {2560, 2048}, TStaticsChoice::Empty);
    EXPECT_EQ(output.Format, TMapFormat::Uop);
    EXPECT_EQ(output.MapNumber, 3);
    EXPECT_EQ(MapOutputPaths(output),
              (std::vector<std::string>{"/uo/map3LegacyMUL.uop", "/uo/staidx3.mul", "/uo/statics3.mul"}));
    EXPECT_EQ(MapOutputPaths(TMapOutput::ForFile("world.mul")), (std::vector<std::string>{"world.mul"}));
    EXPECT_EQ(MapOutputPaths(TMapOutput::ForFile("world.mul", MapSizes::Classic, TStaticsChoice::Empty)),
              (std::vector<std::string>{"world.mul", "staidx0.mul", "statics0.mul"}));
}

// Every digit of the name is the map's number; numbers beyond one byte name no map.
TEST(MapFormat, TheWholeNumberOfTheNameIsTheMapNumber)
{
    const struct
    {
        const char *Name;
        std::optional<int> Number;
        bool Usable;
    } cases[] = {
        {"map0123.mul", 123, true},
        {"map12.mul", 12, true},
        {"map255LegacyMUL.uop", 255, true},
        {"map256.mul", 256, false},
        {"map1000LegacyMUL.uop", 1000, false},
        {"map00007.mul", 7, true},
        {"map99999999999999999999.mul", std::numeric_limits<int>::max(), false},
        {"world.uop", std::nullopt, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(MapNumberOfName(c.Name), c.Number);
        EXPECT_EQ(MapNumberProblem(c.Name).empty(), c.Usable) << MapNumberProblem(c.Name);
    }
    EXPECT_EQ(MapNumberProblem("/uo/map256.mul"), "The map file map256.mul names map 256; map numbers go from 0 to 255.");
    EXPECT_EQ(StaticsIndexPath(TMapOutput::ForFile("/uo/map0123.mul", MapSizes::Classic, TStaticsChoice::Empty)),
              "/uo/staidx123.mul");
}
