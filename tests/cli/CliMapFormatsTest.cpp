// The command line's map sizes, formats and statics files, --info, and
// outputs that must not be replaced or cannot be written.
#include "CliProcess.h"
#include "CliTestData.h"
#include "MapReader.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

using CliTestData::RunIn;
using TestSupport::ReadFile;
using TestSupport::TTempDir;
using TestSupport::WriteFile;
namespace fs = std::filesystem;

TEST(CliMapFormats, AFacetAsUopWithStaticsReadsBackAsItsMul)
{
    TTempDir dir;
    CliTestData::SaveTerrainPatches(dir.File("world.bmp"), 60, 40);
    const auto uop =
        RunIn(dir, {"-q", "--seed", "4", "--facet", "0", "--format", "uop", "--statics", "empty", "world.bmp"});
    ASSERT_EQ(uop.ExitCode, 0) << uop.Err;
    const auto mul = RunIn(dir, {"-q", "--seed", "4", "--size", "7168x4096", "-o", "other.mul", "world.bmp"});
    ASSERT_EQ(mul.ExitCode, 0) << mul.Err;
    EXPECT_EQ(uop.Out, mul.Out); // the same warnings
    EXPECT_EQ(TestSupport::ListDir(dir.Path()),
              (std::vector<std::string>{"map0LegacyMUL.uop", "other.mul", "staidx0.mul", "statics0.mul", "world.bmp"}));
    EXPECT_EQ(fs::file_size(dir.File("other.mul")), 458752u * 196u);
    EXPECT_EQ(fs::file_size(dir.File("staidx0.mul")), 458752u * 12u);
    EXPECT_EQ(fs::file_size(dir.File("statics0.mul")), 7u); // one unreferenced static

    TMapReader mulMap(dir.File("other.mul"), TMapSize{7168, 4096});
    {
        // Closed before the runs below replace the file: Windows does not
        // replace a file that is mapped.
        TMapReader uopMap(dir.File("map0LegacyMUL.uop"));
        ASSERT_EQ(uopMap.Size(), (TMapSize{7168, 4096}));
        std::vector<uint8_t> a(uopMap.Size().ColumnBytes()), b(a.size());
        for (int bx = 0; bx < uopMap.Size().BlockColumns(); ++bx) {
            uopMap.ReadBlockColumn(bx, a.data());
            mulMap.ReadBlockColumn(bx, b.data());
            for (size_t block = 0; block < 512; ++block)
                ASSERT_EQ(std::memcmp(a.data() + block * 196 + 4, b.data() + block * 196 + 4, 192), 0) << bx;
        }
    }

    EXPECT_EQ(uop.Err, "");
    // A UOP of map0 is 7168 x 4096 without --facet too; 6144 wide it is refused.
    fs::copy_file(dir.File("map0LegacyMUL.uop"), dir.File("facet0.uop"));
    const auto byName = RunIn(dir, {"-q", "--seed", "4", "-o", "map0LegacyMUL.uop", "world.bmp"});
    ASSERT_EQ(byName.ExitCode, 0) << byName.Err;
    std::string difference;
    EXPECT_TRUE(CliTestData::SameBytes(dir.File("map0LegacyMUL.uop"), dir.File("facet0.uop"), &difference))
        << difference;
    const auto classic = RunIn(dir, {"-q", "-o", "map0LegacyMUL.uop", "--size", "6144x4096", "world.bmp"});
    EXPECT_EQ(classic.ExitCode, 1);
    EXPECT_NE(classic.Err.find("A UOP file of map 0 is read by clients as 7168 x 4096 cells"), std::string::npos)
        << classic.Err;
    EXPECT_EQ(TMapReader(dir.File("map0LegacyMUL.uop")).Size(), (TMapSize{7168, 4096}));
    const auto again =
        RunIn(dir, {"-q", "--seed", "4", "--facet", "0", "--format", "uop", "--statics", "empty", "world.bmp"});
    ASSERT_EQ(again.ExitCode, 0) << again.Err;

    const auto info = RunIn(dir, {"--info", "map0LegacyMUL.uop", "--cell", "3,2"});
    EXPECT_EQ(info.ExitCode, 0) << info.Err;
    const TMapCell cell = mulMap.Cell(3, 2);
    EXPECT_EQ(info.Out, "map0LegacyMUL.uop: UOP, 7168 x 4096 cells (the size of map0 and map1)\n"
                        "blocks: 458752 of 196 bytes, block-column-major (896 block-columns of 512 blocks)\n"
                        "entries: build/map0legacymul/########.dat\n"
                        "cell 3,2: tile " + std::to_string(cell.Tile) + " (0x" +
                            [&] { char hex[8]; std::snprintf(hex, sizeof hex, "%04X", cell.Tile); return std::string(hex); }() +
                            "), altitude " + std::to_string(cell.Altitude) + "\n" +
                            "statics at 3,2 (staidx0.mul): 0\n"); // the empty statics beside it
}

TEST(CliMapFormats, UsageErrorsOfSizesAndFormats)
{
    const struct
    {
        std::vector<std::string> Arguments;
        const char *Message;
    } cases[] = {
        {{"--size", "6145x4096", "world.bmp"}, "The size '6145x4096' is not WxH"},
        {{"--size", "70000x8", "world.bmp"}, "The size '70000x8' is not WxH"},
        {{"--facet", "6", "world.bmp"}, "The facet '6' is not a map number from 0 to 5"},
        {{"--facet", "x", "world.bmp"}, "The facet 'x' is not"},
        {{"--facet", "2", "-o", "map0.mul", "world.bmp"}, "The map file map0.mul is map 0, but --facet says 2"},
        {{"--format", "png", "world.bmp"}, "The format 'png' is neither mul nor uop"},
        {{"--cell", "1,1", "world.bmp"}, "--cell goes with --info MAP"},
        {{"--info", "map0.mul", "world.bmp"}, "--info reads a map file and takes no image"},
        {{"--info", "map0.mul", "--cell", "1"}, "The cell '1' is not X,Y"},
    };
    TTempDir dir;
    WriteFile(dir.File("map0.mul"), "an earlier map");
    for (const auto &c : cases) {
        const auto result = RunIn(dir, c.Arguments);
        EXPECT_EQ(result.ExitCode, 1) << c.Message;
        EXPECT_NE(result.Err.find(c.Message), std::string::npos) << c.Message << "\n" << result.Err;
    }
    EXPECT_EQ(ReadFile(dir.File("map0.mul")), "an earlier map");
    EXPECT_EQ(TestSupport::ListDir(dir.Path()), (std::vector<std::string>{"map0.mul"}));

    const auto unreadable = RunIn(dir, {"--info", "map0.mul"});
    EXPECT_EQ(unreadable.ExitCode, 2);
    EXPECT_NE(unreadable.Err.find("cannot read the map file: map0.mul: not a map file"), std::string::npos)
        << unreadable.Err;
    WriteFile(dir.File("empty.mul"), "");
    const auto empty = RunIn(dir, {"--info", "empty.mul"});
    EXPECT_EQ(empty.ExitCode, 2);
    EXPECT_NE(empty.Err.find("cannot read the map file: empty.mul: the file is empty"), std::string::npos) << empty.Err;

    // A cell beyond the map's last is the user's slip, not the file's.
    WriteFile(dir.File("small.mul"), std::string(8 * 196, '\0'));
    const auto outside = RunIn(dir, {"--info", "small.mul", "--size", "16x32", "--cell", "16,0"});
    EXPECT_EQ(outside.ExitCode, 1);
    EXPECT_NE(outside.Err.find("--cell 16,0 lies outside the map, whose cells are 0,0 to 15,31"), std::string::npos)
        << outside.Err;
}

TEST(CliMapFormats, MapNumbersComeFromTheWholeNameOrFromTheFacet)
{
    TTempDir dir;
    TestSupport::SaveRedBmp(dir.File("world.bmp"), {{40, 40}, {40, 100}});
    for (const std::vector<std::string> &arguments :
         {std::vector<std::string>{"-o", "custom.uop", "--size", "64x64", "world.bmp"},
          std::vector<std::string>{"-o", "map256.mul", "--statics", "world.bmp"}}) {
        const auto refused = RunIn(dir, arguments);
        EXPECT_EQ(refused.ExitCode, 1) << arguments[1];
        EXPECT_NE(refused.Err.find(arguments[1]), std::string::npos) << refused.Err;
    }
    EXPECT_EQ(TestSupport::ListDir(dir.Path()), (std::vector<std::string>{"world.bmp"}));

    const auto withFacet = RunIn(dir, {"-q", "-o", "custom.uop", "--facet", "4", "world.bmp"});
    ASSERT_EQ(withFacet.ExitCode, 0) << withFacet.Err;
    EXPECT_EQ(TMapReader(dir.File("custom.uop")).MapNumber(), 4);

    const auto statics = RunIn(dir, {"-q", "-o", "map0123.mul", "--size", "64x64", "--statics", "world.bmp"});
    ASSERT_EQ(statics.ExitCode, 0) << statics.Err;
    EXPECT_EQ(TestSupport::ListDir(dir.Path()),
              (std::vector<std::string>{"custom.uop", "map0123.mul", "staidx123.mul", "statics123.mul", "world.bmp"}));
}

// Files beside the map that would make server and client disagree are named
// before the run; the run goes on.
TEST(CliMapFormats, OldFilesBesideANewMapAreNamed)
{
    TTempDir dir;
    TestSupport::SaveRedBmp(dir.File("world.bmp"), {{40, 40}, {40, 100}});
    const std::string uop = dir.File("map4LegacyMUL.uop"), mul = dir.File("map4.mul"), index = dir.File("staidx4.mul");
    const std::string oldMul = "warning: " + mul + " is beside " + uop + "; servers read it before the UOP file";
    const std::string oldIndex = "warning: " + index + " beside the map is for a map of another size (12 bytes, a "
                                                      "1448 x 1448 map has 393132)";

    const auto alone = RunIn(dir, {"-q", "--facet", "4", "-o", uop, "world.bmp"});
    ASSERT_EQ(alone.ExitCode, 0) << alone.Err;
    EXPECT_EQ(alone.Err, "");

    WriteFile(mul, "an old map");
    WriteFile(index, std::string(12, '\0'));
    const auto beside = RunIn(dir, {"-q", "--facet", "4", "-o", uop, "world.bmp"});
    ASSERT_EQ(beside.ExitCode, 0) << beside.Err;
    EXPECT_NE(beside.Err.find(oldMul), std::string::npos) << beside.Err;
    EXPECT_NE(beside.Err.find(oldIndex), std::string::npos) << beside.Err;
    EXPECT_EQ(ReadFile(mul), "an old map");

    // The MUL map itself, an index of the right size, or statics written: no word.
    WriteFile(index, std::string(181 * 181 * 12, '\0'));
    const auto plain = RunIn(dir, {"-q", "--facet", "4", "-o", mul, "world.bmp"});
    ASSERT_EQ(plain.ExitCode, 0) << plain.Err;
    EXPECT_EQ(plain.Err, "");
    WriteFile(index, std::string(12, '\0'));
    const auto statics = RunIn(dir, {"-q", "--facet", "4", "--statics", "-o", mul, "world.bmp"});
    ASSERT_EQ(statics.ExitCode, 0) << statics.Err;
    EXPECT_EQ(statics.Err, "");
}

// A save killed earlier left files beside the map: the run clears them first
// and says what it did; --info on that map does the same.
TEST(CliMapFormats, LeftoversOfAKilledSaveAreClearedAndSaid)
{
    TTempDir dir;
    TestSupport::SaveRedBmp(dir.File("world.bmp"), {{40, 40}, {40, 100}});
    WriteFile(dir.File(".morvane-0123456789abcdef.old"), "an earlier map kept by a killed save");
    const auto run = RunIn(dir, {"-q", "--size", "64x64", "-o", "map0.mul", "world.bmp"});
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_NE(run.Err.find("morvane-cli: "), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find(".morvane-0123456789abcdef.old"), std::string::npos) << run.Err;
    EXPECT_EQ(TestSupport::ListDir(dir.Path()), (std::vector<std::string>{"map0.mul", "world.bmp"}));

    WriteFile(dir.File(".morvane-fedcba9876543210.tmp"), "half a map");
    const auto info = RunIn(dir, {"--info", "map0.mul", "--size", "64x64"});
    EXPECT_EQ(info.ExitCode, 0) << info.Err;
    EXPECT_NE(info.Err.find(".morvane-fedcba9876543210.tmp"), std::string::npos) << info.Err;
    EXPECT_EQ(TestSupport::ListDir(dir.Path()), (std::vector<std::string>{"map0.mul", "world.bmp"}));
}
