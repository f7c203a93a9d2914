// One whole run of the pipeline on a small painted world with a fixed seed,
// compared with the result kept in WholeRun.expected.txt: every code,
// altitude and flag, and every warning with its kind. Any stage that changes
// its result makes this test fail.
//
// To write the file anew after an intended change, run the test with
// MORVANE_WRITE_FIXTURES=1: it then writes the file and fails once, so that
// the new file is looked at, and the telling cells below are checked again,
// before it is committed.
//
// How the kept result was checked: the test TellingCells below asserts cells
// worked out by hand from the rules of the stages (each with the reason next
// to it), and the whole file was compared with the output of a second,
// independent implementation of the nine stages written only for that check;
// they agreed on every code, altitude, flag and warning (51 terrain passes and
// 41 mountain passes on this world).
#include "PipelineTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

namespace {

const char *const FixturePath = PIPELINE_FIXTURE_DIR "/WholeRun.expected.txt";
constexpr uint64_t WholeRunSeed = 20260101;

// 64 x 48: a sea on the left with a ragged coast, grass with a dirt line one
// pixel thick, a single forest pixel and no-terrain pixels; dirt with a
// one-pixel pond; snow over a 22 x 20 mountain with a dirt patch; forest,
// grass with a single jungle pixel; desert with a grass line and a single
// grass pixel; swamp with a lake; jungle with a lake and a row of no terrain.
const std::vector<std::string> World = {
    "WWWWWWGGGGGGGGGGGGGGGGGGGGGGGNNNNNNNNNNNNNNNNNNNNNNFFFFFFFFFFFFF",
    "WWWWWWWGGGGGGGGGGGGGGGG0GGGGGNNNNNNNNNNNNNNNNNNNNNNFFFFFFFFFFFFF",
    "WWWWWWWWGGGGGGGGGGGGGGG0GGGGGNNNNNNNNNNNNNNNNNNNNNNFFFFFFFFFFFFF",
    "WWWWWWWWGGGGGGGGGGGFGGG0GGGGGNNNNNNNNNNNNNNNNNNNNNNFFFFFFFFFFFFF",
    "WWWWWWWWWGGGGGGGGGGGGGG0GGGGGNNNNNNNNNNNNNNNNNNNNNNFFFFFFFFFFFFF",
    "WWWWWWGGGGGGGGGGGGGGGGGGGGGGGNNNNNNNNNNNNNNNNNNNNNNFFFFFFFFFFFFF",
    "WWWWWWWGGGGDDDDDDDDDDDDDDGGGGNNNNNNNNNNNNNNNNNNNNNNFFFFFFFFFFFFF",
    "WWWWWWWGGGGGGGGGGGGGGGGGGGGGGNNNNNNNNNNNNNNNNNNNNNNFFFFFFFFFFFFF",
    "WWWWWWWWGGGGGGGGGGGGGGGGGGGGGNNNNNNNNNNNNNNNNNNNNNNFFFFFFFFFFFFF",
    "WWWWWWWWWGGGGGGGGGGGGGGGGGGGGMMMMMMMMMMMMMMMMMMMMMMFFFFFFFFFFFFF",
    "WWWWWWWWWGGGGGGGGGGGGGGGGGGGGMDDDMMMMMMMMMMMMMMMMMMFFFFFFFFFFFFF",
    "WWWWWWGGGGGGG0GGGGGGGGGGGGGGGMDDDMMMMMMMMMMMMMMMMMMFFFFFFFFFFFFF",
    "WWWWWWWGGGGGGGGGGGGGGGGGGGGGGMMMMMMMMMMMMMMMMMMMMMMFFFFFFFFFFFFF",
    "WWWWWWWWGGGGGGGGGGGGGGGGGGGGGMMMMMMMMMMMMMMMMMMMMMMFFFFFFFFFFFFF",
    "WWWWWWWWGGGGGGGGGGGGGGGGGGGGGMMMMMMMMMMMMMMMMMMMMMMFFFFFFFFFFFFF",
    "WWWWWWWWWGDDDDDDDDDDDDDDDDDDDMMMMMMMMMMMMMMMMMMMMMMFFFFFFFFFFFFF",
    "WWWWWWGGGGDDDDDDDDDDDDDDDDDDDMMMMMMMMMMMMMMMMMMMMMMFFFFFFFFFFFFF",
    "WWWWWWGGGGDDDDDDDDDDDDDDDDDDDMMMMMMMMMMMMMMMMMMMMMMFFFFFFFFFFFFF",
    "WWWWWWWGGGDDDDDDDDDDDDDDDDDDDMMMMMMMMMMMMMMMMMMMMMMFFFFFFFFFFFFF",
    "WWWWWWWWGGDDDDDDDDDDDDDDDDDDDMMMMMMMMMMMMMMMMMMMMMMFFFFFFFFFFFFF",
    "WWWWWWWWWGDDDDDDDDDDDDDDDDDDDMMMMMMMMMMMMMMMMMMMMMMGGGGGGGGGGGGG",
    "WWWWWWWWWGDDDDDDDWDDDDDDDDDDDMMMMMMMMMMMMMMMMMMMMMMGGGGGGGGGGGGG",
    "WWWWWWGGGGDDDDDDDDDDDDDDDDDDDMMMMMMMMMMMMMMMMMMMMMMGGGGGGGGGGGGG",
    "WWWWWWWGGGDDDDDDDDDDDDDDDDDDDMMMMMMMMMMMMMMMMMMMMMMGGGGGGGGGGGGG",
    "WWWWWWWGGGDDDDDDDDDDDDDDDDDDDMMMMMMMMMMMMMMMMMMMMMMGGGGGGJGGGGGG",
    "WWWWWWWWGGDDDDDDDDDDDDDDDDDDDMMMMMMMMMMMMMMMMMMMMMMGGGGGGGGGGGGG",
    "WWWWWWWWWGDDDDDDDDDDDDDDDDDDDMMMMMMMMMMMMMMMMMMMMMMGGGGGGGGGGGGG",
    "WWWWWWGGGGDDDDDDDDDDDDDDDDDDDMMMMMMMMMMMMMMMMMMMMMMGGGGGGGGGGGGG",
    "WWWWWWGGGGDDDDDDDDDDDDDDDDDDDMMMMMMMMMMMMMMMMMMMMMMGGGGGGGGGGGGG",
    "WWWWWWWGSSSSSSSSSSSSSSSSSSSSPPPPPPPPPPPPPPPPJJJJJJJWWWWJJJJJJJJJ",
    "WWWWWWWWSSSSSSSSSSSSSSSSSSSSPPPPPPPPPPPPPPPPJJJJJJJWWWWJJJJJJJJJ",
    "WWWWWWWWSSSSSSSSSSSSSSSSSSSSPPPPPPPPPPPPPPPPJJJJJJJWWWWJJJJJJJJJ",
    "WWWWWWWWSSSSSSSSSSSGSSSSSSSSPPPPPPPPPPPPPPPPJJJJJJJWWWWJJJJJJJJJ",
    "WWWWWWGGSSSSSSSSSSSGSSSSSSSSPPPPPPPPPPPPPPPPJJJJJJJJJJJJJJJJJJJJ",
    "WWWWWWWGSSSSSSSSSSSGSSSSSSSSPPPPPPPPPPPPPPPPJJJJJJJJJJJJJJJJJJJJ",
    "WWWWWWWGSSSSSSSSSSSGSSSSSSSSPPPPWWWWWWPPPPPPJJJJJJJJJJJJJJJJJJJJ",
    "WWWWWWWWSSSSSSSSSSSGSSSSSSSSPPPPWWWWWWPPPPPPJJJJJJJJJJJJJJJJJJJJ",
    "WWWWWWWWSSSSSSSSSSSGSSSSSSSSPPPPWWWWWWPPPPPPJJJJJJJJJJJWWWWWJJJJ",
    "WWWWWWWWSSSSSSSSSSSGSSSSSSSSPPPPWWWWWWPPPPPPJJJJJJJJJJJWWWWWJJJJ",
    "WWWWWWGGSSSSSGSSSSSGSSSSSSSSPPPPWWWWWWPPPPPPJJJJJJJJJJJWWWWWJJJJ",
    "WWWWWWWGSSSSSSSSSSSGSSSSSSSSPPPPPPPPPPPPPPPPJJJJJJJJJJJWWWWWJJJJ",
    "WWWWWWWWSSSSSSSSSSSGSSSSSSSSPPPPPPPPPPPPPPPPJJJJJJJJJJJWWWWWJJJJ",
    "WWWWWWWWSSSSSSSSSSSGSSSSSSSSPPPPPPPPPPPPPPPPJJJJJJJJJJJJJJJJJJJJ",
    "WWWWWWWWSSSSSSSSSSSGSSSSSSSSPPPPPPPPPPPPPPPPJJJJJJJJJJJJJJJ00000",
    "WWWWWWGGSSSSSSSSSSSSSSSSSSSSPPPPPPPPPPPPPPPPJJJJJJJJJJJJJJJJJJJJ",
    "WWWWWWGGSSSSSSSSSSSSSSSSSSSSPPPPPPPPPPPPPPPPJJJJJJJJJJJJJJJJJJJJ",
    "WWWWWWWGSSSSSSSSSSSSSSSSSSSSPPPPPPPPPPPPPPPPJJJJJJJJJJJJJJJJJJJJ",
    "WWWWWWWWSSSSSSSSSSSSSSSSSSSSPPPPPPPPPPPPPPPPJJJJJJJJJJJJJJJJJJJJ",
};

// The world as an image load leaves it: codes from the letters, start
// altitudes drawn as the load draws them (mountain 20 + random(55), water -75,
// anything else random(10), row by row), all flags clear.
void PaintWorld(TTerrainImage &model)
{
    TestSupport::PaintGrid(model, World);
    TPcg32 generator;
    generator.Seed(WholeRunSeed, uint64_t(TSeedSite::ImageLoad));
    for (int y = 1; y <= model.GetHeight(); ++y)
        for (int x = 1; x <= model.GetWidth(); ++x) {
            const uint16_t code = model.GetCell(x, y).Code;
            const int altitude = code == WATER      ? -75
                                 : code == MOUNTAIN ? 20 + int(generator.Random(55))
                                                    : int(generator.Random(10));
            model.SetCell(x, y, -1, altitude);
        }
}

// The result of a whole run with the fixed seed.
class WholeRun : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        Random::SetFixedSeed(WholeRunSeed);
        Model = new TTerrainImage(TestSupport::FrozenTilesPath());
        PaintWorld(*Model);
        TestSupport::TRecordingProgressBar bar;
        TestSupport::TRecordingStatusBar status;
        Generate(*Model, bar, status);
        Random::SetFixedSeed(std::nullopt);
    }
    static void TearDownTestSuite()
    {
        delete Model;
        Model = nullptr;
    }
    static TCell Cell(int x, int y) { return Model->GetCell(x, y); }
    static int Flag(int x, int y) { return Model->GetFlag(x, y); }
    static TTerrainImage *Model;
};
TTerrainImage *WholeRun::Model = nullptr;

void WriteTable(std::ostream &out, const char *title, const PipelineTest::TTable &table)
{
    out << title << "\n";
    for (const auto &row : table) {
        for (size_t i = 0; i < row.size(); ++i)
            out << (i ? " " : "") << row[i];
        out << "\n";
    }
}

// The whole result as text: codes, altitudes, flags, then one line per
// warning entry (0-based x, y, kind) and the listed warning lines.
std::string Describe(const TTerrainImage &model)
{
    std::ostringstream out;
    out << "size " << model.GetWidth() << " " << model.GetHeight() << "\n";
    WriteTable(out, "codes", PipelineTest::GridCodes(model));
    WriteTable(out, "altitudes", TestSupport::GridAltitudes(model));
    WriteTable(out, "flags", PipelineTest::GridFlags(model));
    out << "warning entries " << model.GetErrorCount() << "\n";
    for (int i = 0; i < model.GetErrorCount(); ++i) {
        const TErrorItem &e = model.GetErrors()[size_t(i)];
        out << e.X << " " << e.Y << " " << int(e.Kind) << "\n";
    }
    out << "listed warnings\n";
    for (const std::string &line : model.GetWarnings())
        out << line << "\n";
    return out.str();
}

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST_F(WholeRun, MatchesTheKeptResult)
{
    const std::string got = Describe(*Model);
    if (const char *write = std::getenv("MORVANE_WRITE_FIXTURES"); write && std::string(write) == "1") {
        std::ofstream(FixturePath, std::ios::binary | std::ios::trunc) << got;
        FAIL() << "wrote " << FixturePath << "; check it and run again without MORVANE_WRITE_FIXTURES";
    }
    const std::string expected = TestSupport::ReadFile(FixturePath);
    ASSERT_FALSE(expected.empty()) << "cannot read " << FixturePath;
    const auto gotLines = Lines(got), expectedLines = Lines(expected);
    // Name the first line that differs rather than dumping both files.
    for (size_t i = 0; i < std::min(gotLines.size(), expectedLines.size()); ++i)
        ASSERT_EQ(gotLines[i], expectedLines[i]) << "line " << i + 1 << " of " << FixturePath;
    EXPECT_EQ(gotLines.size(), expectedLines.size());
}

// Generate may run faster forms of the stages; the stages themselves, run
// one by one in the same order, give the same result.
TEST(WholeRunByStages, MatchesTheKeptResult)
{
    Random::SetFixedSeed(WholeRunSeed);
    TTerrainImage model(TestSupport::FrozenTilesPath());
    PaintWorld(model);
    MarkBorders(model);
    ResolveSingleBorders(model);
    BuildTransitions(model);
    MarkCoastline(model);
    FinishTiles(model);
    CoastHeights(model);
    RandomHeights(model);
    SmoothTerrain(model);
    SmoothMountains(model);
    Random::SetFixedSeed(std::nullopt);

    const auto gotLines = Lines(Describe(model)), expectedLines = Lines(TestSupport::ReadFile(FixturePath));
    ASSERT_FALSE(expectedLines.empty()) << "cannot read " << FixturePath;
    for (size_t i = 0; i < std::min(gotLines.size(), expectedLines.size()); ++i)
        ASSERT_EQ(gotLines[i], expectedLines[i]) << "line " << i + 1 << " of " << FixturePath;
    EXPECT_EQ(gotLines.size(), expectedLines.size());
}

// Cells of the kept result worked out by hand (x/y 1-based).
TEST_F(WholeRun, TellingCells)
{
    // Sea: water keeps -75 and is fixed.
    EXPECT_EQ(Cell(1, 1), (TCell{WATER, -75}));
    EXPECT_EQ(Flag(1, 1), FLAG_FIXED);
    // (7, 1), the first grass east of the sea, is marked in stage 1 (its W
    // neighbour is water) and becomes a coast centre: it, the water west of
    // it and the grass east of it end as coastline at -15, fixed.
    for (int x : {6, 7, 8}) {
        EXPECT_EQ(Cell(x, 1), (TCell{COASTLINE, -15})) << x;
        EXPECT_EQ(Flag(x, 1), FLAG_FIXED) << x;
    }
    // The three rings east of the coast: king distance 1, 2, 3 from (8, 1).
    EXPECT_EQ(Cell(9, 1), (TCell{GRASS, -15}));
    EXPECT_EQ(Cell(10, 1), (TCell{GRASS, -12}));
    EXPECT_EQ(Cell(11, 1), (TCell{GRASS, -1}));
    EXPECT_EQ(Flag(11, 1), FLAG_FIXED);
    EXPECT_EQ(Flag(13, 1), FLAG_NONE);

    // Grass | snow: the line lies in the first snow column (30). At (30, 5)
    // N and S are linked: direction E; the first land neighbour is NE (snow),
    // the last other one SW (grass); A = grass: 5*256 + 4*16 + 3.
    EXPECT_EQ(Cell(30, 5).Code, 1347);
    // (30, 10), where grass, snow and the mountain line meet: N and E linked,
    // so SW with A = first. Land neighbours NE snow (first), SE dirt (the
    // patch in the mountain: second), SW grass differs from both: one warning,
    // second = grass. 4*256 + 5*16 + 6.
    EXPECT_EQ(Cell(30, 10).Code, 1110);
    const auto warnings = Model->GetWarnings();
    EXPECT_NE(std::find(warnings.begin(), warnings.end(),
                        "Warning: More than 2 different terrains on the border of tile 29/9."),
              warnings.end());
    // (52, 30), the lake's corner at the grass, mountain and jungle corner,
    // is warned in stage 3 and then rewritten by a coast centre: coastline at
    // -15, its warning withdrawn (kept with kind 2, not listed).
    EXPECT_EQ(Cell(52, 30), (TCell{COASTLINE, -15}));
    bool withdrawn = false;
    for (int i = 0; i < Model->GetErrorCount(); ++i) {
        const TErrorItem &e = Model->GetErrors()[size_t(i)];
        if (e.X == 51 && e.Y == 29)
            withdrawn = e.Kind == 2;
    }
    EXPECT_TRUE(withdrawn);
    EXPECT_EQ(std::find(warnings.begin(), warnings.end(),
                        "Warning: More than 2 different terrains on the border of tile 51/29."),
              warnings.end());

    // Single pixels and lines one pixel thick are marked whole and take the
    // terrain around them back: the forest pixel, the pond, the jungle pixel,
    // the grass pixel, the dirt line and the grass line.
    EXPECT_EQ(Cell(20, 4).Code, GRASS);
    EXPECT_EQ(Cell(18, 22).Code, DIRT);
    EXPECT_EQ(Cell(58, 25).Code, GRASS);
    EXPECT_EQ(Cell(14, 40).Code, DESERT);
    for (int x = 12; x <= 25; ++x)
        EXPECT_EQ(Cell(x, 7).Code, GRASS) << x;
    for (int y = 33; y <= 44; ++y)
        EXPECT_EQ(Cell(20, y).Code, DESERT) << y;
    // No terrain neither marks nor is marked: grass on both sides stays.
    EXPECT_EQ(Cell(24, 2).Code, NO_TERRAIN);
    EXPECT_EQ(Cell(23, 2).Code, GRASS);
    EXPECT_EQ(Cell(25, 2).Code, GRASS);

    // Mountain seeds: their windows (-6 .. +2 on both axes) are all mountain.
    for (const auto &[sx, sy] : {std::pair{46, 22}, std::pair{46, 27}}) {
        EXPECT_EQ(Cell(sx, sy).Code, MOUNTAIN);
        EXPECT_EQ(Flag(sx, sy), FLAG_SEED);
        for (int dy = -6; dy <= 2; ++dy)
            for (int dx = -6; dx <= 2; ++dx)
                EXPECT_EQ(Cell(sx + dx, sy + dy).Code, MOUNTAIN) << sx + dx << "/" << sy + dy;
    }
    // A seed on other land.
    EXPECT_EQ(Flag(22, 10), FLAG_SEED);
    EXPECT_EQ(Cell(22, 10).Code, GRASS);
}

} // namespace
