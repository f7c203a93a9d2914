// Border marking and the resolving of single borders, on painted grids.
#include "PipelineTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <ostream>

using TestSupport::GridLetters;
using TestSupport::PaintGrid;

namespace {

// A dirt, B grass, W water, 0 no terrain, x a border cell; T an old transition
// code (grass over forest, E), as a second generation finds it.
const TestSupport::TLegend Legend = {
    {'A', DIRT}, {'B', GRASS}, {'F', FOREST}, {'W', WATER}, {'0', NO_TERRAIN},
    {'x', BORDER_MARK}, {'C', COASTLINE}, {'T', PipelineTest::Transition(GRASS, FOREST, 3)},
};

struct TBorderCase
{
    const char *Name;
    std::vector<std::string> Painted;
    std::vector<std::string> AfterMarkBorders;
    std::vector<std::string> AfterResolveSingleBorders;
};

// GoogleTest shows a case by its name, not as raw bytes.
void PrintTo(const TBorderCase &c, std::ostream *out) { *out << c.Name; }

const TBorderCase BorderCases[] = {
    {"vertical boundary",
     {"AAAABBBB", "AAAABBBB", "AAAABBBB", "AAAABBBB"},
     {"AAAAxBBB", "AAAAxBBB", "AAAAxBBB", "AAAAxBBB"},
     {"AAAAxBBB", "AAAAxBBB", "AAAAxBBB", "AAAAxBBB"}},
    {"vertical boundary mirrored",
     {"BBBBAAAA", "BBBBAAAA", "BBBBAAAA", "BBBBAAAA"},
     {"BBBBxAAA", "BBBBxAAA", "BBBBxAAA", "BBBBxAAA"},
     {"BBBBxAAA", "BBBBxAAA", "BBBBxAAA", "BBBBxAAA"}},
    {"horizontal boundary",
     {"AAAA", "AAAA", "BBBB", "BBBB"},
     {"AAAA", "AAAA", "xxxx", "BBBB"},
     {"AAAA", "AAAA", "xxxx", "BBBB"}},
    // The two corner cells on the map's edge see only one terrain.
    {"diagonal boundary",
     {"AAAB", "AABB", "ABBB", "BBBB"},
     {"AAAx", "AAxx", "AxxB", "xxBB"},
     {"AAAA", "AAxx", "AxxB", "AxBB"}},
    {"single pixel",
     {"AAAAA", "AAAAA", "AABAA", "AAAAA"},
     {"AAAAA", "AAAAA", "AAxAA", "AAAAA"},
     {"AAAAA", "AAAAA", "AAAAA", "AAAAA"}},
    {"line one pixel thick",
     {"AAAA", "AAAA", "BBBB", "AAAA"},
     {"AAAA", "AAAA", "xxxx", "AAAA"},
     {"AAAA", "AAAA", "AAAA", "AAAA"}},
    {"column of no terrain",
     {"AA0BB", "AA0BB"},
     {"AA0BB", "AA0BB"},
     {"AA0BB", "AA0BB"}},
    {"land against water",
     {"AAWW", "AAWW"},
     {"AAxW", "AAxW"},
     {"AAxW", "AAxW"}},
    // Row 3, column 2 stays x: its NE neighbour took A earlier in stage 2
    // while its W neighbour is B. Judged on the grid before stage 2 it would
    // have become B.
    {"stage 2 works in place",
     {"AAAA", "BBBA", "BABA"},
     {"AAAA", "xxxA", "BxxA"},
     {"AAAA", "xxAA", "BxAA"}},
    // Stage 2 visits old border cells and transition codes too: a transition
    // cell with one terrain around it takes it; one with two keeps its code;
    // a border cell without terrain neighbours keeps its mark.
    {"second generation",
     {"AAA0000", "ATA0000", "AAA00x0", "0000000", "BTF0000"},
     {"AAA0000", "ATA0000", "AAA00x0", "0000000", "BTF0000"},
     {"AAA0000", "AAA0000", "AAA00x0", "0000000", "BTF0000"}},
    {"coastline and no terrain neither mark nor are marked",
     {"CAC", "0B0", "CAC"},
     {"CAC", "0x0", "CAC"},
     {"CAC", "0A0", "CAC"}},
};

class BorderStages : public ::testing::TestWithParam<TBorderCase>
{
};

TEST_P(BorderStages, MarkAndResolve)
{
    const TBorderCase &c = GetParam();
    TTerrainImage model(TestSupport::BundledTilesPath());
    PaintGrid(model, c.Painted, Legend);
    // Altitudes and flags that the two stages must leave alone.
    for (int y = 1; y <= model.GetHeight(); ++y)
        for (int x = 1; x <= model.GetWidth(); ++x) {
            model.SetCell(x, y, -1, x * 7 - y * 5);
            model.SetFlag(x, y, uint8_t((x + y) % 4));
        }
    const auto altitudes = TestSupport::GridAltitudes(model);
    const auto flags = PipelineTest::GridFlags(model);

    MarkBorders(model);
    EXPECT_EQ(GridLetters(model, Legend), c.AfterMarkBorders);
    ResolveSingleBorders(model);
    EXPECT_EQ(GridLetters(model, Legend), c.AfterResolveSingleBorders);

    EXPECT_EQ(TestSupport::GridAltitudes(model), altitudes);
    EXPECT_EQ(PipelineTest::GridFlags(model), flags);
    EXPECT_EQ(model.GetErrorCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Grids, BorderStages, ::testing::ValuesIn(BorderCases),
                         [](const auto &info) {
                             std::string name = info.param.Name;
                             for (char &ch : name)
                                 if (!isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

TEST(BorderStagesEdge, EmptyGridIsLeftAlone)
{
    TTerrainImage model(TestSupport::BundledTilesPath());
    MarkBorders(model);
    ResolveSingleBorders(model);
    EXPECT_EQ(model.GetWidth(), 0);
    EXPECT_EQ(model.GetCell(1, 1), TCell{});
}

// Stated per cell: a terrain cell becomes a border cell exactly when one of
// its neighbours W, NW, N, NE, as they stand when the scan reaches it, holds a
// different terrain or water code. Checked on a noisy picture against that
// statement, cell by cell in scan order.
TEST(BorderStagesEdge, MarkBordersLooksBackAtFourNeighbours)
{
    TTerrainImage model(TestSupport::BundledTilesPath());
    const int width = 23, height = 17;
    model.ResetGrid(width, height);
    TPcg32 painter;
    painter.Seed(2024, 7);
    const uint16_t palette[] = {NO_TERRAIN, DIRT, GRASS, GRASS, GRASS, WATER, WATER, FOREST};
    for (int y = 1; y <= height; ++y)
        for (int x = 1; x <= width; ++x)
            model.SetCell(x, y, palette[painter.Random(8)], 0);
    const auto before = PipelineTest::GridCodes(model);

    MarkBorders(model);

    // Rebuild the expected grid in scan order from the statement above.
    auto expected = before;
    const auto code = [&](int x, int y) {
        return (x < 1 || y < 1 || x > width || y > height) ? 0 : expected[size_t(y - 1)][size_t(x - 1)];
    };
    for (int y = 1; y <= height; ++y)
        for (int x = 1; x <= width; ++x) {
            const int own = code(x, y);
            if (!TTerrainImage::IsTerrainOrWater(uint16_t(own)))
                continue;
            const int lookBack[4][2] = {{-1, 0}, {-1, -1}, {0, -1}, {1, -1}}; // W, NW, N, NE
            for (const auto &d : lookBack) {
                const int other = code(x + d[0], y + d[1]);
                if (TTerrainImage::IsTerrainOrWater(uint16_t(other)) && other != own)
                    expected[size_t(y - 1)][size_t(x - 1)] = BORDER_MARK;
            }
        }
    EXPECT_EQ(PipelineTest::GridCodes(model), expected);
    EXPECT_NE(PipelineTest::GridCodes(model), before);
}

} // namespace
