// The command line's map sizes, formats and statics files, --info, and
// outputs that must not be replaced or cannot be written.
#include "CliProcess.h"
#include "CliTestData.h"
#include "MapReader.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

using TestSupport::ReadFile;
using TestSupport::TTempDir;
using TestSupport::WriteFile;
namespace fs = std::filesystem;

namespace {

CliProcess::TResult RunIn(const TTempDir &Dir, std::vector<std::string> Arguments)
{
    return CliProcess::RunCli(Arguments, CliProcess::TOptions().In(Dir.Path()));
}

} // namespace

TEST(CliMapFormats, AFacetAsUopWithStaticsReadsBackAsItsMul)
{
    TTempDir dir;
    CliTestData::SaveTerrainPatches(dir.File("world.bmp"), 60, 40);
    const auto uop = RunIn(dir, {"-q", "--seed", "4", "--facet", "0", "--format", "uop", "--statics", "world.bmp"});
    ASSERT_EQ(uop.ExitCode, 0) << uop.Err;
    const auto mul = RunIn(dir, {"-q", "--seed", "4", "--size", "7168x4096", "-o", "other.mul", "world.bmp"});
    ASSERT_EQ(mul.ExitCode, 0) << mul.Err;
    EXPECT_EQ(uop.Out, mul.Out); // the same warnings
    EXPECT_EQ(TestSupport::ListDir(dir.Path()),
              (std::vector<std::string>{"map0LegacyMUL.uop", "other.mul", "staidx0.mul", "statics0.mul", "world.bmp"}));
    EXPECT_EQ(fs::file_size(dir.File("other.mul")), 458752u * 196u);
    EXPECT_EQ(fs::file_size(dir.File("staidx0.mul")), 458752u * 12u);
    EXPECT_EQ(fs::file_size(dir.File("statics0.mul")), 7u); // one unreferenced static

    TMapReader uopMap(dir.File("map0LegacyMUL.uop")), mulMap(dir.File("other.mul"), TMapSize{7168, 4096});
    ASSERT_EQ(uopMap.Size(), (TMapSize{7168, 4096}));
    std::vector<uint8_t> a(uopMap.Size().ColumnBytes()), b(a.size());
    for (int bx = 0; bx < uopMap.Size().BlockColumns(); ++bx) {
        uopMap.ReadBlockColumn(bx, a.data());
        mulMap.ReadBlockColumn(bx, b.data());
        for (size_t block = 0; block < 512; ++block)
            ASSERT_EQ(std::memcmp(a.data() + block * 196 + 4, b.data() + block * 196 + 4, 192), 0) << bx;
    }

    EXPECT_EQ(uop.Err.find("note:"), std::string::npos) << uop.Err;
    // A classic-sized UOP file of map0 is made, with a note on what clients make of it.
    const auto classic = RunIn(dir, {"-q", "-o", "map0LegacyMUL.uop", "world.bmp"});
    EXPECT_EQ(classic.ExitCode, 0);
    EXPECT_NE(classic.Err.find("note: map0LegacyMUL.uop is 6144 x 4096 cells; clients that read map0 from a UOP file "
                               "take it as 7168 x 4096 (--facet 0 makes that size)"),
              std::string::npos)
        << classic.Err;
    EXPECT_EQ(TMapReader(dir.File("map0LegacyMUL.uop")).Size(), MapSizes::Classic);
    const auto again = RunIn(dir, {"-q", "--seed", "4", "--facet", "0", "--format", "uop", "--statics", "world.bmp"});
    ASSERT_EQ(again.ExitCode, 0) << again.Err;

    const auto info = RunIn(dir, {"--info", "map0LegacyMUL.uop", "--cell", "3,2"});
    EXPECT_EQ(info.ExitCode, 0) << info.Err;
    const TMapCell cell = mulMap.Cell(3, 2);
    EXPECT_EQ(info.Out, "map0LegacyMUL.uop: UOP, 7168 x 4096 cells (the size of map0 and map1)\n"
                        "blocks: 458752 of 196 bytes, block-column-major (896 block-columns of 512 blocks)\n"
                        "entries: build/map0legacymul/########.dat\n"
                        "cell 3,2: tile " + std::to_string(cell.Tile) + " (0x" +
                            [&] { char hex[8]; std::snprintf(hex, sizeof hex, "%04X", cell.Tile); return std::string(hex); }() +
                            "), altitude " + std::to_string(cell.Altitude) + "\n");
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
}

