// --import: a map file read back into a painted picture from the command line.
#include "CliProcess.h"
#include "CliTestData.h"
#include "MapReader.h"
#include "PictureFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using CliTestData::RunIn;
using TestSupport::ReadFile;
using TestSupport::TTempDir;
using TestSupport::WriteFile;
namespace fs = std::filesystem;

namespace {

// A MUL map of 8 x 8 cells (one block) with tile Tile on every cell but the
// first row, which holds grass (tile 3 of the bundled configuration).
void SaveOneBlockMap(const std::string &Path, uint16_t Tile)
{
    std::string bytes(4, '\0');
    for (int cell = 0; cell < 64; ++cell) {
        const uint16_t tile = cell < 8 ? 3 : Tile;
        bytes += char(tile & 0xFF);
        bytes += char(tile >> 8);
        bytes += char(0);
    }
    WriteFile(Path, bytes);
}

} // namespace

TEST(CliImport, AGeneratedMapComesBackAsAPictureThatGeneratesAgain)
{
    TTempDir dir;
    CliTestData::SaveTerrainPatches(dir.File("world.bmp"), 64, 40);
    ASSERT_EQ(RunIn(dir, {"-q", "--seed", "3", "--size", "64x40", "world.bmp"}).ExitCode, 0);
    const auto bmp = RunIn(dir, {"--import", "map0.mul", "--size", "64x40", "-o", "back.bmp"});
    ASSERT_EQ(bmp.ExitCode, 0) << bmp.Err;
    EXPECT_EQ(bmp.Out, "map0.mul: 64 x 40 cells read into back.bmp\n");
    EXPECT_EQ(bmp.Err, "");
    const auto png = RunIn(dir, {"--import", "map0.mul", "--size", "64x40", "-o", "back.png"});
    ASSERT_EQ(png.ExitCode, 0) << png.Err;

    // Both pictures hold the same red values, every one a terrain's, most of
    // them the painted ones.
    const auto painted = PictureFiles::ReferenceReds(ReadFile(dir.File("world.bmp")));
    const auto fromBmp = PictureFiles::ReferenceReds(ReadFile(dir.File("back.bmp")));
    const auto fromPng = PictureFiles::ReferenceReds(ReadFile(dir.File("back.png")));
    ASSERT_TRUE(painted && fromBmp && fromPng);
    EXPECT_EQ(fromBmp->Rows, fromPng->Rows);
    int same = 0;
    for (size_t y = 0; y < 40; ++y)
        for (size_t x = 0; x < 64; ++x) {
            const uint8_t red = fromBmp->Rows[y][x];
            EXPECT_TRUE(red == CliTestData::DirtRed || red == CliTestData::GrassRed ||
                        red == CliTestData::DesertRed || red == CliTestData::WaterRed)
                << int(red) << " at " << x << "," << y;
            same += red == painted->Rows[y][x];
        }
    // Patches of 2 x 2 pixels put most cells on a line or a corner of three
    // terrains (73 % come back); broad regions come back at 99 % (MapImportTest).
    EXPECT_GE(same, 64 * 40 * 70 / 100) << same;

    const auto again = RunIn(dir, {"-q", "--seed", "3", "--size", "64x40", "-o", "again.mul", "back.bmp"});
    EXPECT_EQ(again.ExitCode, 0) << again.Err;

    // With --heights-out the map's altitudes too: grey = altitude + 128.
    const auto heights =
        RunIn(dir, {"--import", "map0.mul", "--size", "64x40", "-o", "back2.bmp", "--heights-out", "heights.png"});
    ASSERT_EQ(heights.ExitCode, 0) << heights.Err;
    const auto greys = PictureFiles::ReferenceReds(ReadFile(dir.File("heights.png")));
    ASSERT_TRUE(greys);
    TMapReader map(dir.File("map0.mul"), TMapSize{64, 40});
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(int(greys->Rows[size_t(y)][size_t(x)]), map.Cell(x, y).Altitude + 128) << x << "," << y;
    const auto both = RunIn(dir, {"--import", "map0.mul", "--size", "64x40", "-o", "x.bmp", "--heights-out", "x.bmp"});
    EXPECT_EQ(both.ExitCode, 1) << both.Err;

    // The same map in the UOP container reads back into the same picture.
    ASSERT_EQ(RunIn(dir, {"-q", "--seed", "3", "--size", "64x40", "-o", "map2LegacyMUL.uop", "world.bmp"}).ExitCode, 0);
    const auto uop = RunIn(dir, {"--import", "map2LegacyMUL.uop", "--size", "64x40", "-o", "uop.bmp"});
    ASSERT_EQ(uop.ExitCode, 0) << uop.Err;
    EXPECT_EQ(ReadFile(dir.File("uop.bmp")), ReadFile(dir.File("back.bmp")));
}

TEST(CliImport, MisusesAreUsageErrorsAndNothingIsWritten)
{
    TTempDir dir;
    SaveOneBlockMap(dir.File("map0.mul"), 3);
    const struct
    {
        std::vector<std::string> Arguments;
        const char *Says;
    } cases[] = {
        {{"--import", "map0.mul", "-o", "back.bmp", "world.bmp"}, "takes no image"},
        {{"--import", "map0.mul"}, "--import needs -o PICTURE"},
        {{"--import", "map0.mul", "-o", "back.bmp", "--seed", "1"}, "--seed does not go with --import"},
        {{"--import", "map0.mul", "-o", "back.bmp", "--size", "8x8", "--facet", "2"}, "give one of them"},
        {{"--import", "map0.mul", "-o", "map0.mul", "--size", "8x8"}, "map0.mul"},
    };
    for (const auto &c : cases) {
        const auto result = RunIn(dir, c.Arguments);
        EXPECT_EQ(result.ExitCode, 1) << c.Says;
        EXPECT_NE(result.Err.find(c.Says), std::string::npos) << result.Err;
    }
    EXPECT_EQ(TestSupport::ListDir(dir.Path()), std::vector<std::string>{"map0.mul"});
    EXPECT_EQ(fs::file_size(dir.File("map0.mul")), 196u);
}

TEST(CliImport, AMapThatCannotBeReadIsReportedAndNothingIsWritten)
{
    TTempDir dir;
    WriteFile(dir.File("short.mul"), std::string(100, '\0'));
    const auto missing = RunIn(dir, {"--import", "none.mul", "--size", "8x8", "-o", "back.bmp"});
    EXPECT_EQ(missing.ExitCode, 2);
    EXPECT_NE(missing.Err.find("cannot read the map file: "), std::string::npos) << missing.Err;
    EXPECT_NE(missing.Err.find("none.mul"), std::string::npos) << missing.Err;
    const auto cut = RunIn(dir, {"--import", "short.mul", "--size", "8x8", "-o", "back.bmp"});
    EXPECT_EQ(cut.ExitCode, 2);
    EXPECT_NE(cut.Err.find("short.mul"), std::string::npos) << cut.Err;
    EXPECT_EQ(TestSupport::ListDir(dir.Path()), std::vector<std::string>{"short.mul"});
    // 81,920 blocks are map3 or map5: the name does not tell, --facet does.
    WriteFile(dir.File("shared.mul"), std::string(size_t(81920) * 196, '\0'));
    const auto shared = RunIn(dir, {"--import", "shared.mul", "-o", "back.bmp"});
    EXPECT_EQ(shared.ExitCode, 2);
    EXPECT_NE(shared.Err.find("shared.mul: 81920 blocks fit map3 (2560 x 2048) and map5 (1280 x 4096); give --facet "
                              "or --size"),
              std::string::npos)
        << shared.Err;
    const auto facet = RunIn(dir, {"--import", "shared.mul", "--facet", "5", "-o", "back.bmp"});
    EXPECT_EQ(facet.ExitCode, 0) << facet.Err;
    EXPECT_EQ(facet.Out, "shared.mul: 1280 x 4096 cells read into back.bmp\n");
    // A map too large for the memory budget is refused before it is read.
    const auto budget = RunIn(dir, {"--import", "shared.mul", "--facet", "5", "--max-memory", "16", "-o", "big.bmp"});
    EXPECT_EQ(budget.ExitCode, 2);
    EXPECT_NE(budget.Err.find("shared.mul: a map of 1280 x 4096 cells needs about 45 MB of memory to read back, "
                              "more than the budget of 16 MB (--max-memory raises it)"),
              std::string::npos)
        << budget.Err;
    EXPECT_FALSE(fs::exists(dir.File("big.bmp")));
    fs::remove(dir.File("shared.mul"));
    fs::remove(dir.File("back.bmp"));

    // A picture that cannot be written: its folder is missing.
    SaveOneBlockMap(dir.File("map0.mul"), 3);
    const auto folder = RunIn(dir, {"--import", "map0.mul", "--size", "8x8", "-o", "no/back.bmp"});
    EXPECT_EQ(folder.ExitCode, 4);
    EXPECT_NE(folder.Err.find("cannot write the picture: "), std::string::npos) << folder.Err;
}

TEST(CliImport, TilesOfNoTerrainAreCountedAndImportTilesNameTheirTerrain)
{
    TTempDir dir;
    SaveOneBlockMap(dir.File("map0.mul"), 999);
    const auto unknown = RunIn(dir, {"--import", "map0.mul", "--size", "8x8", "-o", "back.bmp"});
    ASSERT_EQ(unknown.ExitCode, 0) << unknown.Err;
    EXPECT_NE(unknown.Err.find("56 cells (87.50 %) have a tile of no terrain (1 different tiles)"), std::string::npos)
        << unknown.Err;
    EXPECT_NE(unknown.Err.find("tile 999 (0x03E7): 56 cells"), std::string::npos) << unknown.Err;
    const auto reds = PictureFiles::ReferenceReds(ReadFile(dir.File("back.bmp")));
    ASSERT_TRUE(reds);
    EXPECT_EQ(reds->Rows[0][0], CliTestData::GrassRed);
    EXPECT_EQ(reds->Rows[7][7], 255); // names no terrain in the bundled configuration

    // The same tile named as a road of grass in a copy of the configuration.
    const std::string tiles = ReadFile(TestSupport::BundledTilesPath());
    WriteFile(dir.File("Tiles.ini"), tiles + "\n[ImportTiles]\nGRASS=990-1000\n");
    const auto known = RunIn(dir, {"--import", "map0.mul", "--size", "8x8", "-t", "Tiles.ini", "-o", "road.bmp"});
    ASSERT_EQ(known.ExitCode, 0) << known.Err;
    EXPECT_EQ(known.Err, "");
    EXPECT_EQ(PictureFiles::ReferenceReds(ReadFile(dir.File("road.bmp")))->Rows[7][7], CliTestData::GrassRed);

    WriteFile(dir.File("Bad.ini"), tiles + "\n[ImportTiles]\nROADS=990\n");
    const auto bad = RunIn(dir, {"--import", "map0.mul", "--size", "8x8", "-t", "Bad.ini", "-o", "bad.bmp"});
    EXPECT_EQ(bad.ExitCode, 3);
    EXPECT_NE(bad.Err.find("Bad.ini"), std::string::npos) << bad.Err;
    EXPECT_NE(bad.Err.find("[ImportTiles] key ROADS"), std::string::npos) << bad.Err;
    EXPECT_FALSE(fs::exists(dir.File("bad.bmp")));
}
