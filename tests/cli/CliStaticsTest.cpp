// The command line's statics: --statics decorated, empty or bare, the map file
// the same with statics or without, the report's shares, and --info listing
// the statics of a cell. The statics files are read here from their layout:
// 12-byte index entries (offset, length, unused) per block in block-column
// order, 7-byte records (id, x, y, z, hue).
#include "CliOptions.h"
#include "CliProcess.h"
#include "CliTestData.h"
#include "PlainPng.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <cstring>

using CliTestData::RunIn;
using TestSupport::ReadFile;
using TestSupport::TTempDir;
using TestSupport::WriteFile;
namespace fs = std::filesystem;

namespace {

TCliParse Parse(std::vector<std::string> Arguments)
{
    Arguments.insert(Arguments.begin(), "morvane-cli");
    return ParseCliArguments(Arguments);
}

// The map these tests make: 128 x 128 cells from a picture of patches and a lake.
const std::vector<std::string> Run128 = {"-q", "--seed", "9", "--size", "128x128"};

std::vector<std::string> With(std::vector<std::string> Arguments, const std::vector<std::string> &More)
{
    Arguments.insert(Arguments.end(), More.begin(), More.end());
    return Arguments;
}

struct TStaticRecord
{
    unsigned Id;
    int X, Y, Z;
};

uint32_t U32(const std::string &Bytes, size_t At)
{
    return uint32_t(uint8_t(Bytes[At])) | uint32_t(uint8_t(Bytes[At + 1])) << 8 |
           uint32_t(uint8_t(Bytes[At + 2])) << 16 | uint32_t(uint8_t(Bytes[At + 3])) << 24;
}

// Every static of a Side x Side map, in file order.
std::vector<TStaticRecord> ReadStatics(const TTempDir &Dir, int Side)
{
    const std::string index = ReadFile(Dir.File("staidx0.mul")), data = ReadFile(Dir.File("statics0.mul"));
    const int rows = Side / 8;
    EXPECT_EQ(index.size(), size_t(rows) * size_t(rows) * 12u);
    std::vector<TStaticRecord> statics;
    for (size_t block = 0; block * 12 + 12 <= index.size(); ++block) {
        const uint32_t offset = U32(index, block * 12), length = U32(index, block * 12 + 4);
        if (offset == 0xFFFFFFFFu)
            continue;
        for (uint32_t at = offset; at + 7 <= offset + length && at + 7 <= data.size(); at += 7) {
            const auto byte = [&](uint32_t i) { return unsigned(uint8_t(data[at + i])); };
            statics.push_back({byte(0) | byte(1) << 8, int(block) / rows * 8 + int(byte(2)),
                               int(block) % rows * 8 + int(byte(3)), int(int8_t(byte(4)))});
        }
    }
    return statics;
}

} // namespace

TEST(CliStatics, TheChoiceIsReadWithOrWithoutAValue)
{
    const TStaticsChoice None = TStaticsChoice::None, Empty = TStaticsChoice::Empty,
                         Decorated = TStaticsChoice::Decorated;
    const struct
    {
        std::vector<std::string> Arguments;
        TStaticsChoice Statics;
        bool AsConfigured;
        const char *Image;
    } cases[] = {
        {{"world.bmp"}, None, false, "world.bmp"},
        {{"--statics", "world.bmp"}, Decorated, true, "world.bmp"}, // the picture is no value
        {{"world.bmp", "--statics"}, Decorated, true, "world.bmp"},
        {{"--statics", "-q", "world.bmp"}, Decorated, true, "world.bmp"},
        {{"--statics", "decorated", "world.bmp"}, Decorated, false, "world.bmp"},
        {{"--statics", "empty", "world.bmp"}, Empty, false, "world.bmp"},
        {{"--statics=empty", "world.bmp"}, Empty, false, "world.bmp"},
        {{"world.bmp", "--statics", "empty"}, Empty, false, "world.bmp"},
        {{"--statics", "empty", "--statics", "world.bmp"}, Decorated, true, "world.bmp"}, // the last one counts
        {{"--statics", "./empty"}, Decorated, true, "./empty"}, // a picture named like a choice
    };
    for (const auto &c : cases) {
        const TCliParse parse = Parse(c.Arguments);
        SCOPED_TRACE(testing::PrintToString(c.Arguments));
        ASSERT_EQ(parse.Kind, TCliParse::Run) << parse.Text;
        EXPECT_EQ(parse.Options.Statics, c.Statics);
        EXPECT_EQ(parse.Options.StaticsAsConfigured, c.AsConfigured);
        EXPECT_EQ(parse.Options.ImagePath, c.Image);
        EXPECT_EQ(MapOutputPaths(MapOutputOf(parse.Options)).size(), c.Statics == None ? 1u : 3u);
    }
    for (const std::vector<std::string> &bad :
         {std::vector<std::string>{"--statics=trees", "world.bmp"}, {"--statics=", "world.bmp"},
          {"--statics=DECORATED", "world.bmp"}}) {
        const TCliParse parse = Parse(bad);
        EXPECT_EQ(parse.Kind, TCliParse::UsageError) << bad.front();
        EXPECT_NE(parse.Text.find("is neither decorated nor empty"), std::string::npos) << parse.Text;
    }
}

TEST(CliStatics, TheMapFileIsTheSameWithStaticsOrWithout)
{
    TTempDir none, empty, decorated, again, bare, bareOld;
    for (const TTempDir *dir : {&none, &empty, &decorated, &again, &bare, &bareOld})
        CliTestData::SaveTerrainPatches(dir->File("world.bmp"), 128, 128);
    const std::string frozen = TestSupport::FrozenTilesPath();
    const struct
    {
        const TTempDir &Dir;
        std::vector<std::string> More;
    } runs[] = {
        {none, {"world.bmp"}},
        {empty, {"--statics", "empty", "world.bmp"}},
        {decorated, {"--statics", "decorated", "world.bmp"}},
        {again, {"--statics=decorated", "world.bmp"}},
        {bare, {"--statics", "world.bmp"}},
    };
    for (const auto &run : runs) {
        const auto result = RunIn(run.Dir, With(Run128, run.More));
        ASSERT_EQ(result.ExitCode, 0) << result.Err;
    }
    for (const TTempDir *dir : {&empty, &decorated, &again, &bare}) {
        std::string difference;
        EXPECT_TRUE(CliTestData::SameBytes(none.File("map0.mul"), dir->File("map0.mul"), &difference)) << difference;
    }
    EXPECT_FALSE(fs::exists(none.File("staidx0.mul")));
    // Empty: every block (-1, 0, 0) and the one unreferenced record.
    EXPECT_EQ(ReadFile(empty.File("statics0.mul")), std::string(7, '\0'));
    EXPECT_TRUE(ReadStatics(empty, 128).empty());
    // Decorated: the same statics from run to run, and a bare --statics is
    // decorated with the bundled configuration, which has decoration.
    const std::vector<TStaticRecord> statics = ReadStatics(decorated, 128);
    EXPECT_GT(statics.size(), 100u);
    for (const TTempDir *dir : {&again, &bare}) {
        EXPECT_TRUE(CliTestData::SameBytes(decorated.File("statics0.mul"), dir->File("statics0.mul")));
        EXPECT_TRUE(CliTestData::SameBytes(decorated.File("staidx0.mul"), dir->File("staidx0.mul")));
    }
    // A configuration without decoration: a bare --statics writes empty files.
    const auto old = RunIn(bareOld, With(Run128, {"-t", frozen, "--statics", "world.bmp"}));
    ASSERT_EQ(old.ExitCode, 0) << old.Err;
    EXPECT_EQ(ReadFile(bareOld.File("statics0.mul")), std::string(7, '\0'));
    EXPECT_EQ(fs::file_size(bareOld.File("staidx0.mul")), 16u * 16u * 12u);
    EXPECT_EQ(old.Err.find("has no [DECORATION_...] section"), std::string::npos) << old.Err;
    // Asked for by name, decoration the configuration does not have is
    // warned about.
    const auto asked = RunIn(bareOld, With(Run128, {"-t", frozen, "--statics", "decorated", "world.bmp"}));
    ASSERT_EQ(asked.ExitCode, 0) << asked.Err;
    EXPECT_NE(asked.Err.find("warning: " + frozen +
                             " has no [DECORATION_...] section: --statics decorated places no trees, plants or rocks"),
              std::string::npos)
        << asked.Err;
}

TEST(CliStatics, TheReportGivesTheSharesReachedAndAsked)
{
    TTempDir dir;
    CliTestData::SaveTerrainPatches(dir.File("world.bmp"), 256, 256);
    const auto result =
        RunIn(dir, {"-q", "--seed", "3", "--size", "256x256", "--statics", "--report", "world.bmp"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    const size_t records = (fs::file_size(dir.File("statics0.mul")) - 7) / 7;
    EXPECT_NE(result.Err.find("Statics: " + std::to_string(records) + " written\n"), std::string::npos) << result.Err;
    // The bundled configuration asks 2 % of dirt, 5 % of grass, 2 % of desert.
    const struct
    {
        const char *Terrain;
        double Asked;
    } terrains[] = {{"DIRT", 2.0}, {"GRASS", 5.0}, {"DESERT", 2.0}};
    for (const auto &t : terrains) {
        SCOPED_TRACE(t.Terrain);
        const size_t at = result.Err.find(std::string("\n  ") + t.Terrain + ": ");
        ASSERT_NE(at, std::string::npos) << result.Err;
        unsigned long decoratedCells = 0, plainCells = 0;
        char reached[32] = {}, asked[32] = {};
        ASSERT_EQ(std::sscanf(result.Err.c_str() + at + 4 + std::strlen(t.Terrain),
                              "%lu of %lu plain cells decorated, %31[0-9.] %% (asked %31[0-9.] %%)", &decoratedCells,
                              &plainCells, reached, asked),
                  4)
            << result.Err.substr(at);
        const double decorated = double(decoratedCells), plain = double(plainCells);
        ASSERT_GT(plain, 1000.0);
        char share[32];
        std::snprintf(share, sizeof share, "%.2f", 100.0 * decorated / plain);
        EXPECT_STREQ(reached, share);
        EXPECT_DOUBLE_EQ(std::stod(asked), t.Asked);
        // Each plain cell is decorated with the asked chance (spacing allowing):
        // within five standard deviations of it.
        const double p = t.Asked / 100.0, sigma = std::sqrt(plain * p * (1 - p));
        EXPECT_NEAR(decorated, plain * p, 5 * sigma + 1);
    }
    // The lake has shores, each shore cell a wave.
    const size_t waves = result.Err.find("\n  shore waves: ");
    ASSERT_NE(waves, std::string::npos) << result.Err;
    EXPECT_GT(std::stoul(result.Err.substr(waves + 16)), 0u);
    // No report of statics without them.
    const auto plain = RunIn(dir, {"-q", "--seed", "3", "--size", "256x256", "--report", "world.bmp"});
    EXPECT_EQ(plain.Err.find("Statics:"), std::string::npos) << plain.Err;
}

TEST(CliStatics, InfoListsTheStaticsOfTheCell)
{
    TTempDir dir;
    CliTestData::SaveTerrainPatches(dir.File("world.bmp"), 128, 128);
    ASSERT_EQ(RunIn(dir, With(Run128, {"--statics", "decorated", "world.bmp"})).ExitCode, 0);
    const std::vector<TStaticRecord> statics = ReadStatics(dir, 128);
    ASSERT_FALSE(statics.empty());
    const TStaticRecord &first = statics.front();
    std::string expected;
    int count = 0;
    for (const TStaticRecord &s : statics) {
        if (s.X != first.X || s.Y != first.Y)
            continue;
        char line[64];
        std::snprintf(line, sizeof line, "  static %u (0x%04X), z %d, hue 0\n", s.Id, s.Id, s.Z);
        expected += line;
        ++count;
    }
    const std::string cell = std::to_string(first.X) + "," + std::to_string(first.Y);
    const auto info = RunIn(dir, {"--info", "map0.mul", "--size", "128x128", "--cell", cell});
    ASSERT_EQ(info.ExitCode, 0) << info.Err;
    EXPECT_NE(info.Out.find("statics at " + cell + " (staidx0.mul): " + std::to_string(count) + "\n" + expected),
              std::string::npos)
        << info.Out;

    // A cell without statics says so.
    int emptyX = -1;
    for (int x = 0; x < 128 && emptyX < 0; ++x)
        if (std::none_of(statics.begin(), statics.end(), [&](const TStaticRecord &s) { return s.X == x && s.Y == 0; }))
            emptyX = x;
    ASSERT_GE(emptyX, 0);
    const std::string none = std::to_string(emptyX) + ",0";
    const auto bare = RunIn(dir, {"--info", "map0.mul", "--size", "128x128", "--cell", none});
    EXPECT_NE(bare.Out.find("statics at " + none + " (staidx0.mul): 0\n"), std::string::npos) << bare.Out;

    // An index of another map's size, or an entry past the data's end: the
    // map is described, the statics are a warning.
    WriteFile(dir.File("staidx0.mul"), std::string(24, '\0'));
    const auto small = RunIn(dir, {"--info", "map0.mul", "--size", "128x128", "--cell", cell});
    EXPECT_EQ(small.ExitCode, 0);
    EXPECT_NE(small.Out.find("cell " + cell + ": tile"), std::string::npos) << small.Out;
    EXPECT_NE(small.Err.find("staidx0.mul: 24 bytes, but a 128 x 128 map has 3072"), std::string::npos) << small.Err;
    std::string lying(16 * 16 * 12, '\0');
    lying[4] = 70; // block 0: 70 bytes at offset 0, past the 7-byte data file
    WriteFile(dir.File("staidx0.mul"), lying);
    WriteFile(dir.File("statics0.mul"), std::string(7, '\0'));
    const auto past = RunIn(dir, {"--info", "map0.mul", "--size", "128x128", "--cell", "1,1"});
    EXPECT_EQ(past.ExitCode, 0);
    EXPECT_NE(past.Err.find("block 0,0 claims 70 bytes at offset 0"), std::string::npos) << past.Err;
    // Without statics files beside the map: no statics line.
    fs::remove(dir.File("staidx0.mul"));
    fs::remove(dir.File("statics0.mul"));
    const auto without = RunIn(dir, {"--info", "map0.mul", "--size", "128x128"});
    EXPECT_EQ(without.Out.find("statics"), std::string::npos) << without.Out;
}

TEST(CliStatics, AFaultInTheDecorationStopsWithStatus3)
{
    TTempDir dir;
    CliTestData::SaveTerrainPatches(dir.File("world.bmp"), 64, 64);
    std::string tiles = ReadFile(TestSupport::BundledTilesPath());
    const size_t at = tiles.find("[DECORATION_GRASS]\nDensity=5\n");
    ASSERT_NE(at, std::string::npos);
    tiles.replace(at, 29, "[DECORATION_GRASS]\nDensity=lots\n");
    WriteFile(dir.File("t.ini"), tiles);
    const auto result = RunIn(dir, {"-q", "--size", "64x64", "-t", "t.ini", "--statics", "world.bmp"});
    EXPECT_EQ(result.ExitCode, 3);
    EXPECT_NE(result.Err.find("cannot read the tile configuration: t.ini: "), std::string::npos) << result.Err;
    EXPECT_NE(result.Err.find("[DECORATION_GRASS] Density:"), std::string::npos) << result.Err;
    EXPECT_FALSE(fs::exists(dir.File("map0.mul")));
}

// The preview marks each cell with a static in orange, read back from the
// files written; --preview-no-statics leaves them out, and then the preview is
// the one made without statics.
TEST(CliStatics, ThePreviewMarksTheStatics)
{
    TTempDir dir, plainDir;
    CliTestData::SaveTerrainPatches(dir.File("world.bmp"), 128, 128);
    CliTestData::SaveTerrainPatches(plainDir.File("world.bmp"), 128, 128);
    ASSERT_EQ(RunIn(dir, With(Run128, {"--statics", "--preview", "marked.png", "world.bmp"})).ExitCode, 0);
    ASSERT_EQ(RunIn(dir, With(Run128, {"--statics", "--preview", "left.png", "--preview-no-statics", "world.bmp"}))
                  .ExitCode,
              0);
    ASSERT_EQ(RunIn(dir, With(Run128, {"--statics", "--preview", "half.png", "--preview-scale", "2", "world.bmp"}))
                  .ExitCode,
              0);
    ASSERT_EQ(RunIn(plainDir, With(Run128, {"--preview", "plain.png", "world.bmp"})).ExitCode, 0);
    const PlainPng::TPicture marked = PlainPng::Read(dir.File("marked.png")),
                             left = PlainPng::Read(dir.File("left.png")),
                             half = PlainPng::Read(dir.File("half.png")),
                             plain = PlainPng::Read(plainDir.File("plain.png"));
    EXPECT_EQ(left.Pixels, plain.Pixels);
    ASSERT_EQ(marked.Width, 128);
    std::vector<int> withStatics(128 * 128, 0);
    for (const TStaticRecord &s : ReadStatics(dir, 128))
        withStatics[size_t(s.Y * 128 + s.X)] = 1;
    int marks = 0;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const uint32_t pixel = marked.Pixel(x, y);
            if (withStatics[size_t(y * 128 + x)]) {
                ++marks;
                EXPECT_EQ(pixel, 0xFFFF7F00u) << x << "," << y;
            } else {
                EXPECT_EQ(pixel, plain.Pixel(x, y)) << x << "," << y;
            }
        }
    EXPECT_GT(marks, 100);
    // At scale 2 a pixel of four cells is orange in the share of them that hold statics.
    int mixed = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const int count = withStatics[size_t(2 * y * 128 + 2 * x)] + withStatics[size_t(2 * y * 128 + 2 * x + 1)] +
                              withStatics[size_t((2 * y + 1) * 128 + 2 * x)] +
                              withStatics[size_t((2 * y + 1) * 128 + 2 * x + 1)];
            if (count == 4)
                EXPECT_EQ(half.Pixel(x, y), 0xFFFF7F00u);
            else if (count > 0 && half.Pixel(x, y) != 0xFFFF00FFu)
                mixed += (half.Pixel(x, y) >> 16 & 0xFF) > 0x80; // reddened
        }
    EXPECT_GT(mixed, 0);
    // The option goes with --preview.
    const TCliParse parse = Parse({"--statics", "--preview-no-statics", "world.bmp"});
    EXPECT_EQ(parse.Kind, TCliParse::UsageError);
    EXPECT_NE(parse.Text.find("--preview-no-statics needs --preview FILE."), std::string::npos) << parse.Text;
}
