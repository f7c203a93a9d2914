// Transition codes of the border line: the worked examples, every pattern of
// linked neighbours inside the grid and on its edge, and the warnings.
#include "PipelineTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using PipelineTest::Transition;
using TestSupport::PaintGrid;

namespace {

// S desert, G grass, F forest, W water, x marker, 0 no terrain.
const TestSupport::TLegend Legend = {
    {'S', DESERT}, {'G', GRASS}, {'F', FOREST}, {'D', DIRT}, {'W', WATER},
    {'0', NO_TERRAIN}, {'x', BORDER_MARK}, {'c', COAST_MARK},
};

// A 3 x 3 excerpt in the middle of a 5 x 5 grid of empty cells; returns the
// code of the centre after the stage.
int DecideCentre(TTerrainImage &model, const std::vector<std::string> &excerpt)
{
    std::vector<std::string> rows = {"00000"};
    for (const std::string &row : excerpt)
        rows.push_back("0" + row + "0");
    rows.push_back("00000");
    PaintGrid(model, rows, Legend);
    BuildTransitions(model);
    return model.GetCell(3, 3).Code;
}

TEST(BuildTransitions, StraightVerticalLine)
{
    TTerrainImage model(TestSupport::BundledTilesPath());
    EXPECT_EQ(DecideCentre(model, {"GxF", "GxF", "GxF"}), 1379); // 5*256 + 6*16 + 3, key "E"
    EXPECT_EQ(model.GetErrorCount(), 0);
}

TEST(BuildTransitions, TurnWithNorthAndEastLinked)
{
    TTerrainImage model(TestSupport::BundledTilesPath());
    EXPECT_EQ(DecideCentre(model, {"GxF", "Gxx", "GGG"}), 1622); // 6*256 + 5*16 + 6
    EXPECT_EQ(model.GetErrorCount(), 0);
}

TEST(BuildTransitions, ThreeTerrainsGiveOneWarning)
{
    TTerrainImage model(TestSupport::BundledTilesPath());
    EXPECT_EQ(DecideCentre(model, {"GxF", "GxF", "SxF"}), 1379);
    ASSERT_EQ(model.GetErrorCount(), 1);
    EXPECT_EQ(model.GetErrors()[0].X, 2); // cell (3, 3), kept 0-based
    EXPECT_EQ(model.GetErrors()[0].Y, 2);
    EXPECT_EQ(model.GetErrors()[0].Kind, 1);
    EXPECT_EQ(model.GetErrors()[0].Text, "");
    EXPECT_EQ(model.GetWarnings(),
              std::vector<std::string>{"Warning: More than 2 different terrains on the border of tile 2/2."});
}

// Land neighbours met in the order GRASS, FOREST, DESERT, FOREST give two
// warnings (at DESERT and at the second FOREST) and second = FOREST; in the
// order GRASS, FOREST, DESERT, DESERT one warning and second = DESERT.
TEST(BuildTransitions, WarningsCountEveryLandNeighbourThatDiffersFromBoth)
{
    // N and S linked (rule 2: D = E, A = second, B = first); the land
    // neighbours are NE, E, SE, SW in neighbour order.
    struct TCase
    {
        std::vector<std::string> Excerpt;
        int Code;
        int Warnings;
    } cases[] = {
        {{"0xG", "0xF", "FxS"}, Transition(FOREST, GRASS, 3), 2},
        {{"0xG", "0xF", "SxS"}, Transition(DESERT, GRASS, 3), 1},
    };
    for (const TCase &c : cases) {
        TTerrainImage model(TestSupport::BundledTilesPath());
        EXPECT_EQ(DecideCentre(model, c.Excerpt), c.Code);
        EXPECT_EQ(model.GetErrorCount(), c.Warnings);
        EXPECT_EQ(model.GetWarnings().size(), size_t(c.Warnings));
    }
}

// All sixteen patterns of linked orthogonal neighbours, inside the grid and on
// its edge. The diagonal neighbours carry the terrains: NE and SW forest, SE
// and NW grass; an orthogonal neighbour is a marker when linked and empty
// otherwise.
struct TLinkCase
{
    const char *Linked;  // some of "NESW"
    int InsideDirection; // 0: the cell keeps its marker
    bool InsideFirstHigh;
    int EdgeDirection;
    bool EdgeFirstHigh;
};

// GoogleTest shows a case by its linked sides, not as raw bytes.
void PrintTo(const TLinkCase &c, std::ostream *out) { *out << "linked \"" << c.Linked << "\""; }

const TLinkCase LinkCases[] = {
    {"", 0, false, 0, false},
    {"N", 0, false, 3, false},
    {"E", 0, false, 1, false},
    {"S", 0, false, 3, false},
    {"W", 0, false, 1, false},
    {"NE", 6, true, 6, true},
    {"NS", 3, false, 3, false},
    {"NW", 4, false, 4, false},
    {"ES", 8, false, 8, false},
    {"EW", 1, false, 1, false},
    {"SW", 2, false, 2, false},
    {"NES", 6, true, 6, true},
    {"NEW", 6, true, 6, true},
    {"NSW", 3, false, 3, false},
    {"ESW", 8, false, 8, false},
    {"NESW", 6, true, -1, false}, // -1: no edge has room for four links
};
// The patterns that fit on an edge: all but the last.
const auto EdgeLinkCases = ::testing::ValuesIn(std::begin(LinkCases), std::end(LinkCases) - 1);

bool Has(const char *linked, char side) { return std::string(linked).find(side) != std::string::npos; }

// The 3 x 3 neighbourhood of a pattern, centre a marker.
std::vector<std::string> Neighbourhood(const char *linked)
{
    const auto side = [&](char s) { return Has(linked, s) ? 'x' : '0'; };
    return {std::string{'G', side('N'), 'F'}, std::string{side('W'), 'x', side('E')},
            std::string{'F', side('S'), 'G'}};
}

// The neighbourhood placed in a 5 x 5 grid of empty cells so that the cell
// lies at (cx, cy); parts beyond the grid are cut off.
void PlaceAt(TTerrainImage &model, const std::vector<std::string> &hood, int cx, int cy)
{
    std::vector<std::string> rows(5, "00000");
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const int x = cx + dx, y = cy + dy;
            if (x >= 1 && x <= 5 && y >= 1 && y <= 5)
                rows[size_t(y - 1)][size_t(x - 1)] = hood[size_t(dy + 1)][size_t(dx + 1)];
        }
    PaintGrid(model, rows, Legend);
}

class LinkPatterns : public ::testing::TestWithParam<TLinkCase>
{
};
class LinkPatternsOnEdge : public LinkPatterns
{
};

TEST_P(LinkPatterns, InsideTheGrid)
{
    const TLinkCase &c = GetParam();
    TTerrainImage model(TestSupport::BundledTilesPath());
    PlaceAt(model, Neighbourhood(c.Linked), 3, 3);
    BuildTransitions(model);
    // In neighbour order NE (forest) comes first, SE (grass) second.
    const int expected = c.InsideDirection == 0 ? BORDER_MARK
                         : c.InsideFirstHigh    ? Transition(FOREST, GRASS, c.InsideDirection)
                                                : Transition(GRASS, FOREST, c.InsideDirection);
    EXPECT_EQ(model.GetCell(3, 3).Code, expected) << "linked " << c.Linked;
    EXPECT_EQ(model.GetErrorCount(), 0);
}

TEST_P(LinkPatternsOnEdge, OnTheEdge)
{
    const TLinkCase &c = GetParam();
    // Put the cell on an edge where no linked neighbour falls outside, and
    // name the terrains found there first and second in neighbour order.
    struct TEdge
    {
        char FreeSide;
        int X, Y;
        uint16_t First, Second;
    } edges[] = {
        {'W', 1, 3, FOREST, GRASS}, // column 1: NE forest, SE grass
        {'E', 5, 3, FOREST, GRASS}, // column Width: SW forest, NW grass
        {'S', 3, 5, FOREST, GRASS}, // row Height: NE forest, NW grass
        {'N', 3, 1, GRASS, FOREST}, // row 1: SE grass, SW forest
    };
    int placed = 0;
    for (const TEdge &e : edges) {
        if (Has(c.Linked, e.FreeSide))
            continue;
        TTerrainImage model(TestSupport::BundledTilesPath());
        PlaceAt(model, Neighbourhood(c.Linked), e.X, e.Y);
        BuildTransitions(model);
        const int expected = c.EdgeDirection == 0 ? BORDER_MARK
                             : c.EdgeFirstHigh    ? Transition(e.First, e.Second, c.EdgeDirection)
                                                  : Transition(e.Second, e.First, c.EdgeDirection);
        EXPECT_EQ(model.GetCell(e.X, e.Y).Code, expected) << "linked " << c.Linked << ", edge " << e.FreeSide;
        ++placed;
    }
    EXPECT_GT(placed, 0);
}

std::string LinkName(const ::testing::TestParamInfo<TLinkCase> &info)
{
    return std::string("linked_") + (info.param.Linked[0] ? info.param.Linked : "none");
}
INSTANTIATE_TEST_SUITE_P(Sixteen, LinkPatterns, ::testing::ValuesIn(LinkCases), LinkName);
INSTANTIATE_TEST_SUITE_P(Fifteen, LinkPatternsOnEdge, EdgeLinkCases, LinkName);

TEST(BuildTransitions, LinesKeepTheirDirectionIntoTheEdge)
{
    // A vertical line running into the top and bottom edge and a horizontal one
    // running into the left and right edge: the end cells get the direction of
    // the straight line (E for vertical, N for horizontal).
    TTerrainImage model(TestSupport::BundledTilesPath());
    PaintGrid(model, {"GxF", "GxF", "GxF"}, Legend);
    BuildTransitions(model);
    for (int y = 1; y <= 3; ++y)
        EXPECT_EQ(model.GetCell(2, y).Code, Transition(GRASS, FOREST, 3)) << "row " << y;

    PaintGrid(model, {"GGG", "xxx", "FFF"}, Legend);
    BuildTransitions(model);
    // Neighbour order meets grass (N, NE or NW) first and forest second.
    for (int x = 1; x <= 3; ++x)
        EXPECT_EQ(model.GetCell(x, 2).Code, Transition(FOREST, GRASS, 1)) << "column " << x;
}

TEST(BuildTransitions, MarkersThatFindOneLandTerrainStay)
{
    // A marker between water and grass finds one land terrain only; a loose
    // end inside the grid has no direction. Neither gets a code or a warning.
    TTerrainImage model(TestSupport::BundledTilesPath());
    PaintGrid(model, {"00000", "GxxxW", "GGxWW", "GGGWW"}, Legend);
    const auto before = PipelineTest::GridCodes(model);
    BuildTransitions(model);
    EXPECT_EQ(PipelineTest::GridCodes(model), before);
    EXPECT_EQ(model.GetErrorCount(), 0);

    PaintGrid(model, {"SSSSS", "SSxFF", "SSFFF"}, Legend);
    BuildTransitions(model);
    EXPECT_EQ(model.GetCell(3, 2).Code, BORDER_MARK); // no linked neighbour, inside
}

TEST(BuildTransitions, CoastMarksAndTransitionCodesAreDecidedLikeMarkers)
{
    // A second generation finds transition codes on the line: they are
    // decided anew. The middle cell had an old code that the terrains around
    // no longer fit; the line through it is linked through old codes.
    TTerrainImage model(TestSupport::BundledTilesPath());
    PaintGrid(model, {"DxS", "DxS", "DcS"}, Legend);
    model.SetCell(2, 1, Transition(GRASS, FOREST, 3), -1000);
    model.SetCell(2, 2, Transition(FOREST, GRASS, 6), -1000);
    BuildTransitions(model);
    // First in neighbour order: NE desert; second: SW/W/NW dirt. A = dirt.
    for (int y = 1; y <= 3; ++y)
        EXPECT_EQ(model.GetCell(2, y).Code, Transition(DIRT, DESERT, 3)) << "row " << y;

    // An old code with no direction or one land terrain around keeps its code.
    PaintGrid(model, {"00000", "0GGG0", "0G0G0", "0GGG0", "00000"}, Legend);
    model.SetCell(3, 3, Transition(GRASS, FOREST, 4), -1000);
    BuildTransitions(model);
    EXPECT_EQ(model.GetCell(3, 3).Code, Transition(GRASS, FOREST, 4));
}

TEST(BuildTransitions, AltitudesStayAndEmptyGridIsLeftAlone)
{
    TTerrainImage model(TestSupport::BundledTilesPath());
    BuildTransitions(model);
    EXPECT_EQ(model.GetErrorCount(), 0);

    PaintGrid(model, {"GxF", "GxF", "SxF"}, Legend);
    PipelineTest::SetAltitudes(model, {{1, 2, 3}, {-4, -5, -6}, {70, 80, 90}});
    BuildTransitions(model);
    EXPECT_EQ(TestSupport::GridAltitudes(model),
              (std::vector<std::vector<int>>{{1, 2, 3}, {-4, -5, -6}, {70, 80, 90}}));
}

// On a larger random picture run through the border stages, every transition
// code names two different land terrains and one of the directions 1, 2, 3,
// 4, 6, 8: never 5 (S) or 7 (W).
TEST(BuildTransitions, NoCellLeavesWithSouthOrWest)
{
    TTerrainImage model(TestSupport::BundledTilesPath());
    const int width = 120, height = 90;
    model.ResetGrid(width, height);
    TPcg32 painter;
    painter.Seed(99, 1);
    // Blobs: random rectangles of random terrain over a grass field, some water.
    for (int y = 1; y <= height; ++y)
        for (int x = 1; x <= width; ++x)
            model.SetCell(x, y, GRASS, 0);
    for (int blob = 0; blob < 400; ++blob) {
        const uint16_t codes[] = {DIRT, MOUNTAIN, DESERT, SNOW, GRASS, FOREST, JUNGLE, SWAMP, WATER, NO_TERRAIN};
        const uint16_t code = codes[painter.Random(10)];
        const int x0 = 1 + int(painter.Random(width)), y0 = 1 + int(painter.Random(height));
        const int w = 1 + int(painter.Random(9)), h = 1 + int(painter.Random(9));
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x)
                model.SetCell(x, y, code, 0);
    }
    MarkBorders(model);
    ResolveSingleBorders(model);
    BuildTransitions(model);

    int transitions = 0;
    int directionsSeen[9] = {};
    for (int y = 1; y <= height; ++y)
        for (int x = 1; x <= width; ++x) {
            const int code = model.GetCell(x, y).Code;
            if (code < 256)
                continue;
            ++transitions;
            const int high = code >> 8, middle = (code >> 4) & 15, direction = code & 15;
            EXPECT_TRUE(high >= 1 && high <= 8 && middle >= 1 && middle <= 8 && high != middle)
                << "code " << code << " at " << x << "/" << y;
            ASSERT_TRUE(direction >= 1 && direction <= 8) << "code " << code;
            EXPECT_NE(direction, 5) << "at " << x << "/" << y;
            EXPECT_NE(direction, 7) << "at " << x << "/" << y;
            ++directionsSeen[direction];
        }
    EXPECT_GT(transitions, 500);
    for (int d : {1, 2, 3, 4, 6, 8})
        EXPECT_GT(directionsSeen[d], 0) << "direction " << d << " never made";
    EXPECT_GT(model.GetErrorCount(), 0);
}

} // namespace
