// The [Heights] section of the tile configuration: what it gives, the errors
// that stop with the file, the section and the key named, the coast table,
// and the start altitudes that an image load draws from it.
#include "ClassTerrainImage.h"
#include "HeightProfile.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <set>

using namespace TestSupport;

namespace {

const std::string Tiles = "[GRASS]\n3=\n[WATER]\n0xA8=\n[MOUNTAIN]\n0x22C=\n";

THeightProfile Load(const TTempDir &Dir, const std::string &Section)
{
    const std::string path = Dir.File("Tiles.ini");
    WriteFile(path, Tiles + Section);
    return TTerrainImage(path).GetHeightProfile();
}

} // namespace

TEST(HeightProfile, WithoutTheSectionEveryValueIsTheDefault)
{
    TTempDir dir;
    const THeightProfile profile = Load(dir, "");
    EXPECT_EQ(profile, THeightProfile{});
    // The values the maps were always made with.
    EXPECT_EQ(profile.Water, -75);
    EXPECT_EQ(profile.MountainStart, (TAltitudeRange{20, 74}));
    EXPECT_EQ(profile.MountainStart.Count(), 55u);
    EXPECT_EQ(profile.OtherStart.Count(), 10u);
    EXPECT_EQ(profile.Coastline, -15);
    EXPECT_EQ(profile.Rings, (std::array<int, 3>{-15, -12, -1}));
    EXPECT_EQ(profile.MountainSeed, (TAltitudeRange{110, 124}));
    EXPECT_EQ(profile.MountainSeed.Count(), 15u);
    EXPECT_EQ(profile.OtherSeed, (TAltitudeRange{-2, 59}));
    EXPECT_EQ(profile.OtherSeed.Count(), 62u);
    EXPECT_FALSE(profile.LevelWater || profile.LevelCoastline || profile.CoastTable);
    // An empty section changes nothing either.
    EXPECT_EQ(Load(dir, "[Heights]\n"), THeightProfile{});
}

TEST(HeightProfile, ReadsEveryKey)
{
    TTempDir dir;
    const THeightProfile profile = Load(dir, "[heights]\nwater=-5\nMountainStart = 20..40\nOtherStart=3\n"
                                             "Coastline=-3\nRing1=-1\nRing2=0\nRing3=2\n"
                                             "MountainSeed=-128..127\nOtherSeed= -2 .. 0x14\nCoastTable=1\n");
    EXPECT_EQ(profile.Water, -5);
    EXPECT_TRUE(profile.LevelWater);
    EXPECT_EQ(profile.MountainStart, (TAltitudeRange{20, 40}));
    EXPECT_EQ(profile.OtherStart, (TAltitudeRange{3, 3}));
    EXPECT_EQ(profile.OtherStart.Count(), 1u);
    EXPECT_EQ(profile.Coastline, -3);
    EXPECT_TRUE(profile.LevelCoastline);
    EXPECT_EQ(profile.Rings, (std::array<int, 3>{-1, 0, 2}));
    EXPECT_EQ(profile.MountainSeed.Count(), 256u);
    EXPECT_EQ(profile.OtherSeed, (TAltitudeRange{-2, 20}));
    EXPECT_TRUE(profile.CoastTable);
    // A key left out keeps its default; giving the default water altitude still
    // asks for the water to be levelled.
    const THeightProfile some = Load(dir, "[Heights]\nWater=-75\nRing2=-7\n");
    EXPECT_TRUE(some.LevelWater);
    EXPECT_FALSE(some.LevelCoastline);
    EXPECT_EQ(some.Rings, (std::array<int, 3>{-15, -7, -1}));
    EXPECT_EQ(some.OtherSeed, (TAltitudeRange{-2, 59}));
}

TEST(HeightProfile, BadValuesStopNamingFileSectionAndKey)
{
    struct TCase
    {
        const char *Lines;
        const char *Key;
        const char *Problem;
    };
    const TCase cases[] = {
        {"Water=-129", "Water", "outside the altitudes -128..127"},
        {"Water=128", "Water", "outside"},
        {"Water=", "Water", "not a number"},
        {"Water=deep", "Water", "not a number"},
        {"Water=-5.5", "Water", "not a number"},
        {"Coastline=0xFFFF", "Coastline", "outside"},
        {"Ring3=300", "Ring3", "outside"},
        {"MountainStart=40..20", "MountainStart", "low end above its high end"},
        {"OtherSeed=0..128", "OtherSeed", "outside"},
        {"OtherSeed=-200..0", "OtherSeed", "outside"},
        {"MountainSeed=..5", "MountainSeed", "not a number"},
        {"MountainSeed=5..", "MountainSeed", "not a number"},
        {"OtherStart=1..2..3", "OtherStart", "not a number"},
        {"CoastTable=2", "CoastTable", "neither 0 nor 1"},
        {"CoastTable=yes", "CoastTable", "neither 0 nor 1"},
    };
    for (const TCase &c : cases) {
        TTempDir dir;
        const std::string path = dir.File("Tiles.ini");
        WriteFile(path, Tiles + "[Heights]\n" + c.Lines + "\n");
        try {
            TTerrainImage model(path);
            ADD_FAILURE() << c.Lines << ": no error";
        } catch (const EConvertError &error) {
            // The file apart (the message is shown after it), the line as written.
            const std::string message = error.what();
            EXPECT_EQ(error.FileName, path) << c.Lines;
            EXPECT_EQ(message.rfind("[Heights] " + std::string(c.Key) + "='" +
                                        std::string(c.Lines).substr(std::string(c.Key).size() + 1) + "' ",
                                    0),
                      0u)
                << c.Lines << ": " << message;
            EXPECT_NE(message.find(c.Problem), std::string::npos) << c.Lines << ": " << message;
        }
    }
}

// Water neighbours by direction bit: N 1, NE 2, E 4, SE 8, S 16, SW 32, W 64, NW 128.
TEST(HeightProfile, CoastTableByWhereTheWaterLies)
{
    constexpr unsigned N = 1, NE = 2, E = 4, SE = 8, S = 16, SW = 32, W = 64, NW = 128;
    struct TCase
    {
        unsigned Mask;
        int Expected; // with the water at -5 and the coast at -3
    };
    const TCase cases[] = {
        {W | NW | N, -15},
        {W | NW | N | E | S, -15},
        {0xFF, -15},
        {NW, -5},
        {NW | W, -9},
        {NW | N | NE, -9},
        {NW | SE, -9},
        {SW | W, -9},
        {NE | N, -9},
        {SW | W | S, -3}, // not exactly SW+W: unchanged
        {SW, -3},
        {NE, -3},
        {N, -3},
        {W, -3},
        {E | SE | S, -3},
        {0, -3},
    };
    for (const TCase &c : cases)
        EXPECT_EQ(CoastTableAltitude(c.Mask, -5, -3), c.Expected) << "mask " << c.Mask;
    // SW only and NE only lie 2 above the water, whatever the coast had.
    EXPECT_EQ(CoastTableAltitude(SW, -5, 9), -3);
    // Relative to the water, and kept inside the byte.
    EXPECT_EQ(CoastTableAltitude(W | NW | N, 0, 7), -10);
    EXPECT_EQ(CoastTableAltitude(W | NW | N, -125, 7), -128);
    EXPECT_EQ(CoastTableAltitude(NE, 127, 7), 127);
}

// The load draws the start altitudes from the profile's ranges: one number per
// cell that is not water, as before, so the default profile gives what the
// constants gave (the whole-run tests pin those maps).
TEST(HeightProfile, ImageLoadDrawsFromTheRanges)
{
    TTempDir dir;
    const std::string tiles = dir.File("Tiles.ini");
    WriteFile(tiles, Tiles + "[Heights]\nWater=-5\nMountainStart=30..31\nOtherStart=-2..-1\n");
    // The red values of the colour table, taken from the model.
    TTerrainImage model(tiles);
    uint8_t water = 0, mountain = 0, grass = 0;
    for (int red = 0; red < 256; ++red) {
        const uint16_t code = model.CodeForColor(uint8_t(red));
        if (code == WATER)
            water = uint8_t(red);
        else if (code == MOUNTAIN)
            mountain = uint8_t(red);
        else if (code == GRASS)
            grass = uint8_t(red);
    }
    std::vector<std::vector<uint8_t>> reds(40, std::vector<uint8_t>(50));
    for (size_t y = 0; y < reds.size(); ++y)
        for (size_t x = 0; x < reds[y].size(); ++x)
            reds[y][x] = (x + y) % 3 == 0 ? water : (x * y) % 3 == 1 ? mountain : grass;
    const std::string picture = dir.File("world.bmp");
    SaveRedBmp(picture, reds);
    Random::SetFixedSeed(3);
    model.LoadFromBMP(picture);
    Random::SetFixedSeed(std::nullopt);
    int seen[3] = {};
    std::set<int> mountainAltitudes;
    for (int y = 1; y <= model.GetHeight(); ++y)
        for (int x = 1; x <= model.GetWidth(); ++x) {
            const TCell cell = model.GetCell(x, y);
            if (cell.Code == WATER) {
                EXPECT_EQ(cell.Altitude, -5);
                ++seen[0];
            } else if (cell.Code == MOUNTAIN) {
                EXPECT_TRUE(cell.Altitude == 30 || cell.Altitude == 31) << int(cell.Altitude);
                mountainAltitudes.insert(cell.Altitude);
                ++seen[1];
            } else {
                EXPECT_TRUE(cell.Altitude == -2 || cell.Altitude == -1) << int(cell.Altitude);
                ++seen[2];
            }
        }
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
    EXPECT_GT(seen[2], 0);
    EXPECT_EQ(mountainAltitudes.size(), 2u); // both ends of the range are drawn
}
