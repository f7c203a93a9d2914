// --merge-into: a picture imported from a map, repainted in one place, merged
// back: only the blocks around the change are made anew.
#include "CliProcess.h"
#include "CliTestData.h"
#include "HeightsPicture.h"
#include "MapImport.h"
#include "MapReader.h"
#include "PictureFiles.h"
#include "PlainPng.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

using CliTestData::RunIn;
using TestSupport::ReadFile;
using TestSupport::TTempDir;
using TestSupport::WriteFile;
namespace fs = std::filesystem;

namespace {

constexpr int Width = 128, Height = 96, BlockRows = Height / 8;

// lake.bmp: back.bmp with a square of water Side x Side at X,Y.
void PaintLake(const TTempDir &Dir, int X, int Y, int Side)
{
    auto reds = PictureFiles::ReferenceReds(ReadFile(Dir.File("back.bmp")));
    ASSERT_TRUE(reds);
    for (int y = Y; y < Y + Side; ++y)
        for (int x = X; x < X + Side; ++x)
            reds->Rows[size_t(y)][size_t(x)] = CliTestData::WaterRed;
    TestSupport::SaveRedBmp(Dir.File("lake.bmp"), reds->Rows);
}

// A map made with a seed and its picture read back: world.bmp, map0.mul,
// back.bmp, and lake.bmp, back.bmp with a square of water 6 x 6 at 90,60.
void MakeMapAndLake(const TTempDir &Dir)
{
    CliTestData::SaveTerrainPatches(Dir.File("world.bmp"), Width, Height);
    ASSERT_EQ(RunIn(Dir, {"-q", "--seed", "5", "--size", "128x96", "world.bmp"}).ExitCode, 0);
    ASSERT_EQ(RunIn(Dir, {"--import", "map0.mul", "--size", "128x96", "-o", "back.bmp"}).ExitCode, 0);
    PaintLake(Dir, 90, 60, 6);
}

std::string Block(const std::string &Map, int Bx, int By)
{
    return Map.substr((size_t(Bx) * BlockRows + size_t(By)) * 196, 196);
}

// A statics file pair: one record per entry (block, id, x and y in the block).
struct TRecord
{
    int Bx, By, Id, X, Y;
};
void SaveStatics(const TTempDir &Dir, const std::vector<TRecord> &Records)
{
    std::string index, data(7, '\0');
    auto put32 = [](std::string &s, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            s += char(v >> (8 * i) & 0xFF);
    };
    for (int bx = 0; bx < Width / 8; ++bx)
        for (int by = 0; by < BlockRows; ++by) {
            std::string records;
            for (const TRecord &r : Records)
                if (r.Bx == bx && r.By == by)
                    records += std::string{char(r.Id & 0xFF), char(r.Id >> 8), char(r.X), char(r.Y), char(0), char(0), char(0)};
            put32(index, records.empty() ? 0xFFFFFFFFu : uint32_t(data.size()));
            put32(index, uint32_t(records.size()));
            put32(index, 0);
            data += records;
        }
    WriteFile(Dir.File("staidx0.mul"), index);
    WriteFile(Dir.File("statics0.mul"), data);
}

} // namespace

TEST(CliMerge, OneLakeRemakesOnlyTheBlocksAroundItAndAnUnchangedPictureChangesNoByte)
{
    TTempDir dir;
    MakeMapAndLake(dir);
    const std::string before = ReadFile(dir.File("map0.mul"));

    // Into the map itself (no -o).
    const auto merge = RunIn(dir, {"-q", "--seed", "5", "--size", "128x96", "--merge-into", "map0.mul", "lake.bmp"});
    ASSERT_EQ(merge.ExitCode, 0) << merge.Err;
    // 36 cells; 6 cells of margin around 90..95 x 60..65 reach blocks 10..12 x 7..8 and block-row 6 (54 / 8).
    // The warnings, those of remade cells only, then what was remade.
    EXPECT_NE(merge.Out.find("map0.mul: 36 cells changed; 9 of 192 blocks made anew\n"), std::string::npos) << merge.Out;
    for (size_t at = merge.Out.find("tile "); at != std::string::npos; at = merge.Out.find("tile ", at + 1)) {
        const int x = std::stoi(merge.Out.substr(at + 5)), y = std::stoi(merge.Out.substr(merge.Out.find('/', at) + 1));
        EXPECT_TRUE(x >= 80 && x < 104 && y >= 48 && y < 72) << x << "," << y;
    }
    const std::string after = ReadFile(dir.File("map0.mul"));
    ASSERT_EQ(after.size(), before.size());
    int differing = 0;
    for (int bx = 0; bx < Width / 8; ++bx)
        for (int by = 0; by < BlockRows; ++by) {
            const bool remade = bx >= 10 && bx <= 12 && by >= 6 && by <= 8;
            if (!remade) {
                EXPECT_EQ(Block(after, bx, by), Block(before, bx, by)) << bx << "," << by;
            }
            differing += Block(after, bx, by) != Block(before, bx, by);
        }
    EXPECT_GE(differing, 4);
    // The middle of the square is water now.
    ASSERT_EQ(RunIn(dir, {"--import", "map0.mul", "--size", "128x96", "-o", "merged.bmp"}).ExitCode, 0);
    EXPECT_EQ(PictureFiles::ReferenceReds(ReadFile(dir.File("merged.bmp")))->Rows[62][92], CliTestData::WaterRed);

    // The picture of the map as it is changes nothing: the same bytes.
    fs::copy_file(dir.File("map0.mul"), dir.File("copy.mul"));
    ASSERT_EQ(RunIn(dir, {"--import", "copy.mul", "--size", "128x96", "-o", "same.bmp"}).ExitCode, 0);
    const auto same = RunIn(dir, {"-q", "--size", "128x96", "--merge-into", "copy.mul", "same.bmp", "-o", "out.mul"});
    ASSERT_EQ(same.ExitCode, 0) << same.Err;
    EXPECT_EQ(same.Out, "out.mul: 0 cells changed from copy.mul; 0 of 192 blocks made anew\n"); // and no warning
    EXPECT_EQ(ReadFile(dir.File("out.mul")), after);

    // Decoration asked for where the map has no statics: only the remade
    // blocks get any, which is said.
    const auto decorated = RunIn(dir, {"-q", "--size", "128x96", "--merge-into", "copy.mul", "lake.bmp", "-o",
                                       "decorated.mul", "--statics", "decorated"});
    ASSERT_EQ(decorated.ExitCode, 0) << decorated.Err;
    EXPECT_NE(decorated.Err.find("warning: no statics beside copy.mul (staidx0.mul, statics0.mul): the new statics "
                                 "files hold only the decoration of the remade blocks"),
              std::string::npos)
        << decorated.Err;
}

TEST(CliMerge, RepaintedHeightsAloneRemakeTheBlocksAroundThem)
{
    TTempDir dir;
    MakeMapAndLake(dir);
    const std::string before = ReadFile(dir.File("map0.mul"));
    ASSERT_EQ(RunIn(dir, {"--import", "map0.mul", "--size", "128x96", "-o", "back.bmp", "--heights-out", "h.png"})
                  .ExitCode,
              0);
    // The map's own heights change nothing.
    const auto same = RunIn(dir, {"-q", "--seed", "5", "--size", "128x96", "--merge-into", "map0.mul", "--heights",
                                  "h.png", "back.bmp", "-o", "same.mul"});
    ASSERT_EQ(same.ExitCode, 0) << same.Err;
    EXPECT_EQ(same.Out, "same.mul: 0 cells changed from map0.mul, 0 more in height only; 0 of 192 blocks made anew\n");
    EXPECT_EQ(ReadFile(dir.File("same.mul")), before);

    // A hill of altitude 40 painted into them, far from the water: its land
    // takes the painted altitude, and blocks beyond the margin stay as they were.
    const auto inHill = [](int X, int Y) { return (X - 100) * (X - 100) + (Y - 70) * (Y - 70) < 100; };
    const TMapCells cells = [&] {
        TMapReader reader(dir.File("map0.mul"), TMapSize{Width, Height});
        return ReadMapCells(reader);
    }();
    SaveHeightsPng(Width, Height, [&](int Y, int8_t *Row) {
        for (int x = 0; x < Width; ++x)
            Row[x] = inHill(x, Y) ? int8_t(40) : cells.Altitudes[cells.Index(x, Y)];
    }, dir.File("hill.png"));
    const auto hill = RunIn(dir, {"-q", "--seed", "5", "--size", "128x96", "--merge-into", "map0.mul", "--heights",
                                  "hill.png", "back.bmp", "-o", "hill.mul"});
    ASSERT_EQ(hill.ExitCode, 0) << hill.Err;
    // Every cell of the hill is land (the lake lies at 32..63 x 24..47):
    // those not at 40 already are the changed ones.
    int repainted = 0;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            repainted += inHill(x, y) && cells.Altitudes[cells.Index(x, y)] != 40;
    EXPECT_NE(hill.Out.find("hill.mul: 0 cells changed from map0.mul, " + std::to_string(repainted) +
                            " more in height only; "),
              std::string::npos)
        << hill.Out;
    TMapReader reader(dir.File("hill.mul"), TMapSize{Width, Height});
    const TMapCells after = ReadMapCells(reader);
    int hillCells = 0;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            if (inHill(x, y)) {
                ++hillCells;
                EXPECT_LE(std::abs(after.Altitudes[after.Index(x, y)] - 40), 3) << x << "," << y;
            }
    EXPECT_GT(hillCells, 300);
    const std::string merged = ReadFile(dir.File("hill.mul"));
    for (int bx = 0; bx < Width / 8; ++bx)
        for (int by = 0; by < BlockRows; ++by) {
            // The hill's cells lie in 90..110 x 60..80; with the margin of 6 in blocks 10..14 x 6..10.
            if (bx < 10 || bx > 14 || by < 6 || by > 10) {
                EXPECT_EQ(Block(merged, bx, by), Block(before, bx, by)) << bx << "," << by;
            }
        }
}

TEST(CliMerge, UnknownTilesAndAUsersStaticsSurviveDecorationAndWavesGo)
{
    TTempDir dir;
    MakeMapAndLake(dir);
    // A road (tile 999, in no list), inside the remade blocks.
    std::string map = ReadFile(dir.File("map0.mul"));
    const size_t road = (size_t(11) * BlockRows + 7) * 196 + 4 + size_t(2 * 8 + 5) * 3; // cell 93,58
    map[road] = char(999 & 0xFF);
    map[road + 1] = char(999 >> 8);
    map[road + 2] = char(7);
    // A larger lake, 16 x 16 at 84,52, with water deep inside its coast. Under
    // it: a cave floor (tile 1000) that the configuration names for import
    // only, as grass, read as grass but kept by the merge like any unknown
    // tile; and another unknown tile deep in the water, with a static on it.
    PaintLake(dir, 84, 52, 16);
    const size_t floor = (size_t(11) * BlockRows + 7) * 196 + 4 + size_t(7 * 8 + 4) * 3; // cell 92,63
    const size_t cave = (size_t(11) * BlockRows + 7) * 196 + 4 + size_t(3 * 8 + 3) * 3;  // cell 91,59
    for (const size_t at : {floor, cave}) {
        const int tile = at == floor ? 1000 : 999;
        map[at] = char(tile & 0xFF);
        map[at + 1] = char(tile >> 8);
        map[at + 2] = char(9);
    }
    WriteFile(dir.File("map0.mul"), map);
    WriteFile(dir.File("tiles.ini"), ReadFile(TestSupport::BundledTilesPath()) + "\n[ImportTiles]\nGRASS=1000\n");
    // Statics: in remade block 11,7 a user's static (0x0001) on the new water,
    // a tree and a wave; in block 0,0, far away, a tree and a wave that stay.
    SaveStatics(dir, {{11, 7, 0x0001, 4, 6}, {11, 7, 0x0002, 3, 3}, {11, 7, 0x0CCD, 1, 1}, {11, 7, 0x179D, 2, 2},
                      {0, 0, 0x0CCD, 3, 3}, {0, 0, 0x179D, 4, 4}});
    const std::string oldIndex = ReadFile(dir.File("staidx0.mul")), oldData = ReadFile(dir.File("statics0.mul"));

    const auto merge =
        RunIn(dir, {"-q", "--seed", "5", "--size", "128x96", "-t", "tiles.ini", "--merge-into", "map0.mul", "lake.bmp",
                    "--report"});
    ASSERT_EQ(merge.ExitCode, 0) << merge.Err;
    const std::string after = ReadFile(dir.File("map0.mul"));
    EXPECT_EQ(after.substr(road, 3), map.substr(road, 3));
    EXPECT_EQ(after.substr(floor, 3), map.substr(floor, 3));
    EXPECT_EQ(after.substr(cave, 3), map.substr(cave, 3));
    EXPECT_NE(merge.Err.find("merge statics: 2 decoration and waves taken out, 0 put in, 2 other statics kept"),
              std::string::npos)
        << merge.Err;
    EXPECT_NE(merge.Err.find("static 0x0001 at 92,62 (z 0): now on water"), std::string::npos) << merge.Err;
    // The tile under the new water is kept: a static on it is not on water.
    EXPECT_EQ(merge.Err.find("at 91,59"), std::string::npos) << merge.Err;
    // Block 0,0 keeps both its records; block 11,7 only the user's.
    const std::string index = ReadFile(dir.File("staidx0.mul")), data = ReadFile(dir.File("statics0.mul"));
    ASSERT_EQ(index.size(), oldIndex.size());
    auto records = [&](const std::string &Index, const std::string &Data, int Bx, int By) {
        const size_t entry = (size_t(Bx) * BlockRows + size_t(By)) * 12;
        const auto u32 = [&](size_t at) {
            return uint32_t(uint8_t(Index[at])) | uint32_t(uint8_t(Index[at + 1])) << 8 |
                   uint32_t(uint8_t(Index[at + 2])) << 16 | uint32_t(uint8_t(Index[at + 3])) << 24;
        };
        return u32(entry) == 0xFFFFFFFFu ? std::string() : Data.substr(u32(entry), u32(entry + 4));
    };
    EXPECT_EQ(records(index, data, 0, 0), records(oldIndex, oldData, 0, 0));
    EXPECT_EQ(records(index, data, 11, 7), std::string({1, 0, 4, 6, 0, 0, 0, 2, 0, 3, 3, 0, 0, 0}));
}

// A map of tiles the configuration does not know (a hand-made world): a
// lake painted on its picture remakes no block, and its statics, decoration
// ids included, stay as they are.
TEST(CliMerge, AMapOfUnknownTilesIsKeptWholeWhateverIsPainted)
{
    TTempDir dir;
    std::string map;
    for (int block = 0; block < (Width / 8) * BlockRows; ++block) {
        map += std::string(4, '\0');
        for (int cell = 0; cell < 64; ++cell)
            map += std::string{char(999 & 0xFF), char(999 >> 8), char(cell % 5)};
    }
    WriteFile(dir.File("map0.mul"), map);
    SaveStatics(dir, {{11, 7, 0x0CCD, 1, 1}, {11, 7, 0x0001, 4, 6}});
    const std::string index = ReadFile(dir.File("staidx0.mul")), data = ReadFile(dir.File("statics0.mul"));
    ASSERT_EQ(RunIn(dir, {"--import", "map0.mul", "--size", "128x96", "-o", "back.bmp"}).ExitCode, 0);
    PaintLake(dir, 84, 52, 16);
    const auto merge = RunIn(dir, {"-q", "--size", "128x96", "--statics", "--merge-into", "map0.mul", "lake.bmp",
                                   "--report", "--preview", "p.png"});
    ASSERT_EQ(merge.ExitCode, 0) << merge.Err;
    EXPECT_EQ(merge.Out, "map0.mul: 256 cells changed; 0 of 192 blocks made anew\n");
    // The report and the preview describe the map written: no void tile (the
    // picture names no terrain there, but the map keeps its own tiles) and no
    // water; the preview grey, not the void's magenta nor the lake's blue.
    EXPECT_NE(merge.Err.find("Void tiles: 0 cells\n"), std::string::npos) << merge.Err;
    EXPECT_EQ(merge.Err.find("WATER:"), std::string::npos) << merge.Err;
    const PlainPng::TPicture preview = PlainPng::Read(dir.File("p.png"));
    ASSERT_EQ(preview.Width, Width);
    for (const auto &[x, y] : {std::pair{10, 10}, std::pair{90, 60}}) {
        const uint32_t pixel = preview.Pixel(x, y); // grey, shaded by the slope
        EXPECT_TRUE((pixel >> 16 & 0xFF) == (pixel & 0xFF) && (pixel >> 8 & 0xFF) == (pixel & 0xFF))
            << std::hex << pixel << " at " << std::dec << x << "," << y;
    }
    EXPECT_EQ(ReadFile(dir.File("map0.mul")), map);
    EXPECT_EQ(ReadFile(dir.File("staidx0.mul")), index);
    EXPECT_EQ(ReadFile(dir.File("statics0.mul")), data);
}

// Remade land beside kept land far below the altitudes a run gives land (a
// hand-made lowland at -60 or -100): the remade altitudes still join the kept
// ones, within the terrain smoothing's tolerance. (They started at the run's
// 0 to 16, and the smoothing, rising before it falls, left steps of 21 and
// 61 at the edge.)
TEST(CliMerge, RemadeLandJoinsKeptLandFarBelow)
{
    for (const int kept : {-60, -100}) {
        SCOPED_TRACE(kept);
        TTempDir dir;
        std::string map;
        for (int block = 0; block < (Width / 8) * BlockRows; ++block) {
            map += std::string(4, '\0');
            for (int cell = 0; cell < 64; ++cell)
                map += std::string{char(3), char(0), char(kept)}; // grass
        }
        WriteFile(dir.File("map0.mul"), map);
        ASSERT_EQ(RunIn(dir, {"--import", "map0.mul", "--size", "128x96", "-o", "back.bmp"}).ExitCode, 0);
        auto reds = PictureFiles::ReferenceReds(ReadFile(dir.File("back.bmp")));
        ASSERT_TRUE(reds);
        for (int y = 40; y < 60; ++y)
            for (int x = 40; x < 60; ++x)
                reds->Rows[size_t(y)][size_t(x)] = CliTestData::DirtRed;
        TestSupport::SaveRedBmp(dir.File("dirt.bmp"), reds->Rows);
        const auto merge = RunIn(dir, {"-q", "--seed", "2", "--size", "128x96", "--merge-into", "map0.mul", "dirt.bmp"});
        ASSERT_EQ(merge.ExitCode, 0) << merge.Err;
        TMapReader reader(dir.File("map0.mul"), TMapSize{Width, Height});
        const TMapCells cells = ReadMapCells(reader);
        int steepest = 0;
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x) {
                const int a = cells.Altitudes[cells.Index(x, y)];
                if (x + 1 < Width)
                    steepest = std::max(steepest, std::abs(a - cells.Altitudes[cells.Index(x + 1, y)]));
                if (y + 1 < Height)
                    steepest = std::max(steepest, std::abs(a - cells.Altitudes[cells.Index(x, y + 1)]));
            }
        EXPECT_LE(steepest, 8);
    }
}

#ifndef _WIN32
// A map reached through a link in another folder: the save replaces the
// file the link leads to, and the statics beside that file go with it.
TEST(CliMerge, StaticsBesideTheMapALinkLeadsToAreMergedWithIt)
{
    TTempDir dir;
    MakeMapAndLake(dir);
    SaveStatics(dir, {{11, 7, 0x0CCD, 1, 1}, {0, 0, 0x0CCD, 3, 3}});
    const std::string oldIndex = ReadFile(dir.File("staidx0.mul"));
    fs::create_directory(dir.File("work"));
    fs::create_symlink("../map0.mul", dir.File("work/map0.mul"));
    const std::string before = ReadFile(dir.File("map0.mul"));

    const auto merge =
        RunIn(dir, {"-q", "--seed", "5", "--size", "128x96", "--merge-into", "work/map0.mul", "lake.bmp", "--report"});
    ASSERT_EQ(merge.ExitCode, 0) << merge.Err;
    EXPECT_NE(merge.Err.find("merge statics: 1 decoration and waves taken out, 0 put in, 0 other statics kept"),
              std::string::npos)
        << merge.Err;
    EXPECT_TRUE(fs::is_symlink(dir.File("work/map0.mul")));
    EXPECT_NE(ReadFile(dir.File("map0.mul")), before);
    EXPECT_NE(ReadFile(dir.File("staidx0.mul")), oldIndex);
    EXPECT_FALSE(fs::exists(dir.File("work/staidx0.mul")));
    EXPECT_FALSE(fs::exists(dir.File("work/statics0.mul")));
}
#endif

TEST(CliMerge, APictureOfAnotherSizeOrAMapThatCannotBeReadWritesNothing)
{
    TTempDir dir;
    MakeMapAndLake(dir);
    const std::string before = ReadFile(dir.File("map0.mul"));
    CliTestData::SaveTerrainPatches(dir.File("small.bmp"), 120, 96);
    const auto size = RunIn(dir, {"-q", "--size", "128x96", "--merge-into", "map0.mul", "small.bmp"});
    EXPECT_EQ(size.ExitCode, 1);
    EXPECT_NE(size.Err.find("small.bmp is 120 x 96 pixels, but the map map0.mul is 128 x 96 cells"), std::string::npos)
        << size.Err;
    const auto missing = RunIn(dir, {"-q", "--size", "128x96", "--merge-into", "none.mul", "lake.bmp", "-o", "new.mul"});
    EXPECT_EQ(missing.ExitCode, 2);
    EXPECT_NE(missing.Err.find("cannot read the map file: "), std::string::npos) << missing.Err;
    const auto crop = RunIn(dir, {"-q", "--crop", "--merge-into", "map0.mul", "lake.bmp"});
    EXPECT_EQ(crop.ExitCode, 1);
    const auto picture = RunIn(dir, {"-q", "--size", "128x96", "--merge-into", "map0.mul", "lake.bmp", "-o", "lake.bmp"});
    EXPECT_EQ(picture.ExitCode, 1);
    EXPECT_EQ(ReadFile(dir.File("map0.mul")), before);
    EXPECT_FALSE(fs::exists(dir.File("new.mul")));

    // A size too small for the file: the merge would write a shorter map and
    // drop the rest. The import reads it, but says so.
    const auto shorter = RunIn(dir, {"--import", "map0.mul", "--size", "64x96", "-o", "half.bmp"});
    EXPECT_EQ(shorter.ExitCode, 0) << shorter.Err;
    EXPECT_NE(shorter.Err.find("map0.mul holds 96 blocks more than a map of 64 x 96 cells needs"), std::string::npos)
        << shorter.Err;
    // Each refused with Status and Text, the map left as it was.
    const auto refused = [&](const std::vector<std::string> &Arguments, int Status, const std::string &Text) {
        const auto result = RunIn(dir, Arguments);
        EXPECT_EQ(result.ExitCode, Status) << result.Err;
        EXPECT_NE(result.Err.find(Text), std::string::npos) << result.Err;
        EXPECT_EQ(ReadFile(dir.File("map0.mul")), before);
    };
    refused({"-q", "--size", "64x96", "--merge-into", "map0.mul", "half.bmp"}, 2,
            "map0.mul: the file holds 96 blocks more than a map of 64 x 96 cells needs, which a merge would drop");

    // Statics beside the map as the map file or the preview of the merge:
    // inputs of the run, which only the merged statics may replace.
    SaveStatics(dir, {{3, 2, 0x0CCA, 1, 1}});
    const std::string index = ReadFile(dir.File("staidx0.mul"));
    const std::vector<std::string> merge{"-q", "--size", "128x96", "--merge-into", "map0.mul", "lake.bmp"};
    for (const std::vector<std::string> &output : {std::vector<std::string>{"-o", "staidx0.mul"},
                                                   {"-o", "new.mul", "--preview", "statics0.mul"}}) {
        std::vector<std::string> arguments = merge;
        arguments.insert(arguments.end(), output.begin(), output.end());
        refused(arguments, 1, "is the statics beside the existing map");
    }
    EXPECT_EQ(ReadFile(dir.File("staidx0.mul")), index);
    EXPECT_FALSE(fs::exists(dir.File("new.mul")));

    // A merge written elsewhere carries the statics over to new files beside
    // it: those are outputs like any other, and the existing statics are then
    // inputs (the existing map keeps its own). Here the new files are other
    // names of the picture, and then of the existing statics.
    const std::string lake = ReadFile(dir.File("lake.bmp")), records = ReadFile(dir.File("statics0.mul"));
    fs::create_directory(dir.File("out"));
    // Another map in the same folder whose statics would be these very files
    // (map numbers alike): the old map would be left with the new statics.
    std::vector<std::string> beside = merge;
    beside.insert(beside.end(), {"-o", "merged.mul"});
    refused(beside, 1, "the statics file staidx0.mul is the statics beside the existing map staidx0.mul");
    EXPECT_FALSE(fs::exists(dir.File("merged.mul")));
    std::vector<std::string> elsewhere = merge;
    elsewhere.insert(elsewhere.end(), {"-o", "out/map0.mul"});
    fs::create_hard_link(dir.File("lake.bmp"), dir.File("out/statics0.mul"));
    refused(elsewhere, 1, "the statics file out/statics0.mul is the picture lake.bmp");
    fs::remove(dir.File("out/statics0.mul"));
    fs::create_hard_link(dir.File("staidx0.mul"), dir.File("out/staidx0.mul"));
    fs::create_hard_link(dir.File("statics0.mul"), dir.File("out/statics0.mul"));
    refused(elsewhere, 1, "is the statics beside the existing map");
    elsewhere.push_back("--statics");
    refused(elsewhere, 1, "is the statics beside the existing map");
    EXPECT_EQ(ReadFile(dir.File("lake.bmp")), lake);
    EXPECT_EQ(ReadFile(dir.File("staidx0.mul")), index);
    EXPECT_EQ(ReadFile(dir.File("statics0.mul")), records);
    EXPECT_EQ(TestSupport::ListDir(dir.File("out")), (std::vector<std::string>{"staidx0.mul", "statics0.mul"}));
    fs::remove_all(dir.File("out"));

    // One of the two statics files without the other: no statics a client
    // reads, and the new files would be written over the one there.
    fs::rename(dir.File("statics0.mul"), dir.File("aside.mul"));
    refused(merge, 2, "cannot read the statics beside the map: statics0.mul is missing, but staidx0.mul is there");
    EXPECT_EQ(ReadFile(dir.File("staidx0.mul")), index);
    EXPECT_FALSE(fs::exists(dir.File("statics0.mul")));
    fs::rename(dir.File("aside.mul"), dir.File("statics0.mul"));

    // Statics beside the map whose index points past the end of the data:
    // told before anything is made, naming the files.
    std::string data = ReadFile(dir.File("statics0.mul"));
    WriteFile(dir.File("statics0.mul"), data.substr(0, data.size() - 3));
    refused(merge, 2,
            "cannot read the statics beside the map: staidx0.mul: block 38 claims 7 bytes at offset 7, which "
            "statics0.mul (11 bytes of 7-byte records) does not hold");
}
